// The software encoder's YUYV to 4:2:0 conversion against libswscale's, which
// it replaces: the same luma, chroma the rounded-up mean of the two lines and
// within one of libswscale's (which rounds the last pixels of a line down),
// whatever the width (whole vector steps or a remainder), the strides and
// the values, and nothing written past a line.
#include "media/encoder/CH264Encoder.h"

#include <QtTest>

#include <cstdlib>
#include <random>
#include <vector>

extern "C"
{
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace
{
const uint8_t UNTOUCHED = 0xA5;

// Three planes, each line padded and filled with UNTOUCHED.
struct SPlanes
{
    std::vector<uint8_t> avecPlane[3];
    uint8_t* apPlane[3] = {};
    int anStride[3] = {};

    SPlanes(int nWidth, int nHeight, int nPadding)
    {
        for (int i = 0; i < 3; ++i)
        {
            anStride[i] = (i == 0 ? nWidth : nWidth / 2) + nPadding;
            avecPlane[i].assign(size_t(anStride[i]) * size_t(i == 0 ? nHeight : nHeight / 2), UNTOUCHED);
            apPlane[i] = avecPlane[i].data();
        }
    }
};
}

class TestEncoderConvert : public QObject
{
    Q_OBJECT

private slots:
    void OnSameAsSwscale_data()
    {
        QTest::addColumn<int>("nWidth");
        QTest::addColumn<int>("nHeight");
        QTest::addColumn<int>("nPadding");
        QTest::newRow("1080p, tight") << 1920 << 1080 << 0;
        QTest::newRow("one pair") << 2 << 2 << 0;
        QTest::newRow("remainder only") << 14 << 4 << 0;
        QTest::newRow("one step and a pair") << 18 << 4 << 0;
        QTest::newRow("steps and a remainder, padded") << 1922 << 6 << 64;
        QTest::newRow("odd padding") << 46 << 8 << 7;
    }
    void OnSameAsSwscale()
    {
        QFETCH(int, nWidth);
        QFETCH(int, nHeight);
        QFETCH(int, nPadding);
        // Every byte value, extremes included, so that averaging cannot
        // overflow or round the other way unnoticed.
        const int nSourceStride = 2 * nWidth + 2 * nPadding;
        std::vector<uint8_t> vecSource(size_t(nSourceStride) * size_t(nHeight));
        std::mt19937 random(uint32_t(nWidth * 31 + nHeight));
        for (uint8_t& n : vecSource)
            n = uint8_t(random());
        vecSource[1] = vecSource[size_t(nSourceStride) + 1] = 255;
        vecSource[3] = 0;
        vecSource[size_t(nSourceStride) + 3] = 255;

        SPlanes ours(nWidth, nHeight, nPadding);
        KVMedia::CH264Encoder::ConvertYuyvToI420(vecSource.data(), nSourceStride, nWidth, nHeight, ours.apPlane,
                                                 ours.anStride);

        SPlanes theirs(nWidth, nHeight, nPadding);
        SwsContext* pScale = sws_getContext(nWidth, nHeight, AV_PIX_FMT_YUYV422, nWidth, nHeight, AV_PIX_FMT_YUV420P,
                                            SWS_BILINEAR, nullptr, nullptr, nullptr);
        QVERIFY(pScale);
        const uint8_t* apSource[1] = {vecSource.data()};
        const int anSourceStride[1] = {nSourceStride};
        sws_scale(pScale, apSource, anSourceStride, 0, nHeight, theirs.apPlane, theirs.anStride);
        sws_freeContext(pScale);

        for (int i = 0; i < 3; ++i)
        {
            const int nPlaneWidth = i == 0 ? nWidth : nWidth / 2;
            const int nPlaneHeight = i == 0 ? nHeight : nHeight / 2;
            for (int y = 0; y < nPlaneHeight; ++y)
            {
                const uint8_t* pOurs = ours.apPlane[i] + size_t(y) * size_t(ours.anStride[i]);
                const uint8_t* pTheirs = theirs.apPlane[i] + size_t(y) * size_t(theirs.anStride[i]);
                for (int x = 0; x < nPlaneWidth; ++x)
                {
                    int nExpected = pTheirs[x];
                    if (i > 0)
                    {
                        const uint8_t* pPair =
                            vecSource.data() + size_t(2 * y) * size_t(nSourceStride) + 4 * x + 2 * i - 1;
                        nExpected = (pPair[0] + pPair[nSourceStride] + 1) / 2;
                    }
                    const bool bGood = pOurs[x] == nExpected && std::abs(pOurs[x] - pTheirs[x]) <= (i > 0 ? 1 : 0);
                    if (!bGood)
                        QFAIL(qPrintable(QString::asprintf("plane %d at %d,%d: %d, expected %d, libswscale %d", i, x, y,
                                                           pOurs[x], nExpected, pTheirs[x])));
                }
                for (int x = nPlaneWidth; x < ours.anStride[i]; ++x)
                    QCOMPARE(int(pOurs[x]), int(UNTOUCHED));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestEncoderConvert)
#include "tst_encoder_convert.moc"
