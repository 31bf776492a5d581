// Recording to MP4: what a player finds in the file after a normal stop, with
// either destroy order, without audio, and after the recording process is
// killed outright.
#include "EncoderTestUtil.h"
#include "FileSizeLimit.h"
#include "media/KVError.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstring>

using namespace EncoderTest;

namespace
{
enum
{
    WIDTH = 640,
    HEIGHT = 360,
    FRAMES = 125,
    SAMPLES_PER_FRAME = 1920
};

struct SPipeline
{
    KVS_HANDLE hH264 = nullptr;
    KVS_HANDLE hAac = nullptr;
    KVS_HANDLE hMuxer = nullptr;
    int64_t nSamples = 0;
};

// Feeds one frame and the audio that lasts as long, the way the engine does,
// with the audio in blocks of capture size.
bool FeedFrame(SPipeline& pipe, int nIndex)
{
    const std::vector<uint8_t> vecFrame = MakeYuyvFrame(WIDTH, HEIGHT, nIndex);
    if (!KVE_H264EncoderPutFrame(pipe.hH264, vecFrame.data(), nIndex))
        return false;
    if (pipe.hAac)
    {
        const std::vector<uint8_t> vecTone = MakeTone(pipe.nSamples, SAMPLES_PER_FRAME);
        pipe.nSamples += SAMPLES_PER_FRAME;
        if (!KVE_AACEncoderPutFrame(pipe.hAac, vecTone.data(), static_cast<int>(vecTone.size())))
            return false;
    }
    return true;
}

std::u16string Utf16(const QString& str)
{
    return std::u16string(reinterpret_cast<const char16_t*>(str.utf16()), static_cast<size_t>(str.size()));
}

// Child mode: records in real time until it is killed.
int RunCrashChild(const QString& strPath)
{
    const KVE_H264_PARAM param = MakeH264Param(WIDTH, HEIGHT, 100, 250);
    const KVE_AAC_PARAM aac = MakeAacParam();
    SPipeline pipe;
    pipe.hH264 = KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr);
    pipe.hAac = KVE_CreateAACEncoder(48000, &aac, nullptr, nullptr);
    pipe.hMuxer = KVE_CreateMp4Muxer(Utf16(strPath).c_str(), pipe.hH264, pipe.hAac);
    if (!pipe.hMuxer)
        return 2;
    for (int i = 0;; ++i)
    {
        if (!FeedFrame(pipe, i))
            return 3;
        if (i == 0)
        {
            // Tells the parent the recording runs.
            fputs("recording\n", stdout);
            fflush(stdout);
        }
        QThread::msleep(40);
    }
}
}

class CEncoderMp4Test : public QObject
{
    Q_OBJECT

private slots:
    void OnRecordingWithAudio_data()
    {
        QTest::addColumn<bool>("bMuxerFirst");
        QTest::newRow("muxer destroyed first") << true;
        QTest::newRow("encoders destroyed first") << false;
    }

    void OnRecordingWithAudio()
    {
        QFETCH(bool, bMuxerFirst);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString strPath = dir.filePath(QStringLiteral("record ü.mp4"));
        KVE_H264_PARAM param = MakeH264Param(WIDTH, HEIGHT, 100, 50);
        param.nQuality = 4; // one that uses what the high profile allows
        const KVE_AAC_PARAM aac = MakeAacParam();
        SPipeline pipe;
        pipe.hH264 = KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr);
        pipe.hAac = KVE_CreateAACEncoder(48000, &aac, nullptr, nullptr);
        QVERIFY(pipe.hH264 && pipe.hAac);
        pipe.hMuxer = KVE_CreateMp4Muxer(Utf16(strPath).c_str(), pipe.hH264, pipe.hAac);
        QVERIFY(pipe.hMuxer);
        for (int i = 0; i < FRAMES; ++i)
            QVERIFY(FeedFrame(pipe, i));
        if (bMuxerFirst)
        {
            QCOMPARE(KVE_DestroyMp4Muxer(pipe.hMuxer), 1);
            QCOMPARE(KVE_DestroyH264Encoder(pipe.hH264), 1);
            QCOMPARE(KVE_DestroyAACEncoder(pipe.hAac), 1);
        }
        else
        {
            QCOMPARE(KVE_DestroyH264Encoder(pipe.hH264), 1);
            QCOMPARE(KVE_DestroyAACEncoder(pipe.hAac), 1);
            QCOMPARE(KVE_DestroyMp4Muxer(pipe.hMuxer), 1);
        }
        // A handle is gone for good once destroyed.
        QCOMPARE(KVE_DestroyMp4Muxer(pipe.hMuxer), 0);
        QCOMPARE(KVE_H264EncoderPutFrame(pipe.hH264, MakeYuyvFrame(WIDTH, HEIGHT, 0).data(), 0), 0);

        const SReadBack result = ReadBack(strPath);
        QVERIFY(result.bOpened);
        QCOMPARE(result.nVideoStreams, 1);
        QCOMPARE(result.nAudioStreams, 1);
        QCOMPARE(result.videoCodec, AV_CODEC_ID_H264);
        QCOMPARE(result.nWidth, int(WIDTH));
        QCOMPARE(result.nHeight, int(HEIGHT));
        QCOMPARE(result.nProfile, int(FF_PROFILE_H264_HIGH));
        QCOMPARE(result.audioCodec, AV_CODEC_ID_AAC);
        QCOMPARE(result.nSampleRate, 48000);
        QCOMPARE(result.nChannels, 2);
        QVERIFY2(std::abs(result.dDuration - 5.0) <= 0.5, qPrintable(QString::number(result.dDuration)));
        // Every frame put reaches the file, whichever is destroyed first:
        // the muxer drains what the encoder still holds.
        QCOMPARE(result.nVideoPackets, int(FRAMES));
        // 5 s of audio in 1024-sample frames, plus the encoder's priming.
        QVERIFY(result.nAudioPackets >= 234 && result.nAudioPackets <= 237);
        const std::vector<int> vecExpected{0, 50, 100};
        QCOMPARE(result.vecKeyFrames, vecExpected);
    }

    void OnVideoOnly()
    {
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("video.mp4"));
        const KVE_H264_PARAM param = MakeH264Param(320, 240, 66, 300);
        SPipeline pipe;
        pipe.hH264 = KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr);
        QVERIFY(pipe.hH264);
        pipe.hMuxer = KVE_CreateMp4Muxer(Utf16(strPath).c_str(), pipe.hH264, nullptr);
        QVERIFY(pipe.hMuxer);
        for (int i = 0; i < 50; ++i)
        {
            const std::vector<uint8_t> vecFrame = MakeYuyvFrame(320, 240, i);
            QCOMPARE(KVE_H264EncoderPutFrame(pipe.hH264, vecFrame.data(), i), 1);
        }
        QCOMPARE(KVE_DestroyMp4Muxer(pipe.hMuxer), 1);
        QCOMPARE(KVE_DestroyH264Encoder(pipe.hH264), 1);
        const SReadBack result = ReadBack(strPath);
        QVERIFY(result.bOpened);
        QCOMPARE(result.nStreams, 1);
        QCOMPARE(result.nWidth, 320);
        // x264 marks its baseline streams as constrained baseline.
        QCOMPARE(result.nProfile & 0xff, int(FF_PROFILE_H264_BASELINE));
        QCOMPARE(result.nVideoPackets, 50);
        QVERIFY2(std::abs(result.dDuration - 2.0) <= 0.2, qPrintable(QString::number(result.dDuration)));
    }

    void OnMuxerRefusals()
    {
        QTemporaryDir dir;
        const KVE_H264_PARAM param = MakeH264Param(320, 240);
        KVS_HANDLE hH264 = KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr);
        QVERIFY(hH264);
        // A folder that does not exist, no encoder, and an encoder handle
        // passed as the audio encoder.
        const QString strMissing = dir.filePath(QStringLiteral("missing/x.mp4"));
        QVERIFY(!KVE_CreateMp4Muxer(Utf16(strMissing).c_str(), hH264, nullptr));
        QCOMPARE(KVS_GetLastError(nullptr, 0), int(KVS_ERROR_FILE_NO_FOLDER));
        // A folder where the file should be: the system's words come along.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("taken.mp4")));
        QVERIFY(!KVE_CreateMp4Muxer(Utf16(dir.filePath(QStringLiteral("taken.mp4"))).c_str(), hH264, nullptr));
        char szDetail[128] = {};
        QCOMPARE(KVS_GetLastError(szDetail, sizeof(szDetail)), int(KVS_ERROR_FILE_OTHER));
        QVERIFY(szDetail[0] != '\0');
        QVERIFY(!KVE_CreateMp4Muxer(Utf16(dir.filePath(QStringLiteral("a.mp4"))).c_str(), nullptr, nullptr));
        QCOMPARE(KVS_GetLastError(nullptr, 0), int(KVS_ERROR_BAD_ARGUMENT));
        QVERIFY(!KVE_CreateMp4Muxer(Utf16(dir.filePath(QStringLiteral("b.mp4"))).c_str(), hH264, hH264));
        QVERIFY(!KVE_CreateMp4Muxer(nullptr, hH264, nullptr));
        QCOMPARE(KVE_DestroyH264Encoder(hH264), 1);
    }

    void OnImpossibleEncoderSettings_data()
    {
        QTest::addColumn<int>("nWidth");
        QTest::addColumn<int>("nHeight");
        QTest::addColumn<int>("nDuration");
        QTest::newRow("odd width") << 321 << 240 << 400000;
        QTest::newRow("no height") << 320 << 0 << 400000;
        QTest::newRow("no frame duration") << 320 << 240 << 0;
    }

    void OnImpossibleEncoderSettings()
    {
        QFETCH(int, nWidth);
        QFETCH(int, nHeight);
        QFETCH(int, nDuration);
        KVE_H264_PARAM param = MakeH264Param(nWidth, nHeight);
        param.nDuration = nDuration;
        KVS_ClearLastError();
        QVERIFY(!KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr));
        QCOMPARE(KVS_GetLastError(nullptr, 0), int(KVS_ERROR_UNSUPPORTED));
    }

    void OnFramesTakeTheirPlacesFromTheirTimes()
    {
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("places.mp4"));
        const KVE_H264_PARAM param = MakeH264Param(320, 240, 100, 25);
        SPipeline pipe;
        pipe.hH264 = KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr);
        pipe.hMuxer = KVE_CreateMp4Muxer(Utf16(strPath).c_str(), pipe.hH264, nullptr);
        QVERIFY(pipe.hMuxer);
        // Two seconds, then nothing for 400 ms (an encoder that fell
        // behind), then a second more; one time repeats a taken place.
        std::vector<int64_t> vecSlots;
        vecSlots.reserve(75);
        for (int i = 0; i < 50; ++i)
            vecSlots.push_back(i);
        for (int i = 60; i < 85; ++i)
            vecSlots.push_back(i);
        for (size_t i = 0; i < vecSlots.size(); ++i)
        {
            const std::vector<uint8_t> vecFrame = MakeYuyvFrame(320, 240, int(i));
            QCOMPARE(KVE_H264EncoderPutFrame(pipe.hH264, vecFrame.data(), vecSlots[i] * 400000 + 1000), 1);
        }
        QCOMPARE(KVE_H264EncoderPutFrame(pipe.hH264, MakeYuyvFrame(320, 240, 0).data(), 84 * 400000), 1);
        int64_t nWritten = -1;
        int64_t nPending = -1;
        QCOMPARE(KVE_GetMp4MuxerBytes(pipe.hMuxer, &nWritten, &nPending), 1);
        QVERIFY(nWritten > 0 && nPending >= 0);
        QCOMPARE(KVE_DestroyMp4Muxer(pipe.hMuxer), 1);
        QCOMPARE(KVE_GetMp4MuxerBytes(pipe.hMuxer, &nWritten, &nPending), 0);
        QCOMPARE(KVE_DestroyH264Encoder(pipe.hH264), 1);

        const SReadBack result = ReadBack(strPath);
        QVERIFY(result.bOpened);
        QCOMPARE(result.nVideoPackets, int(vecSlots.size()) + 1);
        // The gap is held by the frame before it; the repeated time went
        // right after the last frame.
        QVERIFY2(std::abs(result.dVideoEnd - 3.44) < 0.001, qPrintable(QString::number(result.dVideoEnd)));
    }

    void OnSoundLongBeforeTheFirstPicture()
    {
        // A slow encoder that reorders frames: seconds of sound reach the
        // muxer before the first picture, whose decoding time is below zero.
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("late picture.mp4"));
        KVE_H264_PARAM param = MakeH264Param(WIDTH, HEIGHT, 100, 50);
        param.nQuality = 1; // reorders frames
        const KVE_AAC_PARAM aac = MakeAacParam();
        SPipeline pipe;
        pipe.hH264 = KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr);
        pipe.hAac = KVE_CreateAACEncoder(48000, &aac, nullptr, nullptr);
        QVERIFY(pipe.hH264 && pipe.hAac);
        pipe.hMuxer = KVE_CreateMp4Muxer(Utf16(strPath).c_str(), pipe.hH264, pipe.hAac);
        QVERIFY(pipe.hMuxer);
        for (int i = 0; i < 75; ++i)
        {
            const std::vector<uint8_t> vecTone = MakeTone(pipe.nSamples, SAMPLES_PER_FRAME);
            pipe.nSamples += SAMPLES_PER_FRAME;
            QVERIFY(KVE_AACEncoderPutFrame(pipe.hAac, vecTone.data(), static_cast<int>(vecTone.size())) == 1);
        }
        // The machine was so busy that the second picture found its place
        // four seconds after the first: the reordering encoder dates the
        // first pictures' decoding seconds before zero.
        for (int i = 0; i < 50; ++i)
        {
            const std::vector<uint8_t> vecFrame = MakeYuyvFrame(WIDTH, HEIGHT, i);
            const int64_t nSlot = i == 0 ? 0 : 100 + i;
            QCOMPARE(KVE_H264EncoderPutFrame(pipe.hH264, vecFrame.data(), nSlot * 400000), 1);
        }
        QCOMPARE(KVE_DestroyMp4Muxer(pipe.hMuxer), 1);
        QCOMPARE(KVE_DestroyH264Encoder(pipe.hH264), 1);
        QCOMPARE(KVE_DestroyAACEncoder(pipe.hAac), 1);

        const SReadBack result = ReadBack(strPath);
        QVERIFY(result.bOpened);
        QCOMPARE(result.nVideoPackets, 50);
        QVERIFY2(result.nAudioPackets >= 70, qPrintable(QString::number(result.nAudioPackets)));
        // Nothing in the file lies before its start.
        QVERIFY2(result.dFirstVideoDts >= 0, qPrintable(QString::number(result.dFirstVideoDts)));
    }

    void OnWriteFailureKeepsWhatWasWritten()
    {
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("full.mp4"));
        const KVE_H264_PARAM param = MakeH264Param(WIDTH, HEIGHT, 100, 250);
        const KVE_AAC_PARAM aac = MakeAacParam();
        SPipeline pipe;
        pipe.hH264 = KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr);
        pipe.hAac = KVE_CreateAACEncoder(48000, &aac, nullptr, nullptr);
        pipe.hMuxer = KVE_CreateMp4Muxer(Utf16(strPath).c_str(), pipe.hH264, pipe.hAac);
        QVERIFY(pipe.hMuxer);
        for (int i = 0; i < 75; ++i)
            QVERIFY(FeedFrame(pipe, i));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(strPath).size() > 10000, 30000);
        const qint64 nLimit = QFileInfo(strPath).size() + 5000;
        int nRefusedAt = -1;
        {
            // The disk is full from here on: the next fragment does not fit.
            CFileSizeLimit limit(nLimit);
            QVERIFY(limit.IsSet());
            for (int i = 75; i < 1000 && nRefusedAt < 0; ++i)
            {
                const std::vector<uint8_t> vecFrame = MakeYuyvFrame(WIDTH, HEIGHT, i);
                const int nResult = KVE_H264EncoderPutFrame(pipe.hH264, vecFrame.data(), i * 400000LL);
                QVERIFY(nResult != 0);
                if (nResult < 0)
                    nRefusedAt = i;
                const std::vector<uint8_t> vecTone = MakeTone(pipe.nSamples, SAMPLES_PER_FRAME);
                pipe.nSamples += SAMPLES_PER_FRAME;
                KVE_AACEncoderPutFrame(pipe.hAac, vecTone.data(), int(vecTone.size()));
            }
        }
        // Told within a few frames of the second the fragment covers.
        QVERIFY2(nRefusedAt > 75 && nRefusedAt < 150, qPrintable(QString::number(nRefusedAt)));
        const std::vector<uint8_t> vecTone = MakeTone(0, SAMPLES_PER_FRAME);
        QCOMPARE(KVE_AACEncoderPutFrame(pipe.hAac, vecTone.data(), int(vecTone.size())), -1);
        // The file was not finished, and says so.
        QCOMPARE(KVE_DestroyMp4Muxer(pipe.hMuxer), 0);
        QCOMPARE(KVE_DestroyH264Encoder(pipe.hH264), 1);
        QCOMPARE(KVE_DestroyAACEncoder(pipe.hAac), 1);

        // It ends with its last whole fragment, and every packet in it reads.
        QVERIFY(QFileInfo(strPath).size() < nLimit);
        const SReadBack result = ReadBack(strPath);
        QVERIFY(result.bOpened);
        QCOMPARE(result.nAudioStreams, 1);
        QVERIFY2(result.nVideoPackets >= 25 && result.dVideoEnd >= 1.0, qPrintable(QString::number(result.dVideoEnd)));
        QVERIFY(result.nVideoPackets <= nRefusedAt);
    }

    void OnKilledRecordingStaysPlayable()
    {
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("crash.mp4"));
        QProcess child;
        // The encoder's own log is of no interest here.
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--crash-child"), strPath});
        QVERIFY(child.waitForStarted(30000));
        QByteArray baOutput;
        while (!baOutput.contains("recording") && child.waitForReadyRead(60000))
            baOutput += child.readAllStandardOutput();
        QVERIFY2(baOutput.contains("recording"), baOutput.constData());
        QCOMPARE(child.state(), QProcess::Running);
        // About three seconds of recording; the key-frame interval is ten
        // seconds, so only the time-based fragments can save the file.
        QTest::qWait(3000);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(strPath).size() > 50000, 60000);
        QTest::qWait(1000);
        child.kill();
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const SReadBack result = ReadBack(strPath);
        QVERIFY(result.bOpened);
        QCOMPARE(result.nVideoStreams, 1);
        QCOMPARE(result.nAudioStreams, 1);
        QVERIFY2(result.dVideoEnd >= 1.0, qPrintable(QString::number(result.dVideoEnd)));
        QVERIFY(result.nVideoPackets >= 25);
    }
};

int main(int argc, char** argv)
{
    av_log_set_level(AV_LOG_WARNING);
    if (argc >= 3 && strcmp(argv[1], "--crash-child") == 0)
        return RunCrashChild(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    CEncoderMp4Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_encoder_mp4.moc"
