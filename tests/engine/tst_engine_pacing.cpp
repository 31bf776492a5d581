// Placing recorded frames on the recording's clock (the audio position, with
// silence over stalls), and the encoder parameter blocks built from stored
// option indices.
#include "engine/KVRecordPacing.h"
#include "engine/KVRecordParams.h"

#include <QtTest>

#include <algorithm>
#include <cstdlib>

namespace
{
const int DURATION_25 = 400000;
const int64_t SECOND = 10000000;
const int64_t BLOCK_TIME = SamplesToTime(KV_AUDIO_BLOCK_SAMPLES);

// A recording driven by a simulated clock: the mixer composes a frame every
// frame duration and the device delivers a block every 1024 samples, each
// on its own schedule, the way the engine's two threads do. Every placed
// frame is checked against the sound recorded at the same moment.
struct SSimulation
{
    CKVAudioClock audio;
    CKVFramePlacer video;
    int64_t nLead = DURATION_25 / 2 + BLOCK_TIME;
    int nFramesPlaced = 0;
    int nFramesDropped = 0;
    // Largest distance between a frame's place and where the sound of its
    // moment lies in the recording.
    int64_t nWorstOffset = 0;

    SSimulation()
    {
        audio.Start(0);
        video.Start(DURATION_25);
    }

    // Runs from nFrom to nTo; fnDelivers says how many blocks the device
    // delivers at a moment, fnComposes whether the mixer gets a frame out.
    template <typename FDelivers, typename FComposes>
    void Run(int64_t nFrom, int64_t nTo, FDelivers fnDelivers, FComposes fnComposes)
    {
        int64_t nNextBlock = nFrom + BLOCK_TIME;
        int64_t nNextFrame = nFrom;
        while (std::min(nNextBlock, nNextFrame) < nTo)
        {
            if (nNextBlock <= nNextFrame)
            {
                const int nBlocks = fnDelivers(nNextBlock);
                if (nBlocks > 0)
                    audio.OnBlock(uint64_t(nBlocks) * KV_AUDIO_BLOCK_SAMPLES, nNextBlock);
                nNextBlock += BLOCK_TIME;
                continue;
            }
            const int64_t nNow = nNextFrame;
            nNextFrame += DURATION_25;
            if (!fnComposes(nNow))
                continue;
            audio.TakeStallSilence(nNow);
            const int64_t nSlot = video.Place(audio.GetTime(nNow, nLead));
            if (nSlot < 0)
            {
                ++nFramesDropped;
                continue;
            }
            ++nFramesPlaced;
            // The sound of this moment ends at the audio position.
            const int64_t nOffset = std::abs(nSlot * DURATION_25 - SamplesToTime(audio.GetSamples()));
            nWorstOffset = std::max(nWorstOffset, nOffset);
        }
    }
};

int OneBlock(int64_t)
{
    return 1;
}

bool Always(int64_t)
{
    return true;
}
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
    void slowMachineRecordsFewerLongerFrames();
    void endOfRecordingMeetsTheSound();
    void parameterBlocks();
    void streamingCapsKeyInterval_data();
    void streamingCapsKeyInterval();
    void outOfTableIndicesUseDefaults();
};

void TestEnginePacing::expectedFrames()
{
    QCOMPARE(SamplesToTime(48000), SECOND);
    QCOMPARE(TimeToSamples(SECOND), uint64_t(48000));
    QCOMPARE(BLOCK_TIME, int64_t(213333));
    QCOMPARE(TimeToSamples(-5), uint64_t(0));
    // A week of audio neither overflows nor drifts.
    const uint64_t nWeek = uint64_t(48000) * 3600 * 24 * 7;
    QCOMPARE(SamplesToTime(nWeek), SECOND * 3600 * 24 * 7);
    QCOMPARE(TimeToSamples(SamplesToTime(nWeek)), nWeek);
}

void TestEnginePacing::keepsWithinThreeFrames_data()
{
    QTest::addColumn<int64_t>("nJitter");
    QTest::addColumn<int64_t>("nPhase");
    // The mixer's frames land anywhere between the audio blocks and arrive
    // a little early or late.
    for (int64_t nJitter : {int64_t(0), int64_t(50000), int64_t(150000)})
        for (int64_t nPhase : {int64_t(0), int64_t(190000), int64_t(390000)})
            QTest::addRow("jitter %lld, phase %lld", (long long)nJitter, (long long)nPhase) << nJitter << nPhase;
}

void TestEnginePacing::keepsWithinThreeFrames()
{
    QFETCH(int64_t, nJitter);
    QFETCH(int64_t, nPhase);
    CKVFramePlacer placer;
    placer.Start(DURATION_25);
    int nDropped = 0;
    for (int n = 0; n < 1000; ++n)
    {
        const int64_t nTime = nPhase + n * int64_t(DURATION_25) + ((n * 7919) % 3 - 1) * nJitter;
        const int64_t nSlot = placer.Place(nTime);
        if (nSlot < 0)
        {
            ++nDropped;
            continue;
        }
        // Within a frame of the clock, never ahead by more than half of one.
        QVERIFY2(nSlot * DURATION_25 - nTime <= DURATION_25 / 2, qPrintable(QString::number(n)));
        QVERIFY2(nTime - nSlot * DURATION_25 < DURATION_25, qPrintable(QString::number(n)));
    }
    // A steady frame rate is neither thinned nor stretched by its jitter,
    // but for one step that settles it on the clock's phase.
    QCOMPARE(nDropped, 0);
    QVERIFY2(placer.GetNextSlot() - 1000 <= 1, qPrintable(QString::number(placer.GetNextSlot())));
}

void TestEnginePacing::firstFramesAreNotDropped()
{
    // Before any audio block, the first frame takes the first slot and
    // the next ones follow.
    SSimulation sim;
    QCOMPARE(sim.video.Place(sim.audio.GetTime(1000, sim.nLead)), int64_t(0));
    QCOMPARE(sim.video.Place(sim.audio.GetTime(DURATION_25 + 1000, sim.nLead)), int64_t(1));
    // Without sound the clock stops half a frame and a block after the last
    // block: the picture cannot run away from sound still to come.
    QCOMPARE(sim.audio.GetTime(SECOND / 2, sim.nLead), sim.nLead);
    QCOMPARE(sim.video.Place(sim.audio.GetTime(SECOND / 2, sim.nLead)), int64_t(-1));
    // A second without a block is a stall: silence takes the clock on.
    QCOMPARE(sim.audio.TakeStallSilence(SECOND / 2), uint64_t(0));
    QCOMPARE(sim.audio.TakeStallSilence(SECOND + 1000), uint64_t(48004));
    QCOMPARE(sim.video.Place(sim.audio.GetTime(SECOND + 1000, sim.nLead)), int64_t(25));
}

void TestEnginePacing::stalledAudioKeepsVideoFlowing()
{
    // Four seconds of sound, a device silent for three, then four more.
    SSimulation sim;
    const auto fnDelivers = [](int64_t nNow) { return nNow < 4 * SECOND || nNow >= 7 * SECOND ? 1 : 0; };
    sim.Run(0, 11 * SECOND, fnDelivers, Always);
    // Silence stood in for the lost time: both tracks span the session.
    QVERIFY2(qAbs(SamplesToTime(sim.audio.GetSamples()) - 11 * SECOND) <= BLOCK_TIME,
             qPrintable(QString::number(sim.audio.GetSamples())));
    QVERIFY2(qAbs(sim.video.GetEnd() - 11 * SECOND) <= DURATION_25 + BLOCK_TIME,
             qPrintable(QString::number(sim.video.GetEnd())));
    // The picture went on through the stall but for the second it takes to
    // tell a stall from a late block; and no stretch is out of step.
    QVERIFY2(sim.nFramesPlaced >= 10 * 25 - 2, qPrintable(QString::number(sim.nFramesPlaced)));
    QVERIFY2(sim.nWorstOffset <= DURATION_25 + BLOCK_TIME, qPrintable(QString::number(sim.nWorstOffset)));
}

void TestEnginePacing::startOfRecording()
{
    SSimulation sim;
    sim.Run(0, 10 * SECOND, OneBlock, Always);
    QCOMPARE(sim.nFramesDropped, 0);
    QVERIFY2(qAbs(sim.nFramesPlaced - 250) <= 1, qPrintable(QString::number(sim.nFramesPlaced)));
    QVERIFY2(sim.nWorstOffset <= DURATION_25 + BLOCK_TIME, qPrintable(QString::number(sim.nWorstOffset)));
}

void TestEnginePacing::slowMachineRecordsFewerLongerFrames()
{
    // An encoder at a third of real time lets an irregular third of the
    // frames through; audio blocks come late, in lumps of up to five.
    SSimulation sim;
    const auto fnComposes = [](int64_t nNow) { return (nNow / DURATION_25) % 3 == 0 || (nNow / DURATION_25) % 7 == 0; };
    const auto fnDelivers = [](int64_t nNow) { return (nNow / BLOCK_TIME) % 5 == 4 ? 5 : 0; };
    sim.Run(0, 20 * SECOND, fnDelivers, fnComposes);
    QVERIFY2(sim.nFramesPlaced < 250, qPrintable(QString::number(sim.nFramesPlaced)));
    // The picture lasts as long as the sound, not as long as its frames
    // would at the full rate.
    QVERIFY2(qAbs(sim.video.GetEnd() - SamplesToTime(sim.audio.GetSamples())) <= DURATION_25 + BLOCK_TIME,
             qPrintable(QStringLiteral("%1 %2").arg(sim.video.GetEnd()).arg(sim.audio.GetSamples())));
    QVERIFY2(sim.nWorstOffset <= DURATION_25 + BLOCK_TIME, qPrintable(QString::number(sim.nWorstOffset)));
}

void TestEnginePacing::endOfRecordingMeetsTheSound()
{
    CKVFramePlacer placer;
    placer.Start(DURATION_25);
    QCOMPARE(placer.EndSlot(SECOND), int64_t(-1)); // nothing placed yet
    for (int n = 0; n < 10; ++n)
        placer.Place(n * int64_t(DURATION_25));
    QCOMPARE(placer.GetEnd(), int64_t(4000000));
    // Within half a frame: nothing to add.
    QCOMPARE(placer.EndSlot(4000000 + DURATION_25 / 2), int64_t(-1));
    QCOMPARE(placer.EndSlot(3000000), int64_t(-1));
    // Sound a second longer: the last frame again, ending within a frame
    // after the sound.
    const int64_t nSlot = placer.EndSlot(5000001);
    QCOMPARE(nSlot, int64_t(12));
    QCOMPARE(placer.Place(nSlot * DURATION_25), nSlot);
    QCOMPARE(placer.GetEnd(), int64_t(5200000));
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

void TestEnginePacing::streamingCapsKeyInterval_data()
{
    QTest::addColumn<int>("nKeyFrame");
    QTest::addColumn<int>("nDuration");
    QTest::addColumn<int>("nStreamed");
    QTest::addColumn<int>("nRecorded");
    // Index 0 is the longest setting (900 frames), 5 a short one (30).
    QTest::newRow("900 at 25 fps") << 0 << 400000 << 50 << 900;
    QTest::newRow("300 at 29.97 fps") << 2 << 333667 << 59 << 300;
    QTest::newRow("900 at 60 fps") << 0 << 166667 << 119 << 900;
    QTest::newRow("300 at 5 fps") << 2 << 2000000 << 10 << 300;
    QTest::newRow("30 at 25 fps stays") << 5 << 400000 << 30 << 30;
    QTest::newRow("frames longer than 2 s") << 0 << 30000000 << 1 << 900;
}

void TestEnginePacing::streamingCapsKeyInterval()
{
    QFETCH(int, nKeyFrame);
    QFETCH(int, nDuration);
    QFETCH(int, nStreamed);
    QFETCH(int, nRecorded);
    KVEncoderOptions options;
    options.nKeyFrame = nKeyFrame;
    QCOMPARE(BuildH264Param(options, 320, 240, nDuration, true).nKeyInterval, nStreamed);
    QCOMPARE(BuildH264Param(options, 320, 240, nDuration, false).nKeyInterval, nRecorded);
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
