// Previews: pictures reduced by whole factors before they are converted,
// against the colours they should show at several window sizes, odd ones
// included; the reduction at the frame's last column and line; and no work
// for a window the user cannot see.
#include "TestTarget.h"
#include "media/KVRenderTarget.h"
#include "media/KVStream.h"
#include "media/image/YuyvDecimate.h"
#include "media/image/YuyvLayout.h"
#include "media/image/YuyvResample.h"

#include <QtTest>

#include <algorithm>
#include <vector>

using namespace KVMedia;

namespace
{
constexpr KVS_WINDOW WINDOW = 0x6001;

// Registered for its life as the one window the renderer draws into.
class CPreviewTarget : public CTestTarget
{
public:
    explicit CPreviewTarget(KVS_RECT rcClient)
        : CTestTarget(rcClient)
    {
        KVS_RegisterRenderTarget(WINDOW, this);
    }
    ~CPreviewTarget() override { KVS_UnregisterRenderTarget(WINDOW); }
    CPreviewTarget(const CPreviewTarget&) = delete;
    CPreviewTarget& operator=(const CPreviewTarget&) = delete;
};

struct SYuv
{
    uint8_t nY, nU, nV;
    QRgb rgb; // what it looks like, video range BT.601
};

// Saturated enough to tell apart, inside the video range.
const SYuv BANDS[] = {
    {82, 90, 240, qRgb(255, 0, 0)},       {145, 54, 34, qRgb(0, 255, 0)},    {41, 240, 110, qRgb(0, 0, 255)},
    {210, 16, 146, qRgb(255, 255, 0)},    {170, 166, 16, qRgb(0, 255, 255)}, {107, 202, 222, qRgb(255, 0, 255)},
    {235, 128, 128, qRgb(255, 255, 255)}, {16, 128, 128, qRgb(0, 0, 0)},
};
constexpr int COLUMNS = 4;
constexpr int ROWS = 2;

// COLUMNS x ROWS cells of the band colours, over exactly nWidth x nHeight
// pixels: no byte behind the last row, so that a read past it is caught by
// the address sanitizer.
std::vector<uint8_t> CellFrame(int nWidth, int nHeight)
{
    std::vector<uint8_t> abFrame(size_t(nWidth) * size_t(nHeight) * 2);
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; ++x)
        {
            const SYuv& band = BANDS[(y * ROWS / nHeight) * COLUMNS + x * COLUMNS / nWidth];
            uint8_t* p = abFrame.data() + (size_t(y) * size_t(nWidth) + size_t(x)) * 2;
            p[0] = band.nY;
            // A lone last pixel stores U only; its pair's V is on its left.
            p[1] = (x & 1) ? band.nV : band.nU;
        }
    return abFrame;
}

// Bytes that follow no pattern, the same for the same seed.
std::vector<uint8_t> NoiseFrame(size_t nSize, uint32_t nSeed)
{
    std::vector<uint8_t> abFrame(nSize);
    for (uint8_t& n : abFrame)
    {
        nSeed = nSeed * 1103515245u + 12345u;
        n = uint8_t(nSeed >> 16);
    }
    return abFrame;
}

bool Near(QRgb rgb1, QRgb rgb2, int nTolerance)
{
    return std::abs(qRed(rgb1) - qRed(rgb2)) <= nTolerance && std::abs(qGreen(rgb1) - qGreen(rgb2)) <= nTolerance &&
           std::abs(qBlue(rgb1) - qBlue(rgb2)) <= nTolerance;
}

QString Describe(QRgb rgb)
{
    return QStringLiteral("(%1, %2, %3)").arg(qRed(rgb)).arg(qGreen(rgb)).arg(qBlue(rgb));
}

// Draws the frame's source rectangle into a target of the given size and
// checks the middle of every cell of the presented picture.
void CheckCells(const std::vector<uint8_t>& abFrame, int nFrameWidth, int nFrameHeight, const KVS_RECT* pSource,
                int nTargetWidth, int nTargetHeight)
{
    CPreviewTarget target({0, 0, nTargetWidth, nTargetHeight});
    const KVS_HANDLE hRenderer =
        KVS_CreateVideoRenderer(nullptr, WINDOW, KVS_COLOR_YUYV, nFrameWidth, nFrameHeight, 0, 1);
    QVERIFY(hRenderer);
    KVS_SetVideoRendererPosition(hRenderer, pSource, nullptr);
    QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abFrame.data(), nFrameWidth * 2, 1));
    KVS_DestroyVideoRenderer(hRenderer);
    QCOMPARE(target.Presented(), 1);

    const QImage image = target.LastImage();
    const int nSrcWidth = pSource ? pSource->nRight - pSource->nLeft : nFrameWidth;
    const int nSrcHeight = pSource ? pSource->nBottom - pSource->nTop : nFrameHeight;
    // Fitted with the aspect ratio kept, never larger than the window.
    QVERIFY(image.width() <= nTargetWidth && image.height() <= nTargetHeight);
    QVERIFY(image.width() == nTargetWidth || image.height() == nTargetHeight);
    QVERIFY(std::abs(image.width() * nSrcHeight - image.height() * nSrcWidth) <= std::max(nSrcWidth, nSrcHeight));

    const int nLeft = pSource ? pSource->nLeft : 0;
    const int nTop = pSource ? pSource->nTop : 0;
    for (int nCell = 0; nCell < COLUMNS * ROWS; ++nCell)
    {
        // The cell's middle in frame coordinates, then in the picture.
        const int nFrameX = (2 * (nCell % COLUMNS) + 1) * nFrameWidth / (2 * COLUMNS);
        const int nFrameY = (2 * (nCell / COLUMNS) + 1) * nFrameHeight / (2 * ROWS);
        if (nFrameX < nLeft || nFrameX >= nLeft + nSrcWidth || nFrameY < nTop || nFrameY >= nTop + nSrcHeight)
            continue;
        const int x = (nFrameX - nLeft) * image.width() / nSrcWidth;
        const int y = (nFrameY - nTop) * image.height() / nSrcHeight;
        const QRgb rgb = image.pixel(x, y);
        QVERIFY2(Near(rgb, BANDS[nCell].rgb, 12), qPrintable(QStringLiteral("cell %1 at %2,%3 of %4x%5: %6, not %7")
                                                                 .arg(nCell)
                                                                 .arg(x)
                                                                 .arg(y)
                                                                 .arg(image.width())
                                                                 .arg(image.height())
                                                                 .arg(Describe(rgb), Describe(BANDS[nCell].rgb))));
    }
}
}

class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(KVS_Initialize()); }
    void cleanupTestCase() { KVS_Uninitialize(); }

    void factorKeepsAtLeastTheTargetSize()
    {
        QCOMPARE(DecimationFactor(1920, 480), 4);
        // 1920 / 3 = 640 is still at least 500; swscale takes 640 to 500.
        QCOMPARE(DecimationFactor(1920, 500), 3);
        QCOMPARE(DecimationFactor(1920, 961), 1);
        QCOMPARE(DecimationFactor(640, 1280), 1);
        QCOMPARE(DecimationFactor(641, 320), 2);
        QCOMPARE(DecimationFactor(0, 10), 1);
    }

    void previewShowsTheCellColours_data()
    {
        QTest::addColumn<int>("nFrameWidth");
        QTest::addColumn<int>("nFrameHeight");
        QTest::addColumn<int>("nTargetWidth");
        QTest::addColumn<int>("nTargetHeight");
        QTest::newRow("output preview") << 1920 << 1080 << 522 << 294;
        QTest::newRow("odd window") << 1920 << 1080 << 317 << 179;
        QTest::newRow("tiny window") << 1920 << 1080 << 33 << 19;
        QTest::newRow("just under half") << 1920 << 1080 << 959 << 539;
        QTest::newRow("larger than the frame") << 640 << 360 << 801 << 451;
        QTest::newRow("odd frame") << 641 << 361 << 211 << 119;
        QTest::newRow("stretched by the target shape") << 960 << 360 << 100 << 300;
        QTest::newRow("exactly half") << 1920 << 1080 << 960 << 540;
        QTest::newRow("exactly half, odd") << 1042 << 362 << 521 << 181;
        QTest::newRow("same size") << 640 << 360 << 640 << 360;
    }

    void previewShowsTheCellColours()
    {
        QFETCH(int, nFrameWidth);
        QFETCH(int, nFrameHeight);
        QFETCH(int, nTargetWidth);
        QFETCH(int, nTargetHeight);
        CheckCells(CellFrame(nFrameWidth, nFrameHeight), nFrameWidth, nFrameHeight, nullptr, nTargetWidth,
                   nTargetHeight);
    }

    void sourceReachingTheLastColumnAndLine()
    {
        // An odd-width rectangle (its odd left edge moves to the pair's
        // start) that ends at the frame's last column and line, reduced by
        // three and by two.
        const int nWidth = 645;
        const int nHeight = 363;
        const std::vector<uint8_t> abFrame = CellFrame(nWidth, nHeight);
        const KVS_RECT rcSource{201, 1, nWidth, nHeight};
        CheckCells(abFrame, nWidth, nHeight, &rcSource, 147, 121);
        CheckCells(abFrame, nWidth, nHeight, &rcSource, 221, 181);
    }

    void decimationAtTheFrameEdges()
    {
        // Seven pixels wide: the last one has no partner and borrows its V.
        // Every pixel's luma is its column, chroma marks the pair.
        const int nWidth = 7;
        const int nHeight = 3;
        std::vector<uint8_t> abFrame(size_t(nWidth) * nHeight * 2);
        for (int y = 0; y < nHeight; ++y)
            for (int x = 0; x < nWidth; ++x)
            {
                uint8_t* p = abFrame.data() + (size_t(y) * nWidth + size_t(x)) * 2;
                p[0] = uint8_t(100 + 10 * x + y);
                p[1] = uint8_t((x & 1) ? 200 + x / 2 : 50 + x / 2);
            }

        // Whole factor 1: a copy completed into whole pairs.
        std::vector<uint8_t> abOut(size_t(PairedRowBytes(nWidth)) * nHeight, 0xEE);
        DecimateYuyv(abFrame.data(), nWidth * 2, nWidth, nHeight, 1, 1, abOut.data(), PairedRowBytes(nWidth));
        const uint8_t* pLastRow = abOut.data() + size_t(PairedRowBytes(nWidth)) * 2;
        QCOMPARE(int(pLastRow[12]), 100 + 60 + 2);
        QCOMPARE(int(pLastRow[13]), 53);
        // The lone pixel stands in for its missing partner, with the V of
        // the pair on its left.
        QCOMPARE(int(pLastRow[14]), 100 + 60 + 2);
        QCOMPARE(int(pLastRow[15]), 202);

        // Factor 3 across, 1 down: two pixels, the second of columns 3 to 5
        // with taps at 3 and 5; the seventh column lies beyond the last
        // whole block and is left out.
        std::vector<uint8_t> abSmall(size_t(PairedRowBytes(2)) * nHeight, 0xEE);
        DecimateYuyv(abFrame.data(), nWidth * 2, nWidth, nHeight, 3, 1, abSmall.data(), PairedRowBytes(2));
        QCOMPARE(int(abSmall[0]), 100 + 10);          // taps 0 and 2: columns 0 and 2
        QCOMPARE(int(abSmall[2]), 100 + 40);          // taps 3 and 5
        QCOMPARE(int(abSmall[1]), (50 + 52 + 1) / 2); // U of pairs 0 and 2

        // Factor 2 down on three lines: one line, from lines 0 and 1, the
        // half rounded up.
        std::vector<uint8_t> abHalf(size_t(PairedRowBytes(nWidth)), 0xEE);
        DecimateYuyv(abFrame.data(), nWidth * 2, nWidth, nHeight, 1, 2, abHalf.data(), PairedRowBytes(nWidth));
        QCOMPARE(int(abHalf[0]), 101);
    }

    // Reduced eight pixels at a time, a frame must come out as the pixel-
    // by-pixel reduction makes it: odd widths whose last pixel is its own
    // partner, the last group overlapping the one before, factors too wide
    // for a group, and one decimator taking turns between sizes.
    void groupedDecimationMatchesThePlainOne()
    {
        struct SCase
        {
            int nWidth, nHeight, nFactorX, nFactorY;
        };
        const SCase aCases[] = {{640, 540, 3, 5}, {641, 37, 3, 2}, {99, 20, 1, 3},
                                {70, 9, 2, 1},    {257, 15, 5, 4}, {640, 540, 3, 5}};
        CYuyvDecimator decimator;
        for (const SCase& c : aCases)
        {
            const std::vector<uint8_t> abFrame =
                NoiseFrame(size_t(c.nWidth) * c.nHeight * 2, uint32_t(c.nWidth * 31 + c.nFactorX));
            const int nStride = PairedRowBytes(c.nWidth / c.nFactorX) + 4;
            const size_t nSize = size_t(nStride) * size_t(c.nHeight / c.nFactorY);
            std::vector<uint8_t> abPlain(nSize, 0xEE);
            std::vector<uint8_t> abGrouped(nSize, 0xEE);
            DecimateYuyv(abFrame.data(), c.nWidth * 2, c.nWidth, c.nHeight, c.nFactorX, c.nFactorY, abPlain.data(),
                         nStride);
            decimator.Decimate(abFrame.data(), c.nWidth * 2, c.nWidth, c.nHeight, c.nFactorX, c.nFactorY,
                               abGrouped.data(), nStride);
            const auto itDiffer = std::mismatch(abPlain.begin(), abPlain.end(), abGrouped.begin()).first;
            QVERIFY2(itDiffer == abPlain.end(), qPrintable(QStringLiteral("%1x%2 by %3x%4: byte %5")
                                                               .arg(c.nWidth)
                                                               .arg(c.nHeight)
                                                               .arg(c.nFactorX)
                                                               .arg(c.nFactorY)
                                                               .arg(itDiffer - abPlain.begin())));
        }
    }

    // Half the size each way takes a path of its own, four pixels at a
    // time: every output sample must still be its two-by-two box, also in
    // the pixels left over after the last group of eight and at an odd
    // width, where the last chroma sample has one pair only.
    void halvingIsTheTwoByTwoBox()
    {
        const int nDstWidth = 21;
        const int nDstHeight = 5;
        const int nSrcWidth = 2 * nDstWidth;
        const int nSrcHeight = 2 * nDstHeight;
        const std::vector<uint8_t> abFrame = NoiseFrame(size_t(nSrcWidth) * nSrcHeight * 2, 12345);
        const int nChromaWidth = (nDstWidth + 1) / 2;
        const int nChromaHeight = (nDstHeight + 1) / 2;
        const int anStrides[3] = {32, 16, 16};
        std::vector<uint8_t> abPlanes(size_t(anStrides[0]) * nDstHeight + 2 * size_t(anStrides[1]) * nChromaHeight);
        uint8_t* const apPlanes[3] = {abPlanes.data(), abPlanes.data() + anStrides[0] * nDstHeight,
                                      abPlanes.data() + anStrides[0] * nDstHeight + anStrides[1] * nChromaHeight};
        QVERIFY(ResampleYuyvTo420p(abFrame.data(), nSrcWidth * 2, nSrcWidth, nSrcHeight, apPlanes, anStrides, nDstWidth,
                                   nDstHeight));

        auto at = [&abFrame](int x, int y, int nByte) {
            return int(abFrame[(size_t(y) * nSrcWidth + size_t(x & ~1)) * 2 + size_t(nByte)]);
        };
        for (int y = 0; y < nDstHeight; ++y)
            for (int x = 0; x < nDstWidth; ++x)
            {
                const int nSum =
                    at(2 * x, 2 * y, 0) + at(2 * x, 2 * y, 2) + at(2 * x, 2 * y + 1, 0) + at(2 * x, 2 * y + 1, 2);
                QCOMPARE(int(apPlanes[0][y * anStrides[0] + x]), (nSum + 2) >> 2);
            }
        // A chroma sample: the pairs of its two output pixels, on the second
        // line of each of its two line pairs.
        for (int y = 0; y < nChromaHeight; ++y)
            for (int x = 0; x < nChromaWidth; ++x)
            {
                const int xA = 4 * x;
                const int xB = std::min(4 * x + 2, nSrcWidth - 2);
                const int yA = std::min(4 * y + 1, nSrcHeight - 1);
                const int yB = std::min(4 * y + 3, nSrcHeight - 1);
                for (int nPlane = 1; nPlane <= 2; ++nPlane)
                {
                    const int nByte = nPlane == 1 ? 1 : 3;
                    const int nSum = at(xA, yA, nByte) + at(xB, yA, nByte) + at(xA, yB, nByte) + at(xB, yB, nByte);
                    QCOMPARE(int(apPlanes[nPlane][y * anStrides[nPlane] + x]), (nSum + 2) >> 2);
                }
            }
    }

    // Any other reduction: each sample averages two taps a quarter and three
    // quarters into its span, on the two lines likewise placed (chroma on the
    // outer lines of its two output lines). Where the processor can, eight
    // samples are gathered at a time, so the sizes cover both loads' reaches
    // (little and nearly four times smaller), a last group that overlaps the
    // one before it, an odd source width whose last V is borrowed, rows too
    // narrow for whole groups, and one resampler taking a new size.
    void resamplingReadsItsTaps()
    {
        struct SCase
        {
            int nSrcWidth, nSrcHeight, nDstWidth, nDstHeight;
        };
        const SCase aCases[] = {{1920, 1080, 631, 355}, {174, 98, 173, 95}, {175, 99, 61, 33},
                                {1001, 31, 257, 9},     {40, 12, 11, 5},    {31, 9, 7, 3}};
        auto tap = [](int n, int nUnit, int nCount, int nSource, int nQuarter) {
            return std::min<int64_t>(nSource - 1,
                                     (4 * int64_t(n) * nUnit + nQuarter * nUnit) * nSource / (4 * int64_t(nCount)));
        };
        CYuyvResampler resampler;
        for (const SCase& c : aCases)
        {
            const std::vector<uint8_t> abFrame =
                NoiseFrame(size_t(c.nSrcWidth) * c.nSrcHeight * 2, uint32_t(c.nSrcWidth * 7919 + c.nDstWidth));
            const int nChromaWidth = (c.nDstWidth + 1) / 2;
            const int nChromaHeight = (c.nDstHeight + 1) / 2;
            const int anStrides[3] = {c.nDstWidth + 3, nChromaWidth + 5, nChromaWidth + 1};
            const size_t nLuma = size_t(anStrides[0]) * c.nDstHeight;
            const size_t nChroma = size_t(anStrides[1]) * nChromaHeight;
            std::vector<uint8_t> abPlanes(nLuma + nChroma + size_t(anStrides[2]) * nChromaHeight);
            uint8_t* const apPlanes[3] = {abPlanes.data(), abPlanes.data() + nLuma, abPlanes.data() + nLuma + nChroma};
            QVERIFY(resampler.Resample(abFrame.data(), c.nSrcWidth * 2, c.nSrcWidth, c.nSrcHeight, apPlanes, anStrides,
                                       c.nDstWidth, c.nDstHeight));

            auto row = [&](int64_t y) { return abFrame.data() + size_t(y) * size_t(c.nSrcWidth) * 2; };
            const QString strCase =
                QStringLiteral("%1x%2 to %3x%4").arg(c.nSrcWidth).arg(c.nSrcHeight).arg(c.nDstWidth).arg(c.nDstHeight);
            for (int y = 0; y < c.nDstHeight; ++y)
                for (int x = 0; x < c.nDstWidth; ++x)
                {
                    const uint8_t* pA = row(tap(y, 1, c.nDstHeight, c.nSrcHeight, 1));
                    const uint8_t* pB = row(tap(y, 1, c.nDstHeight, c.nSrcHeight, 3));
                    const int64_t x1 = tap(x, 1, c.nDstWidth, c.nSrcWidth, 1);
                    const int64_t x2 = tap(x, 1, c.nDstWidth, c.nSrcWidth, 3);
                    const int nSum = pA[2 * x1] + pA[2 * x2] + pB[2 * x1] + pB[2 * x2];
                    QVERIFY2(apPlanes[0][y * anStrides[0] + x] == (nSum + 2) >> 2,
                             qPrintable(strCase + QStringLiteral(": luma %1,%2").arg(x).arg(y)));
                }
            for (int y = 0; y < nChromaHeight; ++y)
                for (int x = 0; x < nChromaWidth; ++x)
                {
                    const uint8_t* pA = row(tap(2 * y, 1, c.nDstHeight, c.nSrcHeight, 1));
                    const uint8_t* pB =
                        row(tap(std::min(2 * y + 1, c.nDstHeight - 1), 1, c.nDstHeight, c.nSrcHeight, 3));
                    const int x1 = int(tap(x, 2, c.nDstWidth, c.nSrcWidth, 1));
                    const int x2 = int(tap(x, 2, c.nDstWidth, c.nSrcWidth, 3));
                    const int nU = YuyvU(pA, x1) + YuyvU(pA, x2) + YuyvU(pB, x1) + YuyvU(pB, x2);
                    const int nV = YuyvV(pA, c.nSrcWidth, x1) + YuyvV(pA, c.nSrcWidth, x2) +
                                   YuyvV(pB, c.nSrcWidth, x1) + YuyvV(pB, c.nSrcWidth, x2);
                    QVERIFY2(apPlanes[1][y * anStrides[1] + x] == (nU + 2) >> 2,
                             qPrintable(strCase + QStringLiteral(": U %1,%2").arg(x).arg(y)));
                    QVERIFY2(apPlanes[2][y * anStrides[2] + x] == (nV + 2) >> 2,
                             qPrintable(strCase + QStringLiteral(": V %1,%2").arg(x).arg(y)));
                }
        }
    }

    void hiddenTargetCostsNoConversion()
    {
        const std::vector<uint8_t> abFrame = CellFrame(1920, 1080);
        CPreviewTarget target({0, 0, 320, 180});
        const KVS_HANDLE hRenderer = KVS_CreateVideoRenderer(nullptr, WINDOW, KVS_COLOR_YUYV, 1920, 1080, 0, 1);
        QVERIFY(hRenderer);
        target.SetShown(false);
        // Not a failure: the frame simply has nowhere to be seen.
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abFrame.data(), 1920 * 2, 1));
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abFrame.data(), 1920 * 2, 1));
        QCOMPARE(target.Presented(), 0);
        QVERIFY(target.LastImage().isNull());

        target.SetShown(true);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abFrame.data(), 1920 * 2, 1));
        QCOMPARE(target.Presented(), 1);
        QCOMPARE(target.LastImage().size(), QSize(320, 180));
        KVS_DestroyVideoRenderer(hRenderer);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
