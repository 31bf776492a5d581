// The compositor on caller-owned buffers: where channels and overlays land,
// opacity, insets, odd positions and clipping at the frame border.
#include "media/mixer/CFrameComposer.h"
#include "media/mixer/COverlay.h"
#include "YuyvTestUtil.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <climits>

namespace
{
CFrameComposer::ChannelDraw Draw(const YuyvFrame& frame, KVS_RECT rcSource, KVS_RECT rcDest, int nOpacity = 255,
                                 bool bInset = false)
{
    CFrameComposer::ChannelDraw draw;
    draw.pFrame = frame.abData.data();
    draw.nStride = frame.Stride();
    draw.nWidth = frame.nWidth;
    draw.nHeight = frame.nHeight;
    draw.rcSource = rcSource;
    draw.rcDest = rcDest;
    draw.nOpacity = nOpacity;
    draw.bInset = bInset;
    return draw;
}

// A whole frame placed with its top-left corner at (x, y).
CFrameComposer::ChannelDraw DrawAt(const YuyvFrame& frame, int x, int y, int nOpacity = 255, bool bInset = false)
{
    return Draw(frame, {0, 0, frame.nWidth - 1, frame.nHeight - 1}, {x, y, x + frame.nWidth - 1, y + frame.nHeight - 1},
                nOpacity, bInset);
}

// Distinct luma per pixel so that any shift shows.
YuyvFrame Pattern(int w, int h, int u, int v)
{
    YuyvFrame frame(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            frame.SetPixel(x, y, 20 + (x * 7 + y * 13) % 200, u, v);
    return frame;
}

int Div255(int x)
{
    return (x + 127) / 255;
}

// Straightforward model of channel composition, one pixel at a time: each
// covered pixel blends its luma with the channel's opacity; the chroma of a
// pair blends the average chroma of its covered pixels with the average of
// the two pixels' alphas. Rounding is allowed to differ by one step.
YuyvFrame Reference(int w, int h, std::vector<CFrameComposer::ChannelDraw> draws)
{
    YuyvFrame out(w, h);
    std::stable_sort(draws.begin(), draws.end(),
                     [](const CFrameComposer::ChannelDraw& a, const CFrameComposer::ChannelDraw& b) {
                         return !a.bInset && b.bInset;
                     });
    for (const CFrameComposer::ChannelDraw& d : draws)
    {
        const long cw =
            std::min(long(d.rcSource.nRight) - d.rcSource.nLeft, long(d.rcDest.nRight) - d.rcDest.nLeft) + 1;
        const long ch =
            std::min(long(d.rcSource.nBottom) - d.rcSource.nTop, long(d.rcDest.nBottom) - d.rcDest.nTop) + 1;
        const long dx = long(d.rcDest.nLeft) - d.rcSource.nLeft;
        const long dy = long(d.rcDest.nTop) - d.rcSource.nTop;
        for (int y = 0; y < h; ++y)
        {
            const long sy = y - dy;
            if (sy < d.rcSource.nTop || sy >= d.rcSource.nTop + ch || sy < 0 || sy >= d.nHeight)
                continue;
            const uint8_t* pS = d.pFrame + sy * d.nStride;
            for (int px = 0; px < w; px += 2)
            {
                // The unpaired last pixel of an odd width is a pair of one.
                const int nPixels = px + 1 < w ? 2 : 1;
                int anAlpha[2] = {0, 0}, anY[2] = {0, 0}, nU = 0, nV = 0, nCount = 0;
                for (int k = 0; k < nPixels; ++k)
                {
                    const long sx = px + k - dx;
                    if (sx < d.rcSource.nLeft || sx >= d.rcSource.nLeft + cw || sx < 0 || sx >= d.nWidth)
                        continue;
                    anAlpha[k] = d.nOpacity;
                    anY[k] = pS[2 * sx];
                    nU += YuyvUAt(pS, int(sx));
                    nV += YuyvVAt(pS, d.nWidth, int(sx));
                    ++nCount;
                }
                if (nCount == 0)
                    continue;
                uint8_t* pPair = out.Row(y) + 2 * px;
                for (int k = 0; k < nPixels; ++k)
                    pPair[2 * k] = uint8_t(Div255(anY[k] * anAlpha[k] + pPair[2 * k] * (255 - anAlpha[k])));
                const int nAlphaC = nPixels == 1 ? anAlpha[0] : (anAlpha[0] + anAlpha[1] + 1) / 2;
                nU = (nU + nCount / 2) / nCount;
                nV = (nV + nCount / 2) / nCount;
                pPair[1] = uint8_t(Div255(nU * nAlphaC + pPair[1] * (255 - nAlphaC)));
                if (nPixels == 2)
                    pPair[3] = uint8_t(Div255(nV * nAlphaC + pPair[3] * (255 - nAlphaC)));
            }
        }
    }
    return out;
}

// Largest difference between two frames of one size.
int MaxDiff(const YuyvFrame& a, const YuyvFrame& b)
{
    int nMax = 0;
    for (size_t i = 0; i < a.abData.size(); ++i)
        nMax = std::max(nMax, std::abs(int(a.abData[i]) - int(b.abData[i])));
    return nMax;
}
}

class TestMixerCompose : public QObject
{
    Q_OBJECT

private slots:
    void channelLandsExactlyInItsRectangle_data();
    void channelLandsExactlyInItsRectangle();
    void opacity();
    void insetDrawnOverEarlierAndLaterChannels();
    void sizesMismatchClipToTheSmaller();
    void randomScenesMatchThePixelModel();
    void placementsOutsideTheFrameWriteNothingOutside();
    void oddWidthsAtOddPositionsWithABlend();
    void overlayAlphaAtEvenAndOddX();
    void overlayRunsClippedAtEveryEdge();
};

void TestMixerCompose::channelLandsExactlyInItsRectangle_data()
{
    QTest::addColumn<int>("nX");
    QTest::addColumn<int>("nSourceLeft");
    QTest::newRow("even x") << 10 << 0;
    QTest::newRow("odd x, odd shift") << 11 << 0;
    QTest::newRow("odd x, pairs aligned") << 11 << 1;
    QTest::newRow("even x, odd source start") << 10 << 1;
}

void TestMixerCompose::channelLandsExactlyInItsRectangle()
{
    QFETCH(int, nX);
    QFETCH(int, nSourceLeft);
    const YuyvFrame source = Pattern(16, 8, 90, 160);
    const int nWidth = 16 - nSourceLeft;
    const KVS_RECT rcDest = {nX, 6, nX + nWidth - 1, 13};
    GuardedFrame out(64, 48);
    CFrameComposer composer;
    composer.Compose(out.Frame(), out.Stride(), 64, 48, {Draw(source, {nSourceLeft, 0, 15, 7}, rcDest)}, {});

    QVERIFY(out.CanariesIntact());
    for (int y = 0; y < 48; ++y)
    {
        for (int x = 0; x < 64; ++x)
        {
            const bool bInside = x >= rcDest.nLeft && x <= rcDest.nRight && y >= rcDest.nTop && y <= rcDest.nBottom;
            const int nExpected = bInside ? source.Y(x - nX + nSourceLeft, y - 6) : 16;
            if (out.Y(x, y) != nExpected)
                QFAIL(qPrintable(
                    QStringLiteral("Y at %1,%2 is %3, expected %4").arg(x).arg(y).arg(out.Y(x, y)).arg(nExpected)));
            // A pair half inside shares its chroma with the background.
            const int nPairInside = (x / 2 * 2 >= rcDest.nLeft && x / 2 * 2 <= rcDest.nRight) +
                                    (x / 2 * 2 + 1 >= rcDest.nLeft && x / 2 * 2 + 1 <= rcDest.nRight);
            const bool bRowInside = y >= rcDest.nTop && y <= rcDest.nBottom;
            const int nU = !bRowInside || nPairInside == 0 ? 128 : nPairInside == 2 ? 90 : 109;
            const int nV = !bRowInside || nPairInside == 0 ? 128 : nPairInside == 2 ? 160 : 144;
            QVERIFY2(
                std::abs(out.U(x, y) - nU) <= 1 && std::abs(out.V(x, y) - nV) <= 1,
                qPrintable(QStringLiteral("chroma at %1,%2: %3/%4").arg(x).arg(y).arg(out.U(x, y)).arg(out.V(x, y))));
        }
    }
}

void TestMixerCompose::opacity()
{
    const YuyvFrame source(8, 4, 200, 60, 220);
    CFrameComposer composer;
    struct Case
    {
        int nOpacity, nY, nU;
    } const cases[] = {{0, 16, 128}, {128, 108, 94}, {255, 200, 60}};
    for (const Case& c : cases)
    {
        GuardedFrame out(16, 8);
        composer.Compose(out.Frame(), out.Stride(), 16, 8, {DrawAt(source, 4, 2, c.nOpacity)}, {});
        QVERIFY(out.CanariesIntact());
        QVERIFY2(std::abs(out.Y(5, 3) - c.nY) <= 1, qPrintable(QString::number(out.Y(5, 3))));
        QVERIFY2(std::abs(out.U(5, 3) - c.nU) <= 1, qPrintable(QString::number(out.U(5, 3))));
        QCOMPARE(out.Y(3, 3), 16); // next to the rectangle: background
        QCOMPARE(out.Y(12, 3), 16);
    }
}

void TestMixerCompose::insetDrawnOverEarlierAndLaterChannels()
{
    const YuyvFrame full(32, 16, 50, 128, 128);
    const YuyvFrame inset(8, 4, 200, 128, 128);
    const YuyvFrame later(32, 16, 90, 128, 128);
    CFrameComposer composer;
    GuardedFrame out(32, 16);
    // The inset comes first in the list and is still drawn over both
    // full-size channels; of those, the later one wins.
    composer.Compose(out.Frame(), out.Stride(), 32, 16,
                     {DrawAt(inset, 20, 2, 255, true), DrawAt(full, 0, 0), DrawAt(later, 0, 0)}, {});
    QCOMPARE(out.Y(20, 2), 200);
    QCOMPARE(out.Y(27, 5), 200);
    QCOMPARE(out.Y(19, 2), 90);
    QCOMPARE(out.Y(28, 5), 90);
    QCOMPARE(out.Y(0, 0), 90);
    QVERIFY(out.CanariesIntact());
}

void TestMixerCompose::sizesMismatchClipToTheSmaller()
{
    const YuyvFrame source = Pattern(16, 8, 128, 128);
    CFrameComposer composer;
    {
        // Destination smaller than the source: only its size is drawn.
        GuardedFrame out(32, 16);
        composer.Compose(out.Frame(), out.Stride(), 32, 16, {Draw(source, {0, 0, 15, 7}, {2, 2, 9, 5})}, {});
        QCOMPARE(out.Y(9, 5), source.Y(7, 3));
        QCOMPARE(out.Y(10, 5), 16);
        QCOMPARE(out.Y(9, 6), 16);
    }
    {
        // Source rectangle reaching past the frame it comes from: only the
        // part of the frame is drawn, the rest of the destination stays.
        GuardedFrame out(32, 16);
        composer.Compose(out.Frame(), out.Stride(), 32, 16, {Draw(source, {-2, -1, 19, 9}, {0, 0, 21, 10})}, {});
        QCOMPARE(out.Y(2, 1), source.Y(0, 0));
        QCOMPARE(out.Y(17, 8), source.Y(15, 7));
        QCOMPARE(out.Y(1, 1), 16);
        QCOMPARE(out.Y(18, 8), 16);
        QCOMPARE(out.Y(2, 0), 16);
        QCOMPARE(out.Y(2, 9), 16);
        QVERIFY(out.CanariesIntact());
    }
    {
        // An empty or reversed rectangle draws nothing.
        GuardedFrame out(32, 16);
        composer.Compose(out.Frame(), out.Stride(), 32, 16, {Draw(source, {5, 0, 4, 7}, {0, 0, 15, 7})}, {});
        QCOMPARE(out.ToFrame().abData, YuyvFrame(32, 16).abData);
    }
}

void TestMixerCompose::randomScenesMatchThePixelModel()
{
    QRandomGenerator random(20240501);
    CFrameComposer composer;
    const int anOpacity[] = {0, 1, 77, 128, 254, 255, 255, 255};
    for (int nScene = 0; nScene < 400; ++nScene)
    {
        // Odd widths of the output and of the channels' frames too.
        const int w = random.bounded(2) ? 64 : 63, h = 40;
        std::vector<YuyvFrame> frames;
        std::vector<CFrameComposer::ChannelDraw> draws;
        const int nChannels = random.bounded(1, 7);
        frames.reserve(size_t(nChannels));
        for (int i = 0; i < nChannels; ++i)
        {
            YuyvFrame frame(random.bounded(1, 80), random.bounded(1, 50));
            for (uint8_t& b : frame.abData)
                b = uint8_t(random.bounded(256));
            frames.push_back(std::move(frame));
            auto coord = [&random] { return random.bounded(-40, 100); };
            KVS_RECT rcSource = {random.bounded(-8, 20), random.bounded(-8, 20), 0, 0};
            rcSource.nRight = rcSource.nLeft + random.bounded(-2, 90);
            rcSource.nBottom = rcSource.nTop + random.bounded(-2, 60);
            KVS_RECT rcDest = {coord(), coord(), 0, 0};
            rcDest.nRight = rcDest.nLeft + random.bounded(-2, 90);
            rcDest.nBottom = rcDest.nTop + random.bounded(-2, 60);
            draws.push_back(
                Draw(frames.back(), rcSource, rcDest, anOpacity[random.bounded(8)], random.bounded(4) == 0));
        }
        GuardedFrame out(w, h);
        composer.Compose(out.Frame(), out.Stride(), w, h, draws, {});
        QVERIFY2(out.CanariesIntact(), qPrintable(QStringLiteral("scene %1").arg(nScene)));
        const int nDiff = MaxDiff(out.ToFrame(), Reference(w, h, draws));
        QVERIFY2(nDiff <= 1, qPrintable(QStringLiteral("scene %1 differs by %2").arg(nScene).arg(nDiff)));
    }
}

void TestMixerCompose::placementsOutsideTheFrameWriteNothingOutside()
{
    const YuyvFrame source = Pattern(20, 10, 70, 180);
    QImage image(21, 9, QImage::Format_ARGB32);
    image.fill(QColor(255, 255, 0, 200));
    const std::shared_ptr<const COverlay> pOverlay = COverlay::FromImage(image);
    const QPoint positions[] = {{-8, -4},     {-7, -3},         {28, 14},         {29, 15},     {-100, -100},
                                {1000, 1000}, {-21, 0},         {0, -9},          {31, 0},      {0, 15},
                                {-5, 10},     {INT_MAX - 5, 0}, {INT_MIN + 3, 2}, {3, INT_MIN}, {2, INT_MAX}};
    CFrameComposer composer;
    for (const QPoint& pt : positions)
    {
        GuardedFrame out(32, 16);
        // Near the int limits the rectangle is cut at INT_MAX rather than
        // overflowing here.
        const KVS_RECT rcDest = {pt.x(), pt.y(), int(std::min<long>(long(pt.x()) + 19, INT_MAX)),
                                 int(std::min<long>(long(pt.y()) + 9, INT_MAX))};
        const CFrameComposer::ChannelDraw draw = Draw(source, {0, 0, 19, 9}, rcDest);
        composer.Compose(out.Frame(), out.Stride(), 32, 16, {draw}, {{pOverlay.get(), pt.x(), pt.y()}});
        QVERIFY2(out.CanariesIntact(), qPrintable(QStringLiteral("at %1,%2").arg(pt.x()).arg(pt.y())));
        // Outside both the channel and the overlay the frame stays black.
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x)
            {
                const bool bCovered = long(x) >= long(pt.x()) - 1 && long(x) <= long(pt.x()) + 21 &&
                                      long(y) >= pt.y() && long(y) <= long(pt.y()) + 9;
                if (!bCovered)
                    QVERIFY2(out.Y(x, y) == 16,
                             qPrintable(QStringLiteral("%1,%2 at %3,%4").arg(x).arg(y).arg(pt.x()).arg(pt.y())));
            }
    }
}

void TestMixerCompose::oddWidthsAtOddPositionsWithABlend()
{
    // An output of odd width, channels of odd width at odd and even x, one
    // blended and one reaching the output's unpaired last pixel, and an
    // overlay over that pixel too.
    const int w = 45, h = 12;
    const YuyvFrame under = Pattern(w, h, 100, 150);
    const YuyvFrame blended = Pattern(15, 6, 60, 200);
    const YuyvFrame edge = Pattern(7, 5, 180, 40);
    const std::vector<CFrameComposer::ChannelDraw> draws = {DrawAt(under, 0, 0), DrawAt(blended, 29, 3, 128),
                                                            DrawAt(edge, 38, 1, 255, true)};
    GuardedFrame out(w, h);
    CFrameComposer composer;
    composer.Compose(out.Frame(), out.Stride(), w, h, draws, {});
    QVERIFY(out.CanariesIntact());
    QVERIFY(MaxDiff(out.ToFrame(), Reference(w, h, draws)) <= 1);
    // Inside the blend, half of each; the unpaired last pixel is the edge
    // channel's own last pixel, Y and U.
    QVERIFY(std::abs(out.Y(30, 4) - (under.Y(30, 4) + blended.Y(1, 1) + 1) / 2) <= 1);
    QVERIFY(std::abs(out.U(30, 4) - 80) <= 1 && std::abs(out.V(30, 4) - 175) <= 1);
    QCOMPARE(out.Y(44, 2), edge.Y(6, 1));
    QCOMPARE(out.U(44, 2), 180);
    QCOMPARE(out.Y(44, 0), under.Y(44, 0));

    // The unpaired last pixel under a half-transparent overlay: blended
    // like every other pixel.
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(255, 255, 255, 128));
    const std::shared_ptr<const COverlay> pOverlay = COverlay::FromImage(image);
    for (int nX : {42, 43})
    {
        GuardedFrame over(w, h);
        composer.Compose(over.Frame(), over.Stride(), w, h, {DrawAt(under, 0, 0)}, {{pOverlay.get(), nX, 8}});
        QVERIFY(over.CanariesIntact());
        QVERIFY2(std::abs(over.Y(44, 8) - (235 + under.Y(44, 8) + 1) / 2) <= 2, qPrintable(QString::number(nX)));
        QCOMPARE(over.Y(44, 7), under.Y(44, 7));
    }
}

void TestMixerCompose::overlayAlphaAtEvenAndOddX()
{
    // Row 0: red, red, transparent, transparent, white; row 1: white at
    // half alpha. Odd width on purpose.
    QImage image(5, 2, QImage::Format_ARGB32);
    const QRgb red = qRgba(255, 0, 0, 255), clear = qRgba(0, 0, 0, 0), white = qRgba(255, 255, 255, 255);
    const QRgb row0[5] = {red, red, clear, clear, white};
    for (int x = 0; x < 5; ++x)
    {
        image.setPixel(x, 0, row0[x]);
        image.setPixel(x, 1, qRgba(255, 255, 255, 128));
    }
    const std::shared_ptr<const COverlay> pOverlay = COverlay::FromImage(image);
    QCOMPARE(pOverlay->GetWidth(), 5);
    const YuyvFrame background(32, 8, 100, 60, 200);
    // Red in limited-range BT.601: Y 82, U 90, V 240; white: 235, 128, 128.
    const int RY = 82, RU = 90, RV = 240, WY = 235;
    CFrameComposer composer;
    auto near = [](int a, int b) { return std::abs(a - b) <= 2; };

    GuardedFrame even(32, 8);
    composer.Compose(even.Frame(), even.Stride(), 32, 8, {DrawAt(background, 0, 0)}, {{pOverlay.get(), 10, 3}});
    QVERIFY(near(even.Y(10, 3), RY) && near(even.Y(11, 3), RY));
    QVERIFY(near(even.U(10, 3), RU) && near(even.V(10, 3), RV)); // both pixels red: red chroma
    QCOMPARE(even.Y(12, 3), 100);                                // transparent pair untouched
    QCOMPARE(even.U(12, 3), 60);
    QCOMPARE(even.V(12, 3), 200);
    QVERIFY(near(even.Y(14, 3), WY));
    QCOMPARE(even.Y(15, 3), 100);                                 // the padding pixel of the odd width
    QVERIFY(near(even.U(14, 3), 94) && near(even.V(14, 3), 164)); // half white, half background
    QVERIFY(near(even.Y(12, 4), 168) && near(even.U(12, 4), 94)); // half alpha
    QCOMPARE(even.Y(9, 3), 100);
    QCOMPARE(even.Y(10, 2), 100);
    QCOMPARE(even.Y(10, 5), 100);

    GuardedFrame odd(32, 8);
    composer.Compose(odd.Frame(), odd.Stride(), 32, 8, {DrawAt(background, 0, 0)}, {{pOverlay.get(), 11, 3}});
    QCOMPARE(odd.Y(10, 3), 100);
    QVERIFY(near(odd.Y(11, 3), RY) && near(odd.Y(12, 3), RY));
    QVERIFY(near(odd.U(10, 3), 75) && near(odd.V(10, 3), 220)); // pairs half red
    QVERIFY(near(odd.U(12, 3), 75) && near(odd.V(12, 3), 220));
    QCOMPARE(odd.Y(13, 3), 100);
    QCOMPARE(odd.Y(14, 3), 100);
    QVERIFY(near(odd.Y(15, 3), WY));
    QVERIFY(near(odd.U(14, 3), 94) && near(odd.V(14, 3), 164));
    QCOMPARE(odd.Y(16, 3), 100);
    QVERIFY(near(odd.Y(11, 4), 168) && near(odd.Y(15, 4), 168));
    QVERIFY(even.CanariesIntact() && odd.CanariesIntact());
}

void TestMixerCompose::overlayRunsClippedAtEveryEdge()
{
    // An overlay cut by the frame border must show exactly the part of it
    // that is inside: compare each clipped placement with the same overlay
    // drawn whole onto a larger frame and cut out afterwards.
    QImage image(13, 7, QImage::Format_ARGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x)
            image.setPixel(x, y, qRgba(x * 19, y * 35, 200, (x * 3 + y) % 4 == 0 ? 0 : (x + y) % 3 == 0 ? 255 : 90));
    const std::shared_ptr<const COverlay> pOverlay = COverlay::FromImage(image);
    CFrameComposer composer;
    const int nMargin = 20;
    for (int nY = -8; nY <= 12; nY += 3)
        for (int nX = -14; nX <= 24; ++nX)
        {
            GuardedFrame out(24, 12);
            composer.Compose(out.Frame(), out.Stride(), 24, 12, {}, {{pOverlay.get(), nX, nY}});
            QVERIFY(out.CanariesIntact());
            GuardedFrame big(24 + 2 * nMargin, 12 + 2 * nMargin);
            composer.Compose(big.Frame(), big.Stride(), 24 + 2 * nMargin, 12 + 2 * nMargin, {},
                             {{pOverlay.get(), nX + nMargin, nY + nMargin}});
            for (int y = 0; y < 12; ++y)
                QVERIFY2(std::memcmp(out.Row(y), big.Row(y + nMargin) + 2 * nMargin, 48) == 0,
                         qPrintable(QStringLiteral("overlay at %1,%2, row %3").arg(nX).arg(nY).arg(y)));
        }
}

QTEST_GUILESS_MAIN(TestMixerCompose)
#include "tst_mixer_compose.moc"
