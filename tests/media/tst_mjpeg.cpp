// Decoding of compressed camera pictures: the reduced-size decode it picks,
// that the reduced picture scaled to the requested size still shows what a
// full-size decode shows, and that pictures nobody looks at are never
// decoded (counted through a capture fed in memory, like a camera's).
#include "media/capture/CaptureDevice.h"
#include "media/capture/PacketDecoder.h"
#include "media/capture/PacketFeed.h"
#include "media/image/ReducedSize.h"
#include "media/mixer/CVideoMixer.h"

#include <QtTest>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace KVMedia;

namespace
{
struct SYuv
{
    int nY, nU, nV;
};

// A picture of eight columns and four rows of flat colours, so that any
// decode of it, at any size, has a known colour at each block's centre.
SYuv BlockColour(int nColumn, int nRow, int nSeed)
{
    const int n = nColumn + nRow * 8 + nSeed * 5;
    return SYuv{40 + (n * 37) % 180, 60 + (n * 53) % 140, 60 + (n * 71) % 140};
}

// JPEG pictures use the full 0..255 range; captured frames the video range.
int VideoLuma(const SYuv& colour)
{
    return 16 + (colour.nY * 219 + 127) / 255;
}

// One JPEG picture, 4:2:2 as most USB cameras send them unless asked for
// another format. bStandardTables: coded with the standard Huffman tables,
// which cameras then leave out of the picture.
std::vector<uint8_t> EncodeBlocks(int nWidth, int nHeight, int nSeed, AVPixelFormat eFormat = AV_PIX_FMT_YUVJ422P,
                                  bool bStandardTables = false)
{
    const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    AVCodecContext* pContext = pCodec ? avcodec_alloc_context3(pCodec) : nullptr;
    std::vector<uint8_t> abPacket;
    if (!pContext)
        return abPacket;
    pContext->width = nWidth;
    pContext->height = nHeight;
    pContext->pix_fmt = eFormat;
    if (bStandardTables)
        av_opt_set(pContext->priv_data, "huffman", "default", 0);
    pContext->time_base = AVRational{1, 30};
    pContext->flags |= AV_CODEC_FLAG_QSCALE;
    pContext->global_quality = FF_QP2LAMBDA * 2;
    AVFrame* pFrame = av_frame_alloc();
    AVPacket* pPacket = av_packet_alloc();
    if (avcodec_open2(pContext, pCodec, nullptr) == 0 && pFrame && pPacket)
    {
        pFrame->width = nWidth;
        pFrame->height = nHeight;
        pFrame->format = eFormat;
        const int nChromaRows = eFormat == AV_PIX_FMT_YUVJ420P ? 2 : 1;
        pFrame->quality = pContext->global_quality;
        if (av_frame_get_buffer(pFrame, 0) == 0)
        {
            for (int y = 0; y < nHeight; ++y)
                for (int x = 0; x < nWidth; ++x)
                {
                    const SYuv c = BlockColour(x * 8 / nWidth, y * 4 / nHeight, nSeed);
                    pFrame->data[0][y * pFrame->linesize[0] + x] = uint8_t(c.nY);
                    if (x % 2 == 0 && y % nChromaRows == 0)
                    {
                        pFrame->data[1][y / nChromaRows * pFrame->linesize[1] + x / 2] = uint8_t(c.nU);
                        pFrame->data[2][y / nChromaRows * pFrame->linesize[2] + x / 2] = uint8_t(c.nV);
                    }
                }
            if (avcodec_send_frame(pContext, pFrame) == 0 && avcodec_receive_packet(pContext, pPacket) == 0)
                abPacket.assign(pPacket->data, pPacket->data + pPacket->size);
        }
    }
    av_packet_free(&pPacket);
    av_frame_free(&pFrame);
    avcodec_free_context(&pContext);
    return abPacket;
}

// The picture without its Huffman tables, as many cameras send it.
std::vector<uint8_t> WithoutHuffmanTables(const std::vector<uint8_t>& abJpeg)
{
    std::vector<uint8_t> abOut(abJpeg.begin(), abJpeg.begin() + 2);
    size_t i = 2;
    while (i + 4 <= abJpeg.size() && abJpeg[i] == 0xff && abJpeg[i + 1] != 0xda)
    {
        const size_t nSegment = 2 + (size_t(abJpeg[i + 2]) << 8 | abJpeg[i + 3]);
        if (abJpeg[i + 1] != 0xc4)
            abOut.insert(abOut.end(), abJpeg.begin() + long(i), abJpeg.begin() + long(i + nSegment));
        i += nSegment;
    }
    abOut.insert(abOut.end(), abJpeg.begin() + long(qMin(i, abJpeg.size())), abJpeg.end());
    return abOut;
}

// Chroma as the video range stores it.
int VideoChroma(int nChroma)
{
    return 128 + ((nChroma - 128) * 224) / 255;
}

AVCodecParameters* MjpegParams(int nWidth, int nHeight)
{
    AVCodecParameters* pParams = avcodec_parameters_alloc();
    pParams->codec_type = AVMEDIA_TYPE_VIDEO;
    pParams->codec_id = AV_CODEC_ID_MJPEG;
    pParams->width = nWidth;
    pParams->height = nHeight;
    return pParams;
}

// Decodes one picture through a fresh decoder into nWidth x nHeight YUYV.
std::vector<uint8_t> DecodeTo(const std::vector<uint8_t>& abJpeg, int nSrcWidth, int nSrcHeight, int nWidth,
                              int nHeight, int* pnLowres)
{
    std::vector<uint8_t> abFrame(size_t(nWidth) * 2 * size_t(nHeight) + 64);
    AVCodecParameters* pParams = MjpegParams(nSrcWidth, nSrcHeight);
    CPacketDecoder decoder;
    const bool bOpened = decoder.Open(pParams, nWidth, nHeight);
    avcodec_parameters_free(&pParams);
    AVPacket* pPacket = av_packet_alloc();
    bool bDecoded = false;
    if (bOpened && pPacket && av_new_packet(pPacket, int(abJpeg.size())) == 0)
    {
        std::copy(abJpeg.begin(), abJpeg.end(), pPacket->data);
        decoder.Keep(pPacket);
        bDecoded = decoder.DecodeKept(abFrame.data(), nWidth * 2);
    }
    av_packet_free(&pPacket);
    *pnLowres = decoder.GetLowres();
    if (!bDecoded)
        abFrame.clear();
    return abFrame;
}

SYuv PixelAt(const std::vector<uint8_t>& abFrame, int nWidth, int x, int y)
{
    const uint8_t* pPair = &abFrame[(size_t(y) * size_t(nWidth) + size_t(x & ~1)) * 2];
    return SYuv{pPair[(x & 1) * 2], pPair[1], pPair[3]};
}

// Polls a condition of another thread's making; fails only after a long time.
bool WaitFor(const std::function<bool()>& fnDone)
{
    const auto tpDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fnDone())
    {
        if (std::chrono::steady_clock::now() > tpDeadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

// A capture reading a feed instead of a device.
struct SFedCapture
{
    std::shared_ptr<CPacketFeed> pFeed;
    std::shared_ptr<CCaptureDevice> pCapture;

    SFedCapture(int nSrcWidth, int nSrcHeight, int nWidth, int nHeight)
        : pFeed(std::make_shared<CPacketFeed>(AV_CODEC_ID_MJPEG, nSrcWidth, nSrcHeight))
    {
        auto pDevice = std::make_shared<CVideoDeviceState>();
        pDevice->strName = QStringLiteral("fed camera");
        pDevice->nMaxWidth = nSrcWidth;
        pDevice->nMaxHeight = nSrcHeight;
        pCapture = std::make_shared<CCaptureDevice>(pDevice);
        const std::shared_ptr<CPacketFeed> pSource = pFeed;
        pCapture->SetProducerFactory([pSource] { return pSource->CreateProducer(); });
        pCapture->SetFormat(KVS_COLOR_YUYV, nWidth, nHeight, 333333);
    }
    ~SFedCapture() { pCapture->Stop(); }

    // Pushes pictures and waits until the capture has taken them all in.
    bool Deliver(const std::vector<std::vector<uint8_t>>& pictures)
    {
        const uint64_t nExpected = pCapture->GetLatestSeq() + pictures.size();
        for (const std::vector<uint8_t>& abPicture : pictures)
            pFeed->Push(abPicture);
        return WaitFor([&] { return pCapture->GetLatestSeq() == nExpected && pFeed->GetQueued() == 0; });
    }
};

// The one capture the mixer of a test pulls from, whatever the handle.
CCaptureDevice* g_pMixedCapture = nullptr;

std::shared_ptr<const SCapturedFrame> AcquireFromTestCapture(KVS_HANDLE, int nWidth, int nHeight, uint64_t nAfterSeq)
{
    return g_pMixedCapture->AcquireLatestFrame(nWidth, nHeight, nAfterSeq);
}

void CountFrame(const uint8_t*, int, void* pUser)
{
    static_cast<std::atomic<int>*>(pUser)->fetch_add(1);
}
}

class TestMjpeg : public QObject
{
    Q_OBJECT

private slots:
    void lowresCoversRequestedSize_data();
    void lowresCoversRequestedSize();
    void reducedDecodeShowsFullPicture_data();
    void reducedDecodeShowsFullPicture();
    void cameraPicturesOfEveryKindDecode();
    void supersededPicturesAreNotDecoded();
    void previewDecodesAtItsOwnPace();
    void mixerDecodesOnlyWhatItComposes();
};

void TestMjpeg::lowresCoversRequestedSize_data()
{
    QTest::addColumn<int>("nSrcWidth");
    QTest::addColumn<int>("nSrcHeight");
    QTest::addColumn<int>("nWidth");
    QTest::addColumn<int>("nHeight");
    QTest::addColumn<int>("nMax");
    QTest::addColumn<int>("nExpected");
    QTest::newRow("same size") << 1920 << 1080 << 1920 << 1080 << 3 << 0;
    QTest::newRow("larger than source") << 1920 << 1080 << 2560 << 1440 << 3 << 0;
    QTest::newRow("one pixel short of half") << 1920 << 1080 << 961 << 540 << 3 << 0;
    QTest::newRow("six-grid cell") << 1920 << 1080 << 960 << 360 << 3 << 1;
    QTest::newRow("exactly half") << 1920 << 1080 << 960 << 540 << 3 << 1;
    QTest::newRow("height decides") << 1920 << 1080 << 400 << 300 << 3 << 1;
    QTest::newRow("quarter") << 1920 << 1080 << 480 << 270 << 3 << 2;
    QTest::newRow("eighth") << 1920 << 1080 << 240 << 135 << 3 << 3;
    QTest::newRow("never beyond the maximum") << 1920 << 1080 << 64 << 36 << 3 << 3;
    QTest::newRow("decoder without reduction") << 1920 << 1080 << 480 << 270 << 0 << 0;
    QTest::newRow("4:3 camera") << 1600 << 1200 << 400 << 300 << 3 << 2;
    QTest::newRow("odd source rounds up") << 1366 << 767 << 683 << 384 << 3 << 1;
    QTest::newRow("unknown source size") << 0 << 0 << 640 << 360 << 3 << 0;
}

void TestMjpeg::lowresCoversRequestedSize()
{
    QFETCH(int, nSrcWidth);
    QFETCH(int, nSrcHeight);
    QFETCH(int, nWidth);
    QFETCH(int, nHeight);
    QFETCH(int, nMax);
    QFETCH(int, nExpected);
    QCOMPARE(ChooseReduction(nSrcWidth, nSrcHeight, nWidth, nHeight, nMax), nExpected);
}

void TestMjpeg::reducedDecodeShowsFullPicture_data()
{
    QTest::addColumn<int>("nWidth");
    QTest::addColumn<int>("nHeight");
    QTest::addColumn<int>("nLowres");
    QTest::newRow("six-grid cell") << 960 << 360 << 1;
    QTest::newRow("quarter") << 480 << 270 << 2;
    QTest::newRow("small preview") << 200 << 112 << 3;
}

void TestMjpeg::reducedDecodeShowsFullPicture()
{
    QFETCH(int, nWidth);
    QFETCH(int, nHeight);
    QFETCH(int, nLowres);
    const std::vector<uint8_t> abJpeg = EncodeBlocks(1920, 1080, 1);
    QVERIFY(!abJpeg.empty());

    int nFullLowres = -1;
    const std::vector<uint8_t> abFull = DecodeTo(abJpeg, 1920, 1080, 1920, 1080, &nFullLowres);
    int nReducedLowres = -1;
    const std::vector<uint8_t> abReduced = DecodeTo(abJpeg, 1920, 1080, nWidth, nHeight, &nReducedLowres);
    QVERIFY(!abFull.empty());
    QVERIFY(!abReduced.empty());
    QCOMPARE(nFullLowres, 0);
    QCOMPARE(nReducedLowres, nLowres);

    // The centre of every block, and the corners of the picture (where a
    // wrong size or offset would show first), match the full decode.
    for (int nRow = 0; nRow < 4; ++nRow)
        for (int nColumn = 0; nColumn < 8; ++nColumn)
        {
            const SYuv full = PixelAt(abFull, 1920, (nColumn * 2 + 1) * 1920 / 16, (nRow * 2 + 1) * 1080 / 8);
            const SYuv reduced =
                PixelAt(abReduced, nWidth, (nColumn * 2 + 1) * nWidth / 16, (nRow * 2 + 1) * nHeight / 8);
            const SYuv expected = BlockColour(nColumn, nRow, 1);
            QVERIFY2(qAbs(full.nY - VideoLuma(expected)) <= 3, qPrintable(QString::number(full.nY)));
            QVERIFY2(qAbs(reduced.nY - full.nY) <= 4, qPrintable(QStringLiteral("block %1,%2: Y %3 against %4")
                                                                     .arg(nColumn)
                                                                     .arg(nRow)
                                                                     .arg(reduced.nY)
                                                                     .arg(full.nY)));
            QVERIFY(qAbs(reduced.nU - full.nU) <= 4);
            QVERIFY(qAbs(reduced.nV - full.nV) <= 4);
        }
    const SYuv corner = PixelAt(abReduced, nWidth, nWidth - 1, nHeight - 1);
    QVERIFY(qAbs(corner.nY - VideoLuma(BlockColour(7, 3, 1))) <= 4);
}

void TestMjpeg::cameraPicturesOfEveryKindDecode()
{
    // 4:2:0 pictures, and 4:2:2 ones left without their Huffman tables, at
    // the channel's own size and reduced; the colours of every block come
    // through in the video range.
    struct SCase
    {
        AVPixelFormat eFormat;
        bool bStandardTables;
        int nWidth, nHeight;
    };
    const SCase aCases[] = {{AV_PIX_FMT_YUVJ420P, false, 640, 352},
                            {AV_PIX_FMT_YUVJ420P, false, 320, 176},
                            {AV_PIX_FMT_YUVJ422P, true, 640, 352},
                            {AV_PIX_FMT_YUVJ422P, true, 160, 88}};
    for (const SCase& c : aCases)
    {
        std::vector<uint8_t> abJpeg = EncodeBlocks(640, 352, 2, c.eFormat, c.bStandardTables);
        if (c.bStandardTables)
            abJpeg = WithoutHuffmanTables(abJpeg);
        int nLowres = -1;
        const std::vector<uint8_t> abFrame = DecodeTo(abJpeg, 640, 352, c.nWidth, c.nHeight, &nLowres);
        QVERIFY(!abFrame.empty());
        for (int nRow = 0; nRow < 4; ++nRow)
            for (int nColumn = 0; nColumn < 8; ++nColumn)
            {
                const SYuv pixel =
                    PixelAt(abFrame, c.nWidth, (nColumn * 2 + 1) * c.nWidth / 16, (nRow * 2 + 1) * c.nHeight / 8);
                const SYuv expected = BlockColour(nColumn, nRow, 2);
                QVERIFY2(qAbs(pixel.nY - VideoLuma(expected)) <= 4 && qAbs(pixel.nU - VideoChroma(expected.nU)) <= 4 &&
                             qAbs(pixel.nV - VideoChroma(expected.nV)) <= 4,
                         qPrintable(QStringLiteral("%1x%2 block %3,%4: %5 %6 %7")
                                        .arg(c.nWidth)
                                        .arg(c.nHeight)
                                        .arg(nColumn)
                                        .arg(nRow)
                                        .arg(pixel.nY)
                                        .arg(pixel.nU)
                                        .arg(pixel.nV)));
            }
    }

    // Damaged pictures fail alone: the same decoder takes the next one. A
    // picture cut off and continued by noise may come out as anything, but
    // must not harm the decoder.
    const std::vector<uint8_t> abGood = EncodeBlocks(320, 176, 3);
    std::vector<uint8_t> abDamaged(abGood.begin(), abGood.begin() + 200);
    std::vector<uint8_t> abNoise(4000);
    for (size_t i = 0; i < abNoise.size(); ++i)
        abNoise[i] = uint8_t(i * 131 + 7);
    abNoise[0] = 0xff;
    abNoise[1] = 0xd8;
    abDamaged.insert(abDamaged.end(), abNoise.begin(), abNoise.end());
    AVCodecParameters* pParams = MjpegParams(320, 176);
    CPacketDecoder decoder;
    QVERIFY(decoder.Open(pParams, 320, 176));
    avcodec_parameters_free(&pParams);
    std::vector<uint8_t> abFrame(320 * 2 * 176);
    AVPacket* pPacket = av_packet_alloc();
    // A header declaring 60000 x 60000 pixels.
    std::vector<uint8_t> abHuge = abGood;
    for (size_t i = 0; i + 9 < abHuge.size(); ++i)
        if (abHuge[i] == 0xff && abHuge[i + 1] == 0xc0)
        {
            abHuge[i + 5] = abHuge[i + 7] = 0xea;
            abHuge[i + 6] = abHuge[i + 8] = 0x60;
            break;
        }
    const std::vector<uint8_t>* apPictures[] = {&abDamaged, &abNoise, &abHuge, &abGood};
    for (const std::vector<uint8_t>* pPicture : apPictures)
    {
        QVERIFY(av_new_packet(pPacket, int(pPicture->size())) == 0);
        std::copy(pPicture->begin(), pPicture->end(), pPacket->data);
        decoder.Keep(pPacket);
        const bool bDecoded = decoder.DecodeKept(abFrame.data(), 320 * 2);
        if (pPicture != &abDamaged)
            QCOMPARE(bDecoded, pPicture == &abGood);
    }
    av_packet_free(&pPacket);
    QVERIFY(qAbs(PixelAt(abFrame, 320, 10, 10).nY - VideoLuma(BlockColour(0, 0, 3))) <= 3);
}

void TestMjpeg::supersededPicturesAreNotDecoded()
{
    std::vector<std::vector<uint8_t>> pictures;
    pictures.reserve(8);
    for (int i = 0; i < 8; ++i)
        pictures.push_back(EncodeBlocks(320, 176, i));
    SFedCapture fed(320, 176, 160, 88);
    QVERIFY(fed.pCapture->Start());
    auto fnColourOf = [](const std::shared_ptr<const SCapturedFrame>& pFrame) {
        return PixelAt(pFrame->abData, 160, 10, 10).nY;
    };

    // Nobody looks: five pictures arrive, none is decoded.
    QVERIFY(fed.Deliver({pictures[0], pictures[1], pictures[2], pictures[3], pictures[4]}));
    QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(0));
    QCOMPARE(fed.pFeed->GetLowres(), 1);

    // The first look gets nothing yet and asks: the newest one is decoded.
    std::shared_ptr<const SCapturedFrame> pFrame;
    QVERIFY(WaitFor([&] { return (pFrame = fed.pCapture->AcquireLatestFrame(160, 88, 0)) != nullptr; }));
    QCOMPARE(pFrame->nSeq, uint64_t(5));
    QVERIFY(qAbs(fnColourOf(pFrame) - VideoLuma(BlockColour(0, 0, 4))) <= 3);
    QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(1));

    // That look asked for the next picture too; the two after it replace
    // each other undecoded until the next look.
    QVERIFY(fed.Deliver({pictures[5], pictures[6], pictures[7]}));
    QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(2));
    pFrame = fed.pCapture->AcquireLatestFrame(160, 88, 5);
    QVERIFY(pFrame);
    QCOMPARE(pFrame->nSeq, uint64_t(6));
    QVERIFY(WaitFor([&] { return (pFrame = fed.pCapture->AcquireLatestFrame(160, 88, 6)) != nullptr; }));
    QCOMPARE(pFrame->nSeq, uint64_t(8));
    QVERIFY(qAbs(fnColourOf(pFrame) - VideoLuma(BlockColour(0, 0, 7))) <= 3);
    QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(3));
    QCOMPARE(fed.pCapture->GetLatestSeq(), uint64_t(8));
}

void TestMjpeg::previewDecodesAtItsOwnPace()
{
    // With no interval a preview is handed every picture, as it comes.
    const std::vector<uint8_t> abPicture = EncodeBlocks(320, 176, 0);
    {
        SFedCapture fed(320, 176, 320, 176);
        std::atomic<int> nCalls{0};
        fed.pCapture->SetCallbackInterval(std::chrono::microseconds(0));
        fed.pCapture->SetCallback(&CountFrame, &nCalls);
        QVERIFY(fed.pCapture->Start());
        QVERIFY(fed.Deliver({abPicture, abPicture, abPicture, abPicture}));
        QVERIFY(WaitFor([&] { return nCalls.load() == 4; }));
        QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(4));
        QCOMPARE(fed.pFeed->GetLowres(), 0);
        fed.pCapture->SetCallback(nullptr, nullptr);
    }

    // Within its interval a preview alone has nothing decoded; what a
    // reader asks for reaches it too.
    SFedCapture fed(320, 176, 320, 176);
    std::atomic<int> nCalls{0};
    fed.pCapture->SetCallbackInterval(std::chrono::hours(1));
    fed.pCapture->SetCallback(&CountFrame, &nCalls);
    QVERIFY(fed.pCapture->Start());
    QVERIFY(fed.Deliver({abPicture, abPicture, abPicture, abPicture, abPicture}));
    QCOMPARE(nCalls.load(), 1);
    QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(1));
    fed.pCapture->AcquireLatestFrame(320, 176, 1);
    QVERIFY(WaitFor([&] { return nCalls.load() == 2; }));
    QCOMPARE(fed.pCapture->AcquireLatestFrame(320, 176, 1)->nSeq, uint64_t(5));
    QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(2));
    fed.pCapture->SetCallback(nullptr, nullptr);
}

void TestMjpeg::mixerDecodesOnlyWhatItComposes()
{
    // Three pictures arrive between two output frames: the output shows
    // the newest, and only what it showed was decoded.
    std::vector<std::vector<uint8_t>> pictures;
    pictures.reserve(7);
    for (int i = 0; i < 7; ++i)
        pictures.push_back(EncodeBlocks(640, 352, i));
    SFedCapture fed(640, 352, 320, 176);
    QVERIFY(fed.pCapture->Start());
    g_pMixedCapture = fed.pCapture.get();
    CVideoMixer mixer(320, 176, 400000, &AcquireFromTestCapture);
    const KVS_HANDLE hChannel = mixer.AddChannel(320, 176, KVS_HANDLE(1));
    KVS_MIXER_CHANNEL placement{};
    placement.hChannel = hChannel;
    placement.rcSource = KVS_RECT{0, 0, 319, 175};
    placement.rcDest = KVS_RECT{0, 0, 319, 175};
    placement.nOpacity = 255;
    QCOMPARE(mixer.SetChannels(&placement, 1), 1);
    std::vector<uint8_t> abOutput(size_t(320) * 2 * 176 + 64);

    QVERIFY(fed.Deliver({pictures[0], pictures[1], pictures[2]}));
    mixer.ComposeInto(abOutput.data(), 320 * 2); // asks; shows black still
    // A decode is counted before its picture is published; the picture is
    // there once a frame newer than nAfterSeq can be had.
    auto published = [&](uint64_t nAfterSeq) {
        return fed.pCapture->AcquireLatestFrame(320, 176, nAfterSeq) != nullptr;
    };
    QVERIFY(WaitFor([&] { return fed.pFeed->GetDecodeCount() == 1 && published(0); }));
    mixer.ComposeInto(abOutput.data(), 320 * 2);
    QVERIFY(qAbs(PixelAt(abOutput, 320, 20, 20).nY - VideoLuma(BlockColour(0, 0, 2))) <= 4);

    // The compose asked again: the next picture is decoded on arrival, the
    // ones after it only at the next output frame.
    QVERIFY(fed.Deliver({pictures[3], pictures[4], pictures[5], pictures[6]}));
    QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(2));
    mixer.ComposeInto(abOutput.data(), 320 * 2);
    QVERIFY(qAbs(PixelAt(abOutput, 320, 20, 20).nY - VideoLuma(BlockColour(0, 0, 3))) <= 4);
    QVERIFY(WaitFor([&] { return fed.pFeed->GetDecodeCount() == 3 && published(4); }));
    mixer.ComposeInto(abOutput.data(), 320 * 2);
    QVERIFY(qAbs(PixelAt(abOutput, 320, 300, 160).nY - VideoLuma(BlockColour(7, 3, 6))) <= 4);
    QCOMPARE(fed.pFeed->GetDecodeCount(), uint64_t(3));
    QCOMPARE(fed.pCapture->GetLatestSeq(), uint64_t(7));
    mixer.DelChannel(hChannel);
    g_pMixedCapture = nullptr;
}

QTEST_GUILESS_MAIN(TestMjpeg)
#include "tst_mjpeg.moc"
