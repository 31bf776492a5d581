// Recording from virtual video and audio into real MP4 files, read back with
// libavformat; streaming to a port with no server; the audio devices'
// pending-to-primary hand-over; notifiers.
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "FileSizeLimit.h"
#include "media/KVAudio.h"
#include "RecordedFile.h"
#include "TestRenderTarget.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <mutex>

extern "C"
{
#include <libavformat/avformat.h>
}

namespace
{
const int SIZE_320X240 = 18;
const int RATE_25 = 2;
const int DURATION_25 = 400000;
const KVS_WINDOW PREVIEW_WINDOW = 0x7e0001;
const KVS_WINDOW CHANNEL_WINDOW = 0x7e0002;

// A main window stand-in: counts what the engine tells it.
class CTestNotify : public IKVRecordNotify
{
public:
    void OnRecordStarted(const QString&) override {}
    void OnRecordStopped() override {}
    void OnSnapshot(const QString&) override {}
    void EnableStart(bool) override {}
    void RefreshOutput() override {}
    int OnAudioDeviceReleased(KVS_HANDLE hAudio) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_listReleased.append(hAudio);
        return m_nReleaseAnswer;
    }
    void OnError(int nCode) override
    {
        m_nErrors += nCode > 0 ? 1 : 0;
        m_nWriteErrors += nCode == 2 ? 1 : 0;
    }
    int CheckRtmpSettings(int) override { return m_nRtmpAnswer; }

    QList<KVS_HANDLE> Released()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_listReleased;
    }

    int m_nReleaseAnswer = 0;
    int m_nRtmpAnswer = 1;
    std::atomic<int> m_nErrors{0};
    std::atomic<int> m_nWriteErrors{0};

private:
    std::mutex m_mutex;
    QList<KVS_HANDLE> m_listReleased;
};

// Picture and sound of one recording end together: within a frame and an
// audio block (25 fps, 1024 samples at 48 kHz).
const double TRACK_TOLERANCE = 0.04 + 1024.0 / 48000;
}

class TestEngineRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void fiveSecondsWithAudio();
    void videoOnlyWithUnreachableStream();
    void stopWithoutStartAndStartTwice();
    void refusedStreamLeavesNothing();
    void statistics();
    void silentAudioDeviceKeepsVideoFlowing();
    void audioStallKeepsTracksInStep();
    void writeFailureStopsTheRecordingOnce();
    void pendingDeviceTakesOver();
    void removedNotifierIsNotCalled();

private:
    int ToneDevice() const;
    void StartOutput();
    void WaitFramesEncoded(uint64_t nCount);

    CTestRenderTarget* m_pPreview = nullptr;
    CTestRenderTarget* m_pChannelWindow = nullptr;
    CTestNotify* m_pNotify = nullptr;
    QTemporaryDir m_dir;
};

void TestEngineRecord::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("VISTREL_VIRTUAL_VIDEO", "Camera");
    qputenv("VISTREL_VIRTUAL_AUDIO", "1");
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
    // Software encoding: the same on every machine.
    g_settings.SetEncoderParam(0, 2, 4, 0, 2, 0, 1, 1);
    g_settings.SetRtmpServer(0, QStringLiteral("127.0.0.1"), QStringLiteral("1935"), QStringLiteral("test"),
                             QStringLiteral("rtmp://127.0.0.1:1935/live/test"));
    g_settings.SetDataStorage(m_dir.path());
}

void TestEngineRecord::init()
{
    QVERIFY(g_capture.Init());
    m_pPreview = new CTestRenderTarget(PREVIEW_WINDOW, 320, 240);
    m_pChannelWindow = new CTestRenderTarget(CHANNEL_WINDOW, 80, 60);
    m_pNotify = new CTestNotify();
    g_capture.AddNotify(m_pNotify);
}

void TestEngineRecord::cleanup()
{
    g_capture.StopRecord();
    g_capture.Uninit();
    g_capture.RemoveNotify(m_pNotify);
    // Queued hand-overs of released devices must not outlive the test.
    QCoreApplication::processEvents();
    delete m_pNotify;
    m_pNotify = nullptr;
    delete m_pChannelWindow;
    m_pChannelWindow = nullptr;
    delete m_pPreview;
    m_pPreview = nullptr;
}

int TestEngineRecord::ToneDevice() const
{
    // A sound server's sources, when there is one, come before the tone.
    for (int nIndex = 0; nIndex < g_capture.GetDeviceCount(false); ++nIndex)
    {
        QString strName;
        if (g_capture.GetDeviceName(false, nIndex, strName) && strName == QStringLiteral("Virtual Tone 1"))
            return nIndex;
    }
    return -1;
}

void TestEngineRecord::StartOutput()
{
    QVERIFY(g_capture.CreateMixer(320, 240, DURATION_25, PREVIEW_WINDOW));
    QVERIFY(g_capture.OpenChannel(0, 0, CHANNEL_WINDOW));
    g_capture.PlaceChannel(0, 0, 0, 320, 240, 255, 0);
}

void TestEngineRecord::WaitFramesEncoded(uint64_t nCount)
{
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() >= nCount, 60000);
}

void TestEngineRecord::fiveSecondsWithAudio()
{
    StartOutput();
    const int nTone = ToneDevice();
    QVERIFY(nTone >= 0);
    QVERIFY(g_capture.OpenAudioDevice(nTone));
    QVERIFY(g_capture.HasAudioDevice());
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioLevel() > 50, 20000);

    const QString strPath = m_dir.filePath(QStringLiteral("five.mp4"));
    QVERIFY(g_capture.StartRecord(strPath, QString()));
    QVERIFY(g_capture.IsRecording());
    // The recording's own clock, not the wall clock, decides the length:
    // five seconds of audio.
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioSamplesEncoded() >= 5 * 48000, 60000);
    const uint64_t nSamples = g_capture.GetAudioSamplesEncoded();
    const uint64_t nFrames = g_capture.GetVideoFramesEncoded();
    QVERIFY(g_capture.GetFinishReserve() >= (nSamples / 1024 + nFrames) * 8 + 4096);
    g_capture.StopRecord();
    QVERIFY(!g_capture.IsRecording());
    QCOMPARE(m_pNotify->m_nErrors.load(), 0);

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY(info.bOpened);
    QCOMPARE(info.nVideoCodec, int(AV_CODEC_ID_H264));
    QCOMPARE(info.nWidth, 320);
    QCOMPARE(info.nHeight, 240);
    QVERIFY(info.bAudio);
    QCOMPARE(info.nAudioCodec, int(AV_CODEC_ID_AAC));
    QCOMPARE(info.nSampleRate, 48000);
    QCOMPARE(info.nChannels, 2);
    const QString strDetail = QStringLiteral("video %1 s, %2 frames, audio %3 s")
                                  .arg(info.dVideoSeconds)
                                  .arg(info.nVideoPackets)
                                  .arg(info.dAudioSeconds);
    QVERIFY2(qAbs(info.dVideoSeconds - 5.0) <= 0.5, qPrintable(strDetail));
    QVERIFY2(qAbs(info.dAudioSeconds - 5.0) <= 0.5, qPrintable(strDetail));
    // Every frame the recording took is in the file. How many it took is
    // the machine's speed: a slow one records fewer frames that last longer
    // (the durations above hold either way).
    QVERIFY2(uint64_t(info.nVideoPackets) == g_capture.GetVideoFramesEncoded(),
             qPrintable(strDetail + QStringLiteral(", %1 frames taken").arg(g_capture.GetVideoFramesEncoded())));
}

void TestEngineRecord::videoOnlyWithUnreachableStream()
{
    StartOutput();
    // Nothing listens on port 1: the stream fails, the file does not.
    const QString strPath = m_dir.filePath(QStringLiteral("nostream.mp4"));
    QVERIFY(g_capture.StartRecord(strPath, QStringLiteral("rtmp://127.0.0.1:1/live/test")));
    WaitFramesEncoded(50);
    // Without audio nothing is dropped or repeated.
    QCOMPARE(g_capture.GetAudioSamplesEncoded(), uint64_t(0));
    g_capture.StopRecord();
    QCOMPARE(m_pNotify->m_nErrors.load(), 0);

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY(info.bOpened);
    QCOMPARE(info.nVideoCodec, int(AV_CODEC_ID_H264));
    QVERIFY(!info.bAudio);
    QVERIFY2(info.nVideoPackets >= 50, qPrintable(QString::number(info.nVideoPackets)));
}

void TestEngineRecord::stopWithoutStartAndStartTwice()
{
    g_capture.StopRecord();
    g_capture.StopRecord();
    g_capture.SetRecordingStopped();
    QVERIFY(!g_capture.IsRecording());
    QCOMPARE(m_pNotify->m_nErrors.load(), 0);

    StartOutput();
    // Stopped before (or right at) its first frame: not a write failure.
    QVERIFY(g_capture.StartRecord(m_dir.filePath(QStringLiteral("empty.mp4")), QString()));
    g_capture.StopRecord();
    QCOMPARE(m_pNotify->m_nErrors.load(), 0);

    const QString strFirst = m_dir.filePath(QStringLiteral("first.mp4"));
    const QString strSecond = m_dir.filePath(QStringLiteral("second.mp4"));
    QVERIFY(g_capture.StartRecord(strFirst, QString()));
    WaitFramesEncoded(10);
    // The second start finishes the first file instead of losing it.
    QVERIFY(g_capture.StartRecord(strSecond, QString()));
    WaitFramesEncoded(10);
    // After SetRecordingStopped no frame is encoded any more; one already
    // past the check when the flag was set may still finish. Over 300 ms a
    // recording that went on would add about seven.
    g_capture.SetRecordingStopped();
    const uint64_t nFrames = g_capture.GetVideoFramesEncoded();
    QTest::qWait(300);
    QVERIFY2(g_capture.GetVideoFramesEncoded() <= nFrames + 1,
             qPrintable(QStringLiteral("%1 then %2").arg(nFrames).arg(g_capture.GetVideoFramesEncoded())));
    g_capture.StopRecord();

    const SFileInfo infoFirst = ReadRecordedFile(strFirst);
    const SFileInfo infoSecond = ReadRecordedFile(strSecond);
    QVERIFY(infoFirst.bOpened);
    QVERIFY(infoSecond.bOpened);
    QVERIFY(infoFirst.nVideoPackets >= 10);
    QVERIFY(infoSecond.nVideoPackets >= 10);
}

void TestEngineRecord::refusedStreamLeavesNothing()
{
    StartOutput();
    m_pNotify->m_nRtmpAnswer = 0;
    const QString strPath = m_dir.filePath(QStringLiteral("refused.mp4"));
    QVERIFY(!g_capture.StartRecord(strPath, QStringLiteral("rtmp://127.0.0.1:1/live/test")));
    QVERIFY(!g_capture.IsRecording());
    QVERIFY(!QFile::exists(strPath));
    // A path the muxer cannot create fails the start as well, and says why.
    QString strReason;
    const QString strMissing = m_dir.filePath(QStringLiteral("missing/dir"));
    QVERIFY(!g_capture.StartRecord(strMissing + QStringLiteral("/x.mp4"), QString(), strReason));
    QVERIFY(!g_capture.IsRecording());
    QVERIFY2(strReason.contains(strMissing) && strReason.contains(QStringLiteral("does not exist")),
             qPrintable(strReason));
    // A folder that may not be written to: another reason than a missing one.
    const QString strLocked = m_dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(strLocked));
    QVERIFY(QFile::setPermissions(strLocked, QFile::ReadOwner | QFile::ExeOwner));
    const bool bWritable = QFileInfo(strLocked).isWritable(); // true for root
    const bool bStarted = g_capture.StartRecord(strLocked + QStringLiteral("/x.mp4"), QString(), strReason);
    g_capture.StopRecord();
    QFile::setPermissions(strLocked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!bWritable)
    {
        QVERIFY(!bStarted);
        QVERIFY2(strReason.contains(strLocked) && strReason.contains(QStringLiteral("may not be written")),
                 qPrintable(strReason));
    }
    // Either way the next start works.
    m_pNotify->m_nRtmpAnswer = 1;
    QVERIFY(g_capture.StartRecord(strPath, QString()));
    WaitFramesEncoded(5);
    g_capture.StopRecord();
    QVERIFY(ReadRecordedFile(strPath).nVideoPackets >= 5);
}

void TestEngineRecord::statistics()
{
    StartOutput();
    QVERIFY(g_capture.StartRecord(m_dir.filePath(QStringLiteral("stats.mp4")), QString()));
    WaitFramesEncoded(50);
    float fByteRate = -1;
    float fFrameRate = -1;
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetStatistics(fByteRate, fFrameRate), 10000);
    QVERIFY2(fByteRate > 0, qPrintable(QString::number(fByteRate)));
    // Composed frames at 25 fps: never above a generous multiple.
    QVERIFY2(fFrameRate > 0 && fFrameRate < 100, qPrintable(QString::number(fFrameRate)));
    QVERIFY(g_capture.GetByteRate() > 0);
    QVERIFY(g_capture.GetFinishReserve() >= 4096 + 8 * 50);
    g_capture.StopRecord();
    // Stopping clears the encoded bytes; the reserve still counts the run.
    QCOMPARE(g_capture.GetByteRate(), uint64_t(0));
}

void TestEngineRecord::silentAudioDeviceKeepsVideoFlowing()
{
    StartOutput();
    const int nTone = ToneDevice();
    QVERIFY(nTone >= 0);
    QVERIFY(g_capture.OpenAudioDevice(nTone));
    const QString strPath = m_dir.filePath(QStringLiteral("silent.mp4"));
    QVERIFY(g_capture.StartRecord(strPath, QString()));
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioSamplesEncoded() >= 48000, 60000);
    // The device goes away in the middle: no more audio blocks.
    g_capture.CloseAudio();
    QVERIFY(!g_capture.HasAudioDevice());
    const uint64_t nSamples = g_capture.GetAudioSamplesEncoded();
    const uint64_t nFrames = g_capture.GetVideoFramesEncoded();
    // Pacing against a stopped audio clock would drop every frame from here.
    WaitFramesEncoded(nFrames + 75);
    // Silence stands in for the device that went.
    QVERIFY(g_capture.GetAudioSamplesEncoded() > nSamples);
    g_capture.StopRecord();
    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY(info.bOpened);
    QVERIFY(info.nVideoPackets >= int(nFrames + 75));
    QVERIFY2(qAbs(info.dAudioSeconds - info.dVideoSeconds) <= TRACK_TOLERANCE, qPrintable(info.Describe()));
}

void TestEngineRecord::audioStallKeepsTracksInStep()
{
    StartOutput();
    const int nTone = ToneDevice();
    QVERIFY(nTone >= 0);
    QVERIFY(g_capture.OpenAudioDevice(nTone));
    const QString strPath = m_dir.filePath(QStringLiteral("stall.mp4"));
    QVERIFY(g_capture.StartRecord(strPath, QString()));
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioSamplesEncoded() >= 2 * 48000, 60000);
    // The device stops delivering for longer than a second, then comes back.
    g_capture.CloseAudio();
    const double dStallStart = double(g_capture.GetAudioSamplesEncoded()) / 48000;
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioSamplesEncoded() >= uint64_t((dStallStart + 1.5) * 48000), 60000);
    QVERIFY(g_capture.OpenAudioDevice(nTone));
    const uint64_t nResumed = g_capture.GetAudioSamplesEncoded();
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioSamplesEncoded() >= nResumed + 2 * 48000, 60000);
    g_capture.StopRecord();
    QCOMPARE(m_pNotify->m_nErrors.load(), 0);

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY(info.bOpened);
    const QString strDetail = info.Describe() + QStringLiteral(", stall from %1 s, longest frame %2 s at %3 s")
                                                    .arg(dStallStart)
                                                    .arg(info.dLongestFrameSeconds)
                                                    .arg(info.dLongestFrameStart);
    QVERIFY2(qAbs(info.dAudioSeconds - info.dVideoSeconds) <= TRACK_TOLERANCE, qPrintable(strDetail));
    // The picture stood still only while a stall could still be a late
    // block, right where the sound stopped; it then ran on with silence and
    // both went on together after the device came back.
    // (The first frame may take the first or the second place.)
    QVERIFY2(qAbs(info.dLongestFrameStart - info.dVideoStart - dStallStart) <= TRACK_TOLERANCE + 0.04,
             qPrintable(strDetail));
    QVERIFY2(info.dLongestFrameSeconds >= 0.8 && info.dLongestFrameSeconds <= 1.2, qPrintable(strDetail));
    // Every frame the recording took is in the file.
    QVERIFY2(uint64_t(info.nVideoPackets) == g_capture.GetVideoFramesEncoded(),
             qPrintable(strDetail + QStringLiteral(", %1 frames taken").arg(g_capture.GetVideoFramesEncoded())));
}

void TestEngineRecord::writeFailureStopsTheRecordingOnce()
{
    StartOutput();
    const QString strPath = m_dir.filePath(QStringLiteral("writefail.mp4"));
    QVERIFY(g_capture.StartRecord(strPath, QString()));
    WaitFramesEncoded(75);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(strPath).size() > 10000, 60000);
    const qint64 nLimit = QFileInfo(strPath).size() + 1000;
    {
        CFileSizeLimit limit(nLimit);
        QVERIFY(limit.IsSet());
        // The next fragment does not fit: the recording stops by itself and
        // says so.
        QTRY_VERIFY_WITH_TIMEOUT(!g_capture.IsRecording(), 60000);
    }
    QCOMPARE(m_pNotify->m_nWriteErrors.load(), 1);
    // Nothing more is encoded, and the stop tells nothing more.
    const uint64_t nFrames = g_capture.GetVideoFramesEncoded();
    g_capture.StopRecord();
    QCOMPARE(g_capture.GetVideoFramesEncoded(), nFrames);
    QCOMPARE(m_pNotify->m_nErrors.load(), 1);

    // What was written before the failure reads back whole. Three seconds
    // were taken before the limit; a loaded machine takes fewer, longer
    // frames in them, so the file is held to its time, not a frame count,
    // and only to the fragments surely on disk by then.
    QVERIFY(QFileInfo(strPath).size() <= nLimit);
    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(info.Describe()));
    QVERIFY2(info.nVideoPackets > 0 && info.dVideoSeconds >= 1.0, qPrintable(info.Describe()));
}

void TestEngineRecord::pendingDeviceTakesOver()
{
    // No stored device: nothing opened, and that is not a failure.
    g_settings.SetAudioDevice(-1, 0);
    QVERIFY(g_capture.OpenAudioFromSettings());
    QVERIFY(!g_capture.HasPendingAudioDevice());
    QVERIFY(!g_capture.HasAudioDevice());
    QCOMPARE(g_capture.SetAudioMonitor(false), 0);

    const int nTone = ToneDevice();
    QVERIFY(nTone >= 0);
    g_settings.SetAudioDevice(nTone, 0);
    QVERIFY(g_capture.OpenAudioFromSettings());
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.HasAudioDevice() && !g_capture.HasPendingAudioDevice(), 20000);
    // The first hand-over released no device; the notifier was offered null.
    QTRY_VERIFY_WITH_TIMEOUT(!m_pNotify->Released().isEmpty(), 20000);
    QCOMPARE(m_pNotify->Released().constFirst(), KVS_HANDLE(nullptr));
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioLevel() > 50, 20000);

    // A second device from the settings replaces the first; the notifier
    // declines, so the engine closes the old one itself.
    QVERIFY(g_capture.OpenAudioFromSettings());
    QTRY_VERIFY_WITH_TIMEOUT(m_pNotify->Released().size() == 2, 20000);
    const KVS_HANDLE hOld = m_pNotify->Released().at(1);
    QVERIFY(hOld != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(!g_capture.HasPendingAudioDevice(), 20000);
    // The old capture is closed on this thread: its handle is no longer valid.
    QTRY_VERIFY_WITH_TIMEOUT(KVS_StopAudioCapture3(hOld) == 0, 20000);

    // A notifier that takes the old device closes it itself.
    m_pNotify->m_nReleaseAnswer = 1;
    QVERIFY(g_capture.OpenAudioFromSettings());
    QTRY_VERIFY_WITH_TIMEOUT(m_pNotify->Released().size() == 3, 20000);
    const KVS_HANDLE hTaken = m_pNotify->Released().at(2);
    QCoreApplication::processEvents();
    g_capture.CloseAudioHandle(hTaken);
    g_capture.CloseAudioHandle(nullptr);

    g_capture.CloseAudio();
    QVERIFY(!g_capture.HasAudioDevice());
    QCOMPARE(g_capture.GetAudioLevel(), 0);
    // Closing twice and opening a device that does not exist are safe.
    g_capture.CloseAudio();
    QVERIFY(!g_capture.OpenAudioDevice(-1));
    QVERIFY(!g_capture.OpenAudioDevice(999));
}

void TestEngineRecord::removedNotifierIsNotCalled()
{
    g_capture.RemoveNotify(m_pNotify);
    const int nTone = ToneDevice();
    QVERIFY(nTone >= 0);
    g_settings.SetAudioDevice(nTone, 0);
    QVERIFY(g_capture.OpenAudioFromSettings());
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.HasAudioDevice() && !g_capture.HasPendingAudioDevice(), 20000);
    QVERIFY(m_pNotify->Released().isEmpty());
    // Closing the device while its blocks arrive does not hang.
    g_capture.CloseAudio();
    QVERIFY(!g_capture.HasAudioDevice());
}

QTEST_MAIN(TestEngineRecord)
#include "tst_engine_record.moc"
