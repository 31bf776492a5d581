// Where logo and captions land and how opaque a cross-fade's channels are.
#include "engine/KVOverlayGeometry.h"

#include <QtTest>

class TestEngineOverlayGeometry : public QObject
{
    Q_OBJECT

private slots:
    void evenUp_data();
    void evenUp();
    void captionPosition_data();
    void captionPosition();
    void logoSize_data();
    void logoSize();
    void logoPosition_data();
    void logoPosition();
    void fadeOpacities_data();
    void fadeOpacities();
};

void TestEngineOverlayGeometry::evenUp_data()
{
    QTest::addColumn<int>("nValue");
    QTest::addColumn<int>("nExpected");
    QTest::newRow("odd") << 809 << 810;
    QTest::newRow("even") << 810 << 810;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("negative odd") << -5 << -4;
    QTest::newRow("minus one") << -1 << 0;
    QTest::newRow("negative even") << -4 << -4;
}

void TestEngineOverlayGeometry::evenUp()
{
    QFETCH(int, nValue);
    QFETCH(int, nExpected);
    QCOMPARE(EvenUp(nValue), nExpected);
}

void TestEngineOverlayGeometry::captionPosition_data()
{
    QTest::addColumn<int>("nPosition");
    QTest::addColumn<int>("nWidth");
    QTest::addColumn<int>("nX");
    QTest::addColumn<int>("nY");
    // 1920 x 1080 output, captions 41 pixels high.
    QTest::newRow("top left") << 0 << 301 << 10 << 10;
    QTest::newRow("top centre, 809 evened up") << 1 << 301 << 810 << 10;
    QTest::newRow("top right") << 2 << 301 << 1610 << 10;
    QTest::newRow("bottom left") << 3 << 301 << 10 << 1030;
    QTest::newRow("bottom centre") << 4 << 300 << 810 << 1030;
    QTest::newRow("bottom right") << 5 << 300 << 1610 << 1030;
    // Wider than the output: -83 / 2 truncates to -41, evened up to -40.
    QTest::newRow("too wide, centred") << 1 << 2003 << -40 << 10;
    QTest::newRow("too wide, right") << 2 << 2003 << -92 << 10;
    QTest::newRow("code below the range") << -1 << 301 << 10 << 10;
    QTest::newRow("code above the range") << 6 << 301 << 10 << 10;
}

void TestEngineOverlayGeometry::captionPosition()
{
    QFETCH(int, nPosition);
    QFETCH(int, nWidth);
    QFETCH(int, nX);
    QFETCH(int, nY);
    int x = -999;
    int y = -999;
    CaptionPosition(nPosition, 1920, 1080, nWidth, 41, x, y);
    QCOMPARE(x, nX);
    QCOMPARE(y, nY);
}

void TestEngineOverlayGeometry::logoSize_data()
{
    QTest::addColumn<int>("nSize");
    QTest::addColumn<int>("nWidth");
    QTest::addColumn<int>("nHeight");
    // A 101 x 51 image.
    QTest::newRow("natural, not evened up") << 50 << 101 << 51;
    QTest::newRow("half, 25 evened up") << 0 << 50 << 26;
    QTest::newRow("one and a half") << 100 << 152 << 76;
    QTest::newRow("75 %") << 25 << 76 << 38;
    QTest::newRow("below the range clamps to half") << -20 << 50 << 26;
    QTest::newRow("above the range clamps") << 250 << 152 << 76;
}

void TestEngineOverlayGeometry::logoSize()
{
    QFETCH(int, nSize);
    QFETCH(int, nWidth);
    QFETCH(int, nHeight);
    int w = -1;
    int h = -1;
    LogoDrawSize(nSize, 101, 51, w, h);
    QCOMPARE(w, nWidth);
    QCOMPARE(h, nHeight);
}

void TestEngineOverlayGeometry::logoPosition_data()
{
    QTest::addColumn<int>("nCorner");
    QTest::addColumn<int>("nX");
    QTest::addColumn<int>("nY");
    // 101 x 51 on 640 x 480: no even-up for logos.
    QTest::newRow("top left") << 0 << 10 << 10;
    QTest::newRow("top right") << 1 << 529 << 10;
    QTest::newRow("bottom left") << 2 << 10 << 419;
    QTest::newRow("bottom right") << 3 << 529 << 419;
    QTest::newRow("unknown corner") << 4 << 10 << 10;
    QTest::newRow("negative corner") << -1 << 10 << 10;
}

void TestEngineOverlayGeometry::logoPosition()
{
    QFETCH(int, nCorner);
    QFETCH(int, nX);
    QFETCH(int, nY);
    int x = -999;
    int y = -999;
    LogoPosition(nCorner, 640, 480, 101, 51, x, y);
    QCOMPARE(x, nX);
    QCOMPARE(y, nY);
}

void TestEngineOverlayGeometry::fadeOpacities_data()
{
    QTest::addColumn<int>("nProgress");
    QTest::addColumn<int>("nOutgoing");
    QTest::addColumn<int>("nIncoming");
    QTest::newRow("start") << 0 << 255 << 0;
    QTest::newRow("half") << 5000000 << 127 << 127;
    QTest::newRow("first step at 25 fps") << 800000 << 234 << 20;
    QTest::newRow("last step at 25 fps") << 9600000 << 10 << 244;
    QTest::newRow("last step at 30 fps") << 9999990 << 0 << 254;
}

void TestEngineOverlayGeometry::fadeOpacities()
{
    QFETCH(int, nProgress);
    QFETCH(int, nOutgoing);
    QFETCH(int, nIncoming);
    int nOut = -1;
    int nIn = -1;
    FadeOpacities(nProgress, nOut, nIn);
    QCOMPARE(nOut, nOutgoing);
    QCOMPARE(nIn, nIncoming);
}

QTEST_APPLESS_MAIN(TestEngineOverlayGeometry)
#include "tst_engine_overlay_geometry.moc"
