// The recorder on its own: no engine, no settings, no devices. Plain
// parameters in, synthetic frames and sound fed as the mixer and audio
// threads would, a real MP4 read back.
#include "EncoderTestUtil.h"
#include "RecordedFile.h"
#include "engine/CKVRecorder.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>

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

QTEST_GUILESS_MAIN(TestEngineRecorder)
#include "tst_engine_recorder.moc"
