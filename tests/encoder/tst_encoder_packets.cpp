// What the encoders hand to their callback: framing, key frames, profiles,
// headers and time stamps, the things the muxer and the stream client rely on.
#include "EncoderTestUtil.h"

#include <QtTest>

#include <atomic>
#include <mutex>

using namespace EncoderTest;

namespace
{
struct SPacket
{
    KVE_PACKET_INFO info;
    std::vector<uint8_t> vecData;
    std::vector<uint8_t> vecExtra;
};

struct SCollector
{
    std::mutex mutex;
    std::vector<SPacket> vecPackets;
    bool bBadSecond = false;

    static void OnOutput(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength, void* pUser)
    {
        SCollector* pThis = static_cast<SCollector*>(pUser);
        std::lock_guard<std::mutex> lock(pThis->mutex);
        if (!pSecond || nSecondLength != static_cast<int>(sizeof(KVE_PACKET_INFO)))
        {
            pThis->bBadSecond = true;
            return;
        }
        SPacket packet;
        packet.info = *static_cast<const KVE_PACKET_INFO*>(pSecond);
        packet.vecData.assign(pData, pData + nLength);
        packet.vecExtra.assign(packet.info.pExtraData, packet.info.pExtraData + packet.info.nExtraData);
        pThis->vecPackets.push_back(std::move(packet));
    }
};

// True when the packet is a chain of 4-byte-length NAL units filling it
// exactly.
bool IsLengthPrefixed(const std::vector<uint8_t>& vec)
{
    size_t nPos = 0;
    while (nPos + 4 <= vec.size())
    {
        const uint32_t nLength = (uint32_t(vec[nPos]) << 24) | (uint32_t(vec[nPos + 1]) << 16) |
                                 (uint32_t(vec[nPos + 2]) << 8) | vec[nPos + 3];
        if (nLength == 0)
            return false;
        nPos += 4 + nLength;
    }
    return nPos == vec.size() && !vec.empty();
}
}

class CEncoderPacketsTest : public QObject
{
    Q_OBJECT

private slots:
    void OnVideoPackets_data()
    {
        QTest::addColumn<int>("nProfile");
        QTest::addColumn<int>("nLowLatency");
        QTest::addColumn<int>("nQuality");
        QTest::addColumn<int>("nSignalled");
        QTest::newRow("high") << 100 << 0 << 1 << 100;
        QTest::newRow("main low latency") << 77 << 1 << 4 << 77;
        QTest::newRow("baseline") << 66 << 0 << 7 << 66;
        // The profile is a limit: the fastest preset uses neither CABAC nor
        // the 8x8 transform, and the stream says so.
        QTest::newRow("high best speed") << 100 << 1 << 7 << 66;
    }

    void OnVideoPackets()
    {
        QFETCH(int, nProfile);
        QFETCH(int, nLowLatency);
        QFETCH(int, nQuality);
        QFETCH(int, nSignalled);
        SCollector collector;
        KVE_H264_PARAM param = MakeH264Param(320, 180, nProfile, 10);
        param.nQuality = nQuality;
        param.nLowLatency = param.nLowLatency2 = nLowLatency;
        KVS_HANDLE h =
            KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, &SCollector::OnOutput, &collector);
        QVERIFY(h);
        for (int i = 0; i < 40; ++i)
            QCOMPARE(KVE_H264EncoderPutFrame(h, MakeYuyvFrame(320, 180, i).data(), i * 400000LL), 1);
        QCOMPARE(KVE_DestroyH264Encoder(h), 1);

        QVERIFY(!collector.bBadSecond);
        // Destroy drains every delayed frame.
        QCOMPARE(int(collector.vecPackets.size()), 40);
        std::vector<int64_t> vecPts;
        for (size_t i = 0; i < collector.vecPackets.size(); ++i)
        {
            const SPacket& packet = collector.vecPackets[i];
            QCOMPARE(packet.info.nStream, int(KVE_STREAM_VIDEO));
            QVERIFY(IsLengthPrefixed(packet.vecData));
            QCOMPARE(packet.info.nDuration, int64_t(400000));
            QVERIFY(packet.info.nPts >= packet.info.nDts);
            if (i > 0)
                QVERIFY(packet.info.nDts > collector.vecPackets[i - 1].info.nDts);
            QCOMPARE(packet.vecExtra, collector.vecPackets[0].vecExtra);
            // Key frames exactly at the interval (in presentation order).
            QCOMPARE(bool(packet.info.bKeyFrame), packet.info.nPts % 4000000 == 0);
            vecPts.push_back(packet.info.nPts);
            if (nLowLatency)
                QCOMPARE(packet.info.nPts, packet.info.nDts);
        }
        // Reordered frames start decoding before zero, so that the first
        // picture still shows at zero.
        if (nProfile != 66 && !nLowLatency)
            QVERIFY(collector.vecPackets[0].info.nDts < 0);
        else
            QCOMPARE(collector.vecPackets[0].info.nDts, int64_t(0));
        std::sort(vecPts.begin(), vecPts.end());
        for (int i = 0; i < 40; ++i)
            QCOMPARE(vecPts[i], int64_t(i) * 400000);
        // avcC: version 1, the profile the stream keeps to, 4-byte lengths.
        const std::vector<uint8_t>& vecExtra = collector.vecPackets[0].vecExtra;
        QVERIFY(vecExtra.size() > 8);
        QCOMPARE(int(vecExtra[0]), 1);
        QCOMPARE(int(vecExtra[1]), nSignalled);
        QCOMPARE(int(vecExtra[4] & 3), 3);
    }

    void OnSlowConsumerLosesNoFrame()
    {
        // A consumer slower than the producer fills the queue; the producer
        // must then wait, not drop.
        struct SSlow
        {
            std::atomic<int> nPackets{0};
            static void OnOutput(const uint8_t*, int, const void*, int, void* pUser)
            {
                QThread::msleep(5);
                ++static_cast<SSlow*>(pUser)->nPackets;
            }
        } slow;
        KVE_H264_PARAM param = MakeH264Param(160, 120, 100, 30);
        param.nLowLatency = param.nLowLatency2 = 1;
        KVS_HANDLE h = KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, &SSlow::OnOutput, &slow);
        QVERIFY(h);
        const std::vector<uint8_t> vecFrame = MakeYuyvFrame(160, 120, 0);
        for (int i = 0; i < 60; ++i)
            QCOMPARE(KVE_H264EncoderPutFrame(h, vecFrame.data(), 0), 1);
        QCOMPARE(KVE_DestroyH264Encoder(h), 1);
        QCOMPARE(slow.nPackets.load(), 60);
    }

    void OnKeyFrameOnRequest_data()
    {
        QTest::addColumn<int>("nLowLatency");
        QTest::newRow("normal") << 0;
        QTest::newRow("low latency") << 1;
    }

    void OnKeyFrameOnRequest()
    {
        // A stream that lost pictures cannot wait for the interval (here
        // 300 frames): the frame put after a request is a key frame a player
        // can start at, reordered frames or not. Requests before one frame
        // count once.
        QFETCH(int, nLowLatency);
        SCollector collector;
        KVE_H264_PARAM param = MakeH264Param(320, 180, 100, 300);
        param.nQuality = 4;
        param.nLowLatency = param.nLowLatency2 = nLowLatency;
        KVS_HANDLE h =
            KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, &SCollector::OnOutput, &collector);
        QVERIFY(h);
        for (int i = 0; i < 60; ++i)
        {
            if (i == 10 || i == 37)
                QCOMPARE(KVE_H264EncoderRequestKeyFrame(h), 1);
            if (i == 37)
                QCOMPARE(KVE_H264EncoderRequestKeyFrame(h), 1);
            QCOMPARE(KVE_H264EncoderPutFrame(h, MakeYuyvFrame(320, 180, i).data(), i * 400000LL), 1);
        }
        QCOMPARE(KVE_DestroyH264Encoder(h), 1);
        QCOMPARE(KVE_H264EncoderRequestKeyFrame(h), 0);

        QCOMPARE(int(collector.vecPackets.size()), 60);
        QList<int64_t> listKeys;
        for (const SPacket& packet : collector.vecPackets)
        {
            if (packet.info.bKeyFrame)
                listKeys << packet.info.nPts / 400000;
        }
        QCOMPARE(listKeys, QList<int64_t>({0, 10, 37}));
        // An IDR picture: nothing after it refers to what came before.
        for (const SPacket& packet : collector.vecPackets)
        {
            if (!packet.info.bKeyFrame)
                continue;
            bool bIdr = false;
            for (size_t nPos = 0; nPos + 4 < packet.vecData.size();)
            {
                const uint32_t nLength = (uint32_t(packet.vecData[nPos]) << 24) |
                                         (uint32_t(packet.vecData[nPos + 1]) << 16) |
                                         (uint32_t(packet.vecData[nPos + 2]) << 8) | packet.vecData[nPos + 3];
                bIdr = bIdr || (packet.vecData[nPos + 4] & 0x1F) == 5;
                nPos += 4 + nLength;
            }
            QVERIFY2(bIdr, qPrintable(QString::number(packet.info.nPts)));
        }
        QCOMPARE(KVE_H264EncoderRequestKeyFrame(nullptr), 0);
    }

    void OnAudioPackets()
    {
        SCollector collector;
        const KVE_AAC_PARAM param = MakeAacParam();
        KVS_HANDLE h = KVE_CreateAACEncoder(48000, &param, &SCollector::OnOutput, &collector);
        QVERIFY(h);
        // Blocks of awkward sizes, including empty ones, 2 s in all.
        int64_t nSamples = 0;
        const int anSizes[] = {1, 777, 0, 1024, 4000, 333};
        for (int i = 0; nSamples < 96000; ++i)
        {
            const int nSize = std::min<int64_t>(anSizes[i % 6], 96000 - nSamples);
            const std::vector<uint8_t> vecTone = MakeTone(nSamples, nSize);
            QCOMPARE(KVE_AACEncoderPutFrame(h, vecTone.data(), static_cast<int>(vecTone.size())), 1);
            nSamples += nSize;
        }
        QCOMPARE(KVE_DestroyAACEncoder(h), 1);
        QCOMPARE(KVE_AACEncoderPutFrame(h, MakeTone(0, 16).data(), 64), 0);

        QVERIFY(!collector.bBadSecond);
        // 96000 samples are 93.75 frames: 94 after padding, and one more
        // for the encoder's priming.
        QCOMPARE(int(collector.vecPackets.size()), 95);
        // The encoder's priming frame comes first, just before zero.
        QCOMPARE(collector.vecPackets[0].info.nPts, int64_t(-213333));
        for (size_t i = 0; i < collector.vecPackets.size(); ++i)
        {
            const SPacket& packet = collector.vecPackets[i];
            QCOMPARE(packet.info.nStream, int(KVE_STREAM_AUDIO));
            QCOMPARE(packet.info.nDuration, int64_t(213333));
            QVERIFY(!packet.vecData.empty());
            // AudioSpecificConfig: AAC LC, 48 kHz (index 3), 2 channels.
            QVERIFY(packet.vecExtra.size() >= 2);
            QCOMPARE(int(packet.vecExtra[0]), 0x11);
            QCOMPARE(int(packet.vecExtra[1]), 0x90);
            if (i > 0)
            {
                // Sample-exact spacing survives the conversion to 100 ns.
                const int64_t nStep = packet.info.nPts - collector.vecPackets[i - 1].info.nPts;
                QVERIFY(nStep == 213333 || nStep == 213334);
            }
        }
    }

    void OnRefusals()
    {
        KVE_H264_PARAM param = MakeH264Param(320, 180);
        // Wrong colour code, odd size, no duration, no parameters.
        QVERIFY(!KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, 1, &param, nullptr, nullptr));
        param.nWidth = 321;
        QVERIFY(!KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr));
        param = MakeH264Param(320, 180);
        param.nDuration = 0;
        QVERIFY(!KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr));
        QVERIFY(!KVE_CreateH264Encoder(KVE_ENCODER_SOFTWARE, KVS_COLOR_YUYV, nullptr, nullptr, nullptr));
        QVERIFY(!KVE_CreateAACEncoder(48000, nullptr, nullptr, nullptr));
        QCOMPARE(KVE_H264EncoderPutFrame(nullptr, nullptr, 0), 0);
        QCOMPARE(KVE_DestroyAACEncoder(nullptr), 0);

        // The hardware type falls back to software when no hardware opens,
        // and a null frame is refused without ending the encoder.
        param = MakeH264Param(320, 180);
        KVS_HANDLE h = KVE_CreateH264Encoder(KVE_ENCODER_HARDWARE, KVS_COLOR_YUYV, &param, nullptr, nullptr);
        QVERIFY(h);
        QCOMPARE(KVE_H264EncoderPutFrame(h, nullptr, 0), 0);
        QCOMPARE(KVE_H264EncoderPutFrame(h, MakeYuyvFrame(320, 180, 0).data(), 0), 1);
        // An encoder handle is no AAC handle.
        QCOMPARE(KVE_DestroyAACEncoder(h), 0);
        QCOMPARE(KVE_DestroyH264Encoder(h), 1);
        QCOMPARE(KVE_DestroyH264Encoder(h), 0);
    }
};

int main(int argc, char** argv)
{
    av_log_set_level(AV_LOG_WARNING);
    QCoreApplication app(argc, argv);
    CEncoderPacketsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_encoder_packets.moc"
