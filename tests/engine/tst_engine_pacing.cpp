// Pacing of recorded video against the audio clock, and the encoder
// parameter blocks built from stored option indices.
#include "KVRecordPacing.h"
#include "KVRecordParams.h"

#include <QtTest>

namespace
{
const int DURATION_25 = 400000;
}

class TestEnginePacing : public QObject
{
    Q_OBJECT

private slots:
    void expectedFrames();
    void keepsWithinThreeFrames_data();
    void keepsWithinThreeFrames();
    void firstFramesAreNotDropped();
    void stalledAudioKeepsVideoFlowing();
    void startOfRecording();
    void parameterBlocks();
    void outOfTableIndicesUseDefaults();
};

void TestEnginePacing::expectedFrames()
{
    QCOMPARE(ExpectedFrameCount(96000, DURATION_25), int64_t(50));
    // 29.97 fps: 2000 ms of audio is 59.94 frames, truncated.
    QCOMPARE(ExpectedFrameCount(96000, 333667), int64_t(59));
    // Milliseconds are truncated before frames: 1919 samples are 39 ms.
    QCOMPARE(ExpectedFrameCount(1919, 10000), int64_t(39));
    QCOMPARE(ExpectedFrameCount(96000, 0), int64_t(0));
    // Days of audio do not overflow.
    const uint64_t nWeek = uint64_t(48000) * 3600 * 24 * 7;
    QCOMPARE(ExpectedFrameCount(nWeek, DURATION_25), int64_t(25) * 3600 * 24 * 7);
}

void TestEnginePacing::keepsWithinThreeFrames_data()
{
    QTest::addColumn<int>("nFrame");
    QTest::addColumn<int>("nExpected");
    for (int n = 40; n <= 60; ++n)
    {
        const int nPacing = n <= 46 ? KV_FRAME_TWICE : (n >= 53 ? KV_FRAME_DROP : KV_FRAME_ONCE);
        QTest::addRow("n=%d", n) << n << nPacing;
    }
}

void TestEnginePacing::keepsWithinThreeFrames()
{
    QFETCH(int, nFrame);
    QFETCH(int, nExpected);
    QCOMPARE(int(DecideFramePacing(nFrame, 96000, DURATION_25, false)), nExpected);
}

void TestEnginePacing::firstFramesAreNotDropped()
{
    // Before any audio, the first frames are encoded (the video may lead by
    // up to three frames) rather than dropped for an unsigned wrap-around.
    QCOMPARE(DecideFramePacing(1, 0, DURATION_25, false), KV_FRAME_ONCE);
    QCOMPARE(DecideFramePacing(2, 0, DURATION_25, false), KV_FRAME_ONCE);
    QCOMPARE(DecideFramePacing(3, 0, DURATION_25, false), KV_FRAME_DROP);
    QCOMPARE(DecideFramePacing(0, 0, DURATION_25, false), KV_FRAME_ONCE);
    // Far behind still catches up from the very first frame.
    QCOMPARE(DecideFramePacing(1, 48000, DURATION_25, false), KV_FRAME_TWICE);
}

void TestEnginePacing::stalledAudioKeepsVideoFlowing()
{
    // Audio clock stuck at 2 s while the video is at frame 500.
    QCOMPARE(DecideFramePacing(500, 96000, DURATION_25, false), KV_FRAME_DROP);
    QCOMPARE(DecideFramePacing(500, 96000, DURATION_25, true), KV_FRAME_ONCE);
    QCOMPARE(DecideFramePacing(10, 96000, DURATION_25, true), KV_FRAME_ONCE);
    QCOMPARE(FramesPerSecond(DURATION_25), 25);
    QCOMPARE(FramesPerSecond(333667), 29);
    QCOMPARE(FramesPerSecond(0), 1);
    QCOMPARE(FramesPerSecond(20000000), 1);
}

void TestEnginePacing::startOfRecording()
{
    // Simulate the engine's counter: each composed frame adds one, a repeat
    // another, a drop takes it back, while audio arrives in 1024-sample
    // blocks at the same real-time pace. The counter ends within three
    // frames of the audio clock.
    int64_t nCount = 0;
    uint64_t nSamples = 0;
    int nPuts = 0;
    for (int nTick = 0; nTick < 250; ++nTick)
    {
        if (nTick >= 5)
            nSamples = uint64_t(nTick - 5) * 48000 / 25 / 1024 * 1024;
        const int64_t nFrame = ++nCount;
        const KVFramePacing pacing = DecideFramePacing(nFrame, nSamples, DURATION_25, false);
        if (pacing == KV_FRAME_TWICE)
            ++nCount;
        else if (pacing == KV_FRAME_DROP)
            --nCount;
        nPuts += int(pacing);
        QCOMPARE(int64_t(nPuts), nCount);
    }
    const int64_t nExpected = ExpectedFrameCount(nSamples, DURATION_25);
    QVERIFY2(qAbs(nCount - nExpected) <= 3, qPrintable(QStringLiteral("%1 vs %2").arg(nCount).arg(nExpected)));
}

void TestEnginePacing::parameterBlocks()
{
    KVEncoderOptions options;
    KVE_H264_PARAM video = BuildH264Param(options, 1920, 1080, 333667, false);
    QCOMPARE(video.nWidth, 1920);
    QCOMPARE(video.nHeight, 1080);
    QCOMPARE(video.nDuration, 333667);
    QCOMPARE(video.nBitrate, 1000);
    QCOMPARE(video.nQuality, 7);
    QCOMPARE(video.nProfile, 100);
    QCOMPARE(video.nKeyInterval, 300);
    QCOMPARE(video.nLowLatency, 0);
    QCOMPARE(video.nLowLatency2, 0);
    QCOMPARE(EncoderType(options), int(KVE_ENCODER_HARDWARE));

    options.nProfile = 2;
    options.nQuality = 0;
    options.nBitrate = 10;
    options.nKeyFrame = 6;
    options.nEncoderKind = 0;
    video = BuildH264Param(options, 640, 480, 400000, true);
    QCOMPARE(video.nProfile, 66);
    QCOMPARE(video.nQuality, 1);
    QCOMPARE(video.nBitrate, 50);
    QCOMPARE(video.nKeyInterval, 10);
    // Streaming forces low latency in both fields.
    QCOMPARE(video.nLowLatency, 1);
    QCOMPARE(video.nLowLatency2, 1);
    QCOMPARE(EncoderType(options), int(KVE_ENCODER_SOFTWARE));
    options.nEncoderKind = 7;
    QCOMPARE(EncoderType(options), int(KVE_ENCODER_SOFTWARE));

    options.nAudioBitrate = 0;
    options.nAudioQuality = 2;
    const KVE_AAC_PARAM audio = BuildAacParam(options);
    QCOMPARE(audio.nChannels, 2);
    QCOMPARE(audio.nBitrate, 192);
    QCOMPARE(audio.nQuality, 30);
    QCOMPARE(audio.nReserved, 1);
}

void TestEnginePacing::outOfTableIndicesUseDefaults()
{
    KVEncoderOptions options;
    options.nProfile = 3;
    options.nQuality = -1;
    options.nBitrate = 11;
    options.nMode = 5;
    options.nKeyFrame = 99;
    options.nAudioBitrate = -7;
    options.nAudioQuality = 3;
    const KVE_H264_PARAM video = BuildH264Param(options, 320, 240, 400000, false);
    QCOMPARE(video.nProfile, 100);
    QCOMPARE(video.nQuality, 7);
    QCOMPARE(video.nBitrate, 1000);
    QCOMPARE(video.nLowLatency, 0);
    QCOMPARE(video.nKeyInterval, 300);
    const KVE_AAC_PARAM audio = BuildAacParam(options);
    QCOMPARE(audio.nBitrate, 128);
    QCOMPARE(audio.nQuality, 50);
}

QTEST_GUILESS_MAIN(TestEnginePacing)
#include "tst_engine_pacing.moc"
