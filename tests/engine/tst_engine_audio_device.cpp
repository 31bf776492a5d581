// The stored audio device across engine starts whose device lists differ
// (a sound server started, devices gone), and the level meter once the
// device is closed.
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "ServiceCheck.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestEngineAudioDevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void storedNameWinsOverStaleIndex_data();
    void storedNameWinsOverStaleIndex();
    void missingDeviceOpensNothing();
    void foundAfterSoundServerStarted();
    void meterReadsZeroOnceClosed();

private:
    // Starts the engine on nTones virtual tones and the sound server that
    // m_baServer names (none when empty).
    void StartEngine(int nTones);
    int IndexOf(const QString& strName) const;

    QTemporaryDir m_dir;
    QByteArray m_baServer;
    bool m_bPulseStarted = false;
};

void TestEngineAudioDevice::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("VISTREL_VIRTUAL_VIDEO", "1");
    g_settings.clear();
}

void TestEngineAudioDevice::cleanupTestCase()
{
    if (m_bPulseStarted)
        QProcess::execute(QStringLiteral(VISTREL_PULSE_SCRIPT), {"stop", m_dir.path()});
}

void TestEngineAudioDevice::cleanup()
{
    g_capture.Uninit();
    QCoreApplication::processEvents();
}

void TestEngineAudioDevice::StartEngine(int nTones)
{
    // A socket that does not exist: no sound server of the machine leaks in.
    qputenv("PULSE_SERVER", m_baServer.isEmpty() ? "unix:" + m_dir.filePath("none").toLocal8Bit() : m_baServer);
    qputenv("VISTREL_VIRTUAL_AUDIO", QByteArray::number(nTones));
    QVERIFY(g_capture.Init());
}

int TestEngineAudioDevice::IndexOf(const QString& strName) const
{
    for (int i = 0; i < g_capture.GetDeviceCount(false); ++i)
    {
        QString strListed;
        if (g_capture.GetDeviceName(false, i, strListed) && strListed == strName)
            return i;
    }
    return -1;
}

void TestEngineAudioDevice::storedNameWinsOverStaleIndex_data()
{
    QTest::addColumn<int>("nStored");
    QTest::addColumn<QString>("strName");
    QTest::addColumn<int>("nExpected");
    // Chosen while a sound server listed its sources first.
    QTest::newRow("index beyond the shorter list") << 4 << "Virtual Tone 2" << 1;
    QTest::newRow("index of another device") << 0 << "Virtual Tone 2" << 1;
    // Records of older builds have no name: the index is all there is.
    QTest::newRow("no name") << 0 << "" << 0;
    QTest::newRow("no name, index beyond the list") << 2 << "" << -1;
}

void TestEngineAudioDevice::storedNameWinsOverStaleIndex()
{
    QFETCH(int, nStored);
    QFETCH(QString, strName);
    QFETCH(int, nExpected);
    StartEngine(2);
    g_settings.SetAudioDevice(nStored, 0, strName);
    QCOMPARE(g_capture.FindStoredAudioDevice(), nExpected);
    QCOMPARE(g_capture.OpenAudioFromSettings(), nExpected >= 0);
    if (nExpected < 0)
        return;
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.HasAudioDevice(), 20000);
    // The tone's own level, so it is really that device that delivers.
    QTRY_COMPARE_WITH_TIMEOUT(g_capture.GetAudioLevel(), 75, 20000);
}

void TestEngineAudioDevice::missingDeviceOpensNothing()
{
    StartEngine(1);
    g_settings.SetAudioDevice(1, 1, QStringLiteral("Virtual Tone 2"));
    QCOMPARE(g_capture.FindStoredAudioDevice(), -1);
    // Not the tone that sits at index 0 now, nor any other.
    QVERIFY(!g_capture.OpenAudioFromSettings());
    QVERIFY(!g_capture.HasPendingAudioDevice());
    QVERIFY(!g_capture.HasAudioDevice());
    // The choice is kept for a start where the device is back.
    int nDevice = -1, nMonitor = -1;
    g_settings.GetAudioDevice(nDevice, nMonitor);
    QCOMPARE(nDevice, 1);
    QCOMPARE(g_settings.GetAudioDeviceName(), QStringLiteral("Virtual Tone 2"));
}

void TestEngineAudioDevice::foundAfterSoundServerStarted()
{
    // First start: no sound server, the user picks the second tone.
    m_baServer.clear();
    StartEngine(2);
    const int nChosen = IndexOf(QStringLiteral("Virtual Tone 2"));
    QCOMPARE(nChosen, 1);
    QString strName;
    QVERIFY(g_capture.GetDeviceName(false, nChosen, strName));
    g_settings.SetAudioDevice(nChosen, 0, strName);
    g_capture.Uninit();

    QProcess process;
    process.start(QStringLiteral(VISTREL_PULSE_SCRIPT), {"start", m_dir.path()});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        VISTREL_SKIP_WITHOUT_SERVICE("PulseAudio could not be started here: " + process.readAllStandardError());
    m_bPulseStarted = true;
    for (const QString& strLine : QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n'))
        if (strLine.startsWith("PULSE_SERVER="))
            m_baServer = strLine.mid(13).trimmed().toLocal8Bit();
    QVERIFY(!m_baServer.isEmpty());

    // Next start: the server's sources come first and shift the tones.
    StartEngine(2);
    const int nNow = IndexOf(QStringLiteral("Virtual Tone 2"));
    QVERIFY(nNow > nChosen);
    QVERIFY(g_capture.GetDeviceName(false, nChosen, strName));
    QVERIFY(strName != QStringLiteral("Virtual Tone 2"));
    QCOMPARE(g_capture.FindStoredAudioDevice(), nNow);
    QVERIFY(g_capture.OpenAudioFromSettings());
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.HasAudioDevice(), 20000);
    // The server's idle sink would read 0; the tone reads 75.
    QTRY_COMPARE_WITH_TIMEOUT(g_capture.GetAudioLevel(), 75, 20000);
    m_baServer.clear();
}

void TestEngineAudioDevice::meterReadsZeroOnceClosed()
{
    StartEngine(2);
    // Each close lands at a different point of the tone's block cycle, so
    // some of them meet a block being delivered.
    for (int nRound = 0; nRound < 40; ++nRound)
    {
        QVERIFY(g_capture.OpenAudioDevice(nRound % 2));
        QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioLevel() > 0, 20000);
        g_capture.CloseAudio();
        QCOMPARE(g_capture.GetAudioLevel(), 0);
    }
    // Nor after a pending device from the settings took over.
    QVERIFY(g_capture.OpenAudioDevice(0));
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioLevel() > 0, 20000);
    g_settings.SetAudioDevice(1, 0, QStringLiteral("Virtual Tone 2"));
    QVERIFY(g_capture.OpenAudioFromSettings());
    QTRY_VERIFY_WITH_TIMEOUT(!g_capture.HasPendingAudioDevice(), 20000);
    QVERIFY(g_capture.HasAudioDevice());
    g_capture.CloseAudio();
    QCOMPARE(g_capture.GetAudioLevel(), 0);
}

QTEST_GUILESS_MAIN(TestEngineAudioDevice)
#include "tst_engine_audio_device.moc"
