// Logo images and captions: loading, sizes, rendering, and how they land in
// a composed frame.
#include "media/mixer/COverlay.h"
#include "media/mixer/CVideoMixer.h"
#include "media/KVMixer.h"
#include "media/mixer/OverlaySources.h"
#include "YuyvTestUtil.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
std::u16string U16(const QString& str)
{
    return str.toStdU16String();
}

KVS_CAPTION_STYLE Style(int nSize, int nBorder = 0, int bBold = 0, int bUnderline = 0)
{
    // White text, red border.
    return KVS_CAPTION_STYLE{nSize, nBorder, 0x00FFFFFF, 0x000000FF, bUnderline, bBold, 0};
}

// Sum of alpha over a band of rows, to see where something was drawn.
qint64 AlphaSum(const QImage& image, int nFromRow, int nToRow)
{
    qint64 nSum = 0;
    for (int y = std::max(nFromRow, 0); y < std::min(nToRow, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x)
            nSum += qAlpha(image.pixel(x, y));
    return nSum;
}
}

class TestMixerOverlays : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void imageSizes();
    void unreadableImagesAreRefused();
    void imageWithAlphaLandsInTheFrame_data();
    void imageWithAlphaLandsInTheFrame();
    void captionSizeFollowsStyle();
    void captionPixelsShowTextAndBorder();
    void emptyAndInvalidCaptions();

private:
    QTemporaryDir m_dir;
    QString m_strPng;
};

void TestMixerOverlays::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // 41 x 21: an opaque green left part, a transparent right part.
    QImage image(41, 21, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 20; ++x)
            image.setPixel(x, y, qRgba(0, 255, 0, 255));
    m_strPng = m_dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(image.save(m_strPng, "PNG"));
}

void TestMixerOverlays::imageSizes()
{
    QImage image = OverlaySources::LoadImageFile(m_strPng, 0, 0);
    QCOMPARE(image.size(), QSize(41, 21));
    QCOMPARE(qAlpha(image.pixel(5, 5)), 255);
    QCOMPARE(qAlpha(image.pixel(30, 5)), 0);
    QCOMPARE(OverlaySources::LoadImageFile(m_strPng, 20, 10).size(), QSize(20, 10));
    QCOMPARE(OverlaySources::LoadImageFile(m_strPng, 82, 0).size(), QSize(82, 42));
    QCOMPARE(OverlaySources::LoadImageFile(m_strPng, 0, 42).size(), QSize(82, 42));
    QCOMPARE(OverlaySources::LoadImageFile(m_strPng, -5, -5).size(), QSize(41, 21));

    const QString strJpeg = m_dir.filePath(QStringLiteral("logo.jpg"));
    QVERIFY(image.convertToFormat(QImage::Format_RGB32).save(strJpeg, "JPEG"));
    QCOMPARE(OverlaySources::LoadImageFile(strJpeg, 0, 0).size(), QSize(41, 21));

    KVS_HANDLE hMixer = KVS_CreateVideoMixer(64, 48, 400000, KVS_COLOR_YUYV);
    QVERIFY(hMixer);
    QVERIFY(KVS_VideoMixerAddImage(hMixer, U16(m_strPng).c_str(), 0, 0));
    QVERIFY(KVS_VideoMixerAddImage(hMixer, U16(strJpeg).c_str(), 10, 10));
    KVS_DestroyVideoMixer(hMixer);
}

void TestMixerOverlays::unreadableImagesAreRefused()
{
    const QString strBad = m_dir.filePath(QStringLiteral("bad.png"));
    QFile file(strBad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\nthis is not a picture");
    file.close();
    QVERIFY(OverlaySources::LoadImageFile(strBad, 0, 0).isNull());
    QVERIFY(OverlaySources::LoadImageFile(m_dir.filePath(QStringLiteral("missing.png")), 0, 0).isNull());
    QVERIFY(OverlaySources::LoadImageFile(m_strPng, 100000, 10).isNull());

    KVS_HANDLE hMixer = KVS_CreateVideoMixer(64, 48, 400000, KVS_COLOR_YUYV);
    QVERIFY(!KVS_VideoMixerAddImage(hMixer, U16(strBad).c_str(), 0, 0));
    QVERIFY(!KVS_VideoMixerAddImage(hMixer, nullptr, 0, 0));
    QVERIFY(!KVS_VideoMixerAddImage(nullptr, U16(m_strPng).c_str(), 0, 0));
    KVS_DestroyVideoMixer(hMixer);
}

void TestMixerOverlays::imageWithAlphaLandsInTheFrame_data()
{
    QTest::addColumn<int>("nX");
    QTest::newRow("even x") << 6;
    QTest::newRow("odd x") << 7;
    QTest::newRow("partly left of the frame") << -11;
    QTest::newRow("partly below and right") << 50;
}

void TestMixerOverlays::imageWithAlphaLandsInTheFrame()
{
    QFETCH(int, nX);
    const int nY = nX == 50 ? 40 : 3;
    CVideoMixer mixer(64, 48, 400000, nullptr);
    const KVS_HANDLE hImage = mixer.AddOverlay(CVideoMixer::OVERLAY_IMAGE,
                                               COverlay::FromImage(OverlaySources::LoadImageFile(m_strPng, 0, 0)));
    QVERIFY(hImage);
    QVERIFY(mixer.SetOverlay(CVideoMixer::OVERLAY_IMAGE, hImage, nX, nY));
    GuardedFrame out(64, 48);
    mixer.ComposeInto(out.Frame(), out.Stride());
    QVERIFY(out.CanariesIntact());
    // Pure green in limited-range BT.601 has Y 145.
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
        {
            const bool bGreen = x >= nX && x < nX + 20 && y >= nY && y < nY + 21;
            const int nExpected = bGreen ? 145 : 16;
            QVERIFY2(std::abs(out.Y(x, y) - nExpected) <= 1,
                     qPrintable(QStringLiteral("Y at %1,%2 is %3").arg(x).arg(y).arg(out.Y(x, y))));
        }
}

void TestMixerOverlays::captionSizeFollowsStyle()
{
    KVS_HANDLE hMixer = KVS_CreateVideoMixer(320, 240, 400000, KVS_COLOR_YUYV);
    QVERIFY(hMixer);
    const std::u16string strText = u"Caption 2024";
    const std::u16string strFont = u"Sans";
    auto size = [&](const KVS_CAPTION_STYLE& style) {
        int32_t anSize[2] = {-1, -1};
        const KVS_HANDLE h = KVS_VideoMixerAddCaption(hMixer, strText.c_str(), strFont.c_str(), &style, anSize);
        return h ? QSize(anSize[0], anSize[1]) : QSize(-1, -1);
    };
    const QSize plain = size(Style(24));
    QVERIFY2(plain.width() > 24 && plain.height() >= 24,
             qPrintable(QStringLiteral("%1x%2").arg(plain.width()).arg(plain.height())));
    QVERIFY(plain.height() < 60);
    const QSize big = size(Style(48));
    QVERIFY(big.width() > plain.width() && big.height() > plain.height());
    QCOMPARE(size(Style(24, 3)), plain + QSize(6, 6));
    QVERIFY(size(Style(24, 0, 1)).width() >= plain.width());
    KVS_DestroyVideoMixer(hMixer);
}

void TestMixerOverlays::captionPixelsShowTextAndBorder()
{
    QImage image;
    QVERIFY(OverlaySources::RenderCaption(QStringLiteral("HELLO"), QStringLiteral("Sans"), Style(32, 2, 1), image));
    QVERIFY(!image.isNull());
    int nWhite = 0, nRed = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
        {
            const QRgb px = image.pixel(x, y);
            nWhite += px == qRgba(255, 255, 255, 255);
            nRed += px == qRgba(255, 0, 0, 255);
        }
    QVERIFY2(nWhite > 50 && nRed > 50, qPrintable(QStringLiteral("white %1, red %2").arg(nWhite).arg(nRed)));

    // The underline adds ink below the baseline.
    QImage underlined;
    QVERIFY(
        OverlaySources::RenderCaption(QStringLiteral("HELLO"), QStringLiteral("Sans"), Style(32, 2, 1, 1), underlined));
    QCOMPARE(underlined.size(), image.size());
    const int nBaseline = 2 + QFontMetrics([] {
                                  QFont f(QStringLiteral("Sans"));
                                  f.setPixelSize(32);
                                  f.setBold(true);
                                  return f;
                              }())
                                  .ascent();
    QVERIFY(AlphaSum(underlined, nBaseline, image.height()) > AlphaSum(image, nBaseline, image.height()));

    // In a composed frame: white and red show inside the caption, nothing
    // outside it changes.
    CVideoMixer mixer(160, 64, 400000, nullptr);
    const KVS_HANDLE hCaption = mixer.AddOverlay(CVideoMixer::OVERLAY_CAPTION, COverlay::FromImage(image));
    QVERIFY(mixer.SetOverlay(CVideoMixer::OVERLAY_CAPTION, hCaption, 5, 5));
    GuardedFrame out(160, 64);
    mixer.ComposeInto(out.Frame(), out.Stride());
    int nBright = 0, nReddish = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 160; ++x)
        {
            const bool bInside = x >= 4 && x < 5 + image.width() + 1 && y >= 5 && y < 5 + image.height();
            if (!bInside)
                QVERIFY(out.Y(x, y) == 16 && out.U(x, y) == 128);
            nBright += out.Y(x, y) >= 230;
            nReddish += out.V(x, y) >= 230;
        }
    QVERIFY(nBright > 50 && nReddish > 20);
    QVERIFY(out.CanariesIntact());
}

void TestMixerOverlays::emptyAndInvalidCaptions()
{
    KVS_HANDLE hMixer = KVS_CreateVideoMixer(64, 48, 400000, KVS_COLOR_YUYV);
    int32_t anSize[2] = {-1, -1};
    KVS_CAPTION_STYLE style = Style(20);
    // Empty text: a caption that shows nothing.
    QVERIFY(KVS_VideoMixerAddCaption(hMixer, u"", u"Sans", &style, anSize));
    QCOMPARE(anSize[0], 0);
    QCOMPARE(anSize[1], 0);
    style.nFontSize = 0;
    anSize[0] = anSize[1] = -1;
    QVERIFY(!KVS_VideoMixerAddCaption(hMixer, u"x", u"Sans", &style, anSize));
    QCOMPARE(anSize[0], 0);
    QVERIFY(!KVS_VideoMixerAddCaption(hMixer, u"x", u"Sans", nullptr, anSize));
    style = Style(20);
    QVERIFY(KVS_VideoMixerAddCaption(hMixer, u"x", nullptr, &style, nullptr)); // default font, no size wanted
    KVS_DestroyVideoMixer(hMixer);
}

QTEST_MAIN(TestMixerOverlays)
#include "tst_mixer_overlays.moc"
