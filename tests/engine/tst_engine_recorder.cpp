// The recorder on its own: no engine, no settings, no devices. Plain
// parameters in, synthetic frames and sound fed as the mixer and audio
// threads would, a real MP4 read back; and a stream to a loopback
// nginx-rtmp server that stalls beside the file.
#include "EncoderTestUtil.h"
#include "RecordedFile.h"
#include "RtmpTestUtil.h"
#include "engine/CKVRecorder.h"
#include "media/KVProtocol.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <random>

namespace
{
const int WIDTH = 320;
const int HEIGHT = 240;
const int DURATION_25 = 400000;
const int FRAMES = 10;
// One frame's worth of sound at 25 fps.
const int SAMPLES_PER_FRAME = KV_AUDIO_SAMPLE_RATE / 25;

SRecordParams MakeParams(const QString& strPath, bool bAudio)
{
    SRecordParams params;
    params.nEncoderType = KVE_ENCODER_SOFTWARE;
    params.paramVideo = EncoderTest::MakeH264Param(WIDTH, HEIGHT);
    params.paramVideo.nDuration = DURATION_25;
    params.bAudio = bAudio;
    params.paramAudio = EncoderTest::MakeAacParam();
    params.strPath = strPath;
    return params;
}
}

class TestEngineRecorder : public QObject
{
    Q_OBJECT

private slots:
    void recordsFileReadBack_data();
    void recordsFileReadBack();
    void refusedStartLeavesNothing_data();
    void refusedStartLeavesNothing();
    void stalledServerIsLeftAndFoundAgain();
};

void TestEngineRecorder::recordsFileReadBack_data()
{
    QTest::addColumn<bool>("bAudio");
    QTest::newRow("picture only") << false;
    QTest::newRow("picture and sound") << true;
}

void TestEngineRecorder::recordsFileReadBack()
{
    QFETCH(bool, bAudio);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strPath = dir.filePath(QStringLiteral("recorder.mp4"));

    std::atomic<int> nErrors{0};
    {
        CKVRecorder recorder([&nErrors](int) { ++nErrors; });
        QString strReason;
        QVERIFY2(recorder.Start(MakeParams(strPath, bAudio), strReason), qPrintable(strReason));
        QVERIFY(recorder.IsRunning());
        int nAttempt = -1;
        QCOMPARE(recorder.GetStreamState(nAttempt), CKVRecorder::STREAM_NONE);

        int64_t nSample = 0;
        for (int nFrame = 0; nFrame < FRAMES; ++nFrame)
        {
            if (bAudio)
            {
                // The sound is the recording's clock: a frame's worth of it
                // before each frame gives every frame a slot of its own.
                const std::vector<uint8_t> vecTone = EncoderTest::MakeTone(nSample, SAMPLES_PER_FRAME);
                nSample += SAMPLES_PER_FRAME;
                recorder.EncodeAudioBlock(vecTone.data(), int(vecTone.size()));
            }
            else
            {
                // Without sound the clock is the monotonic one: a frame
                // duration apart, no frame can take another's slot.
                QThread::msleep(DURATION_25 / 10000 + 5);
            }
            const std::vector<uint8_t> vecFrame = EncoderTest::MakeYuyvFrame(WIDTH, HEIGHT, nFrame);
            recorder.EncodeFrame(vecFrame.data());
        }
        QVERIFY(recorder.GetVideoFramesEncoded() >= uint64_t(FRAMES));
        QCOMPARE(recorder.GetAudioSamplesEncoded() > 0, bAudio);
        const uint64_t nEncoded = recorder.GetVideoFramesEncoded();
        recorder.Stop();
        QVERIFY(!recorder.IsRunning());
        QVERIFY(!recorder.IsActive());

        const SFileInfo info = ReadRecordedFile(strPath);
        QVERIFY2(info.bOpened && info.bVideo, qPrintable(info.Describe()));
        QCOMPARE(info.nWidth, WIDTH);
        QCOMPARE(info.nHeight, HEIGHT);
        // What the recorder counted is what a player finds.
        QCOMPARE(uint64_t(info.nVideoPackets), nEncoded);
        if (!bAudio)
            QCOMPARE(info.nVideoPackets, FRAMES);
        QCOMPARE(info.bAudio, bAudio);
        if (bAudio)
        {
            QCOMPARE(info.nSampleRate, KV_AUDIO_SAMPLE_RATE);
            QCOMPARE(info.nChannels, 2);
            QVERIFY2(info.dAudioSeconds > 0, qPrintable(info.Describe()));
        }
    }
    QCOMPARE(nErrors.load(), 0);
}

void TestEngineRecorder::refusedStartLeavesNothing_data()
{
    QTest::addColumn<QString>("strName");
    QTest::newRow("folder missing") << QStringLiteral("missing/recorder.mp4");
    QTest::newRow("path too long") << QString(300, QLatin1Char('x')) + QStringLiteral(".mp4");
}

void TestEngineRecorder::refusedStartLeavesNothing()
{
    QFETCH(QString, strName);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strPath = dir.filePath(strName);

    std::atomic<int> nErrors{0};
    CKVRecorder recorder([&nErrors](int) { ++nErrors; });
    QString strReason;
    QVERIFY(!recorder.Start(MakeParams(strPath, true), strReason));
    QVERIFY(!strReason.isEmpty());
    QVERIFY(!recorder.IsActive());
    QVERIFY(!recorder.IsRunning());
    QVERIFY(!QFileInfo::exists(strPath));
    // A file that was never started is no write failure.
    QCOMPARE(nErrors.load(), 0);
}

void TestEngineRecorder::stalledServerIsLeftAndFoundAgain()
{
    QVERIFY(KPL_Initialize());
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString strPath = dir.filePath(QStringLiteral("stalled.mp4"));
    const QString strUrl = server.GetUrl(QStringLiteral("stalled"));

    // Noise at the highest rate: the socket buffers fill within seconds of
    // the freeze, not the minutes a simple picture would take.
    const int nWidth = 640;
    const int nHeight = 480;
    SRecordParams params = MakeParams(strPath, false);
    params.paramVideo = EncoderTest::MakeH264Param(nWidth, nHeight);
    params.paramVideo.nDuration = DURATION_25;
    params.paramVideo.nBitrate = 16000;
    params.vecStreams = {{QStringLiteral("Stalling"), strUrl}};
    std::mt19937 random(7);
    std::vector<std::vector<uint8_t>> vecNoise(6, std::vector<uint8_t>(size_t(nWidth) * nHeight * 2));
    for (auto& vecFrame : vecNoise)
        for (uint8_t& nByte : vecFrame)
            nByte = uint8_t(16 + random() % 220);

    CKVRecorder recorder([](int) {});
    QString strReason;
    QVERIFY2(recorder.Start(params, strReason), qPrintable(strReason));
    int nFed = 0;
    // Frames a little over a frame duration apart, each in a slot of its
    // own, until the condition holds; a minute of them at most.
    const auto feedUntil = [&](const std::function<bool()>& fnDone) {
        for (int i = 0; i < 1300; ++i)
        {
            if (fnDone())
                return true;
            recorder.EncodeFrame(vecNoise[size_t(nFed++) % vecNoise.size()].data());
            QThread::msleep(DURATION_25 / 10000 + 5);
        }
        return fnDone();
    };
    int nAttempt = 0;
    const auto state = [&] { return recorder.GetStreamState(nAttempt); };
    const auto status = [&] {
        KPL_RTMP_STATUS st = {};
        recorder.GetStreamStatus(st);
        return st;
    };

    QVERIFY(feedUntil([&] { return state() == CKVRecorder::STREAM_PUBLISHING && status().nVideoSent >= 25; }));
    QVERIFY(server.Freeze(true));
    // The server reads nothing: once its buffers are full the stream is
    // shown stalled, and when that outlasts the queue it is dropped and
    // tried anew.
    const bool bStalled = feedUntil([&] { return state() == CKVRecorder::STREAM_STALLED; });
    const bool bReconnecting = bStalled && feedUntil([&] { return state() == CKVRecorder::STREAM_RECONNECTING; });
    QVERIFY(server.Freeze(false));
    QVERIFY(bStalled);
    QVERIFY(bReconnecting);

    // Back: a new connection, opened on a key frame made for it, and a
    // player gets pictures from it.
    const uint64_t nKeysBefore = status().nKeyFramesSent;
    QVERIFY(
        feedUntil([&] { return state() == CKVRecorder::STREAM_PUBLISHING && status().nKeyFramesSent > nKeysBefore; }));
    auto futureRead = std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 25, 0, 60000); });
    QVERIFY(feedUntil([&] { return futureRead.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    const CReadResult result = futureRead.get();
    QVERIFY2(result.nVideoPackets >= 25, qPrintable(server.GetLog()));
    QCOMPARE(result.nWidth, nWidth);

    // The file has every frame, and none of them waited for the server.
    recorder.Stop();
    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    QCOMPARE(info.nVideoPackets, nFed);
    QVERIFY2(info.dLongestFrameSeconds < 2.5, qPrintable(QString::number(info.dLongestFrameSeconds)));
}

QTEST_GUILESS_MAIN(TestEngineRecorder)
#include "tst_engine_recorder.moc"
