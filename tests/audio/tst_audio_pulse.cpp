// Capture from a real sound server: the test starts its own PulseAudio with
// a null sink (scripts/services/pulseaudio.sh), plays a tone into the sink
// with ffmpeg and records the sink's monitor.
#include "AudioTestUtil.h"
#include "media/KVAudio.h"
#include "media/KVStream.h"
#include "ServiceCheck.h"

#include <QtTest>

#include <cstring>

class CTestAudioPulse : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dirWork.isValid());
        QProcess process;
        process.start(QStringLiteral(VISTREL_PULSE_SCRIPT), {"start", m_dirWork.path()});
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            VISTREL_SKIP_WITHOUT_SERVICE("PulseAudio could not be started here: " + process.readAllStandardError());
        m_bStarted = true;
        const QString strOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        for (const QString& strLine : strOut.split('\n', Qt::SkipEmptyParts))
            if (strLine.startsWith("PULSE_SERVER="))
                m_baServer = strLine.mid(13).trimmed().toLocal8Bit();
        QVERIFY(!m_baServer.isEmpty());
        qputenv("PULSE_SERVER", m_baServer);
        qputenv("VISTREL_VIRTUAL_AUDIO", "1");
        QVERIFY(KVS_Initialize());
    }

    void cleanupTestCase()
    {
        StopTone();
        KVS_Uninitialize();
        if (m_bStarted)
            QProcess::execute(QStringLiteral(VISTREL_PULSE_SCRIPT), {"stop", m_dirWork.path()});
    }

    void listsServerSourcesBeforeVirtualOnes()
    {
        const int nCount = KVS_GetAudioCaptureCount3();
        QVERIFY(nCount >= 2);
        QStringList listNames;
        for (int i = 0; i < nCount; ++i)
        {
            KVS_AUDIO_CAPTURE_INFO info;
            QVERIFY(KVS_GetAudioCaptureInfo3(i, &info));
            listNames << QString::fromUtf16(info.szName);
        }
        QCOMPARE(listNames.last(), QStringLiteral("Virtual Tone 1"));
        m_nMonitor = listNames.indexOf(QStringLiteral("Monitor of VistrelNull"));
        QVERIFY2(m_nMonitor >= 0, qPrintable(listNames.join(", ")));
    }

    void capturesTheToneWithMonitoringOnAndOff()
    {
        if (m_nMonitor < 0)
            QSKIP("the null sink's monitor is not listed");
        KVS_AUDIO_CAPTURE_INFO info;
        QVERIFY(KVS_GetAudioCaptureInfo3(m_nMonitor, &info));
        SAudioSink sink;
        const KVS_HANDLE hAudio = KVS_OpenAudioCapture3(&info.guid);
        SCaptureGuard guard(hAudio);
        QVERIFY(hAudio);
        QVERIFY(KVS_SetAudioCaptureFormat3(hAudio, 48000, 2, 1024, 10));
        sink.Attach(hAudio);
        QVERIFY(KVS_StartAudioCapture3(hAudio));
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= 5, 20000);
        // The idle sink delivers silence, in whole blocks all the same.
        QTRY_COMPARE_WITH_TIMEOUT(sink.nLevel.load(), 0, 10000);

        // ffmpeg's sine is 1/8 of full scale, and spreading mono over two
        // channels takes another 3 dB: -21 dBFS peak, -24 dBFS RMS, level 60.
        StartTone();
        QTRY_VERIFY2_WITH_TIMEOUT(std::abs(sink.nLevel.load() - 60) <= 3,
                                  qPrintable(QString::number(sink.nLevel.load())), 20000);
        {
            std::lock_guard<std::mutex> lock(sink.mutex);
            QCOMPARE(sink.nWrongSize, 0);
            QCOMPARE(int(sink.vecLast.size()), 4096);
        }

        // Monitoring plays into the same null sink; capture goes on either way.
        QVERIFY(KVS_SetAudioMonitor3(hAudio, 1));
        int nBlocks = sink.Blocks();
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= nBlocks + 20, 20000);
        QVERIFY(KVS_SetAudioMonitor3(hAudio, 0));
        nBlocks = sink.Blocks();
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= nBlocks + 20, 20000);
        QVERIFY(sink.nLevel.load() > 0);

        QVERIFY(KVS_StopAudioCapture3(hAudio));
        QVERIFY(KVS_StartAudioCapture3(hAudio));
        nBlocks = sink.Blocks();
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= nBlocks + 5, 20000);
        QVERIFY(KVS_CloseAudioCapture3(hAudio));
        StopTone();
        QCOMPARE(sink.nWrongSize, 0);
    }

    void virtualToneCanBeMonitored()
    {
        KVS_AUDIO_CAPTURE_INFO info;
        QVERIFY(KVS_GetAudioCaptureInfo3(KVS_GetAudioCaptureCount3() - 1, &info));
        SAudioSink sink;
        const KVS_HANDLE hAudio = KVS_OpenAudioCapture3(&info.guid);
        SCaptureGuard guard(hAudio);
        QVERIFY(hAudio);
        sink.Attach(hAudio);
        QVERIFY(KVS_SetAudioMonitor3(hAudio, 1));
        QVERIFY(KVS_StartAudioCapture3(hAudio));
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= 20, 20000);
        QCOMPARE(sink.nLevel.load(), 75);
        QVERIFY(KVS_CloseAudioCapture3(hAudio));
    }

    void sourceGoneSinceListingIsNotOpened()
    {
        const QString strModule = Pactl({"load-module", "module-null-sink", "sink_name=vistrel_gone",
                                         "sink_properties=device.description=VistrelGone"})
                                      .trimmed();
        QVERIFY(!strModule.isEmpty());
        QVERIFY(KVS_Initialize());
        KVS_AUDIO_CAPTURE_INFO info;
        int nGone = -1;
        for (int i = 0; i < KVS_GetAudioCaptureCount3(); ++i)
            if (KVS_GetAudioCaptureInfo3(i, &info) &&
                QString::fromUtf16(info.szName) == QStringLiteral("Monitor of VistrelGone"))
                nGone = i;
        QVERIFY(nGone >= 0);
        QVERIFY(KVS_GetAudioCaptureInfo3(nGone, &info));
        Pactl({"unload-module", strModule});
        QVERIFY(!KVS_OpenAudioCapture3(&info.guid));
    }

private:
    QString Pactl(const QStringList& listArgs)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", QString::fromLocal8Bit(m_baServer));
        process.setProcessEnvironment(env);
        process.start("pactl", listArgs);
        process.waitForFinished(30000);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }

    void StartTone()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PULSE_SERVER", QString::fromLocal8Bit(m_baServer));
        m_processTone.setProcessEnvironment(env);
        m_processTone.start("ffmpeg", {"-hide_banner", "-loglevel", "error", "-nostdin", "-f", "lavfi", "-i",
                                       "sine=frequency=1000:sample_rate=48000", "-ac", "2", "-f", "pulse",
                                       "-buffer_duration", "50", "-device", "vistrel_null", "vistrel-test"});
        QVERIFY(m_processTone.waitForStarted(10000));
    }

    void StopTone()
    {
        if (m_processTone.state() == QProcess::NotRunning)
            return;
        m_processTone.terminate();
        if (!m_processTone.waitForFinished(10000))
        {
            m_processTone.kill();
            m_processTone.waitForFinished(10000);
        }
    }

    QTemporaryDir m_dirWork{QDir::tempPath() + "/vistrel-pulse-XXXXXX"};
    QByteArray m_baServer;
    bool m_bStarted = false;
    int m_nMonitor = -1;
    QProcess m_processTone;
};

QTEST_GUILESS_MAIN(CTestAudioPulse)
#include "tst_audio_pulse.moc"
