// The projection on real monitors: an X server with three monitors of
// different shapes side by side (scripts/services/xdummy-multihead.sh), the
// engine on virtual cameras, the tab window and the projection controller as
// the program builds them. What each monitor shows is read back from the
// screen.
#include "ui/projection/BackgroundImage.h"
#include "ui/projection/CProjectionController.h"
#include "ui/tabs/CTabScreen.h"
#include "ui/tabs/CTabWnd.h"
#include "ui/windows/CDemoWnd.h"
#include "ui/windows/CScreenWnd.h"
#include "ServiceCheck.h"
#include "UiTestUtil.h"
#include "XDummyServer.h"

#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>

namespace
{
const QColor BACKGROUND(250, 0, 250);
const QRect STORED_RECT(40, 30, 240, 180);
// The operator's monitor, then a wide and a tall one; neither has the 4:3
// shape of the test output.
const char* const MONITOR_SIZES = "1280x720,960x540,640x800";

// Lives for the whole test executable: Qt connects to its display once,
// before the first test.
CXDummyServer* g_pServer = nullptr;

// A still output picture: a 4 x 3 grid of grey blocks, each of its own
// level, so that where every part of the picture lands can be checked.
const int GRID_COLUMNS = 4;
const int GRID_ROWS = 3;

int GridLuma(int nColumn, int nRow)
{
    return 24 + 18 * (nRow * GRID_COLUMNS + nColumn);
}

// The grey a luma of the limited video range shows as.
int LumaToGrey(int nLuma)
{
    return qBound(0, int(std::lround((nLuma - 16) * 255.0 / 219.0)), 255);
}

std::vector<uint8_t> GridFrame(int nWidth, int nHeight)
{
    std::vector<uint8_t> vecFrame(size_t(nWidth) * nHeight * 2);
    for (int y = 0; y < nHeight; ++y)
    {
        for (int x = 0; x < nWidth; ++x)
        {
            uint8_t* p = vecFrame.data() + (size_t(y) * nWidth + x) * 2;
            p[0] = uint8_t(GridLuma(x * GRID_COLUMNS / nWidth, y * GRID_ROWS / nHeight));
            p[1] = 128;
        }
    }
    return vecFrame;
}
}

class TestProjection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void projectsOnSecondAndThirdMonitor();
    void pictureFillsBandAndTallRectangle_data();
    void pictureFillsBandAndTallRectangle();
    void previewFillsItsRectangle();
    void previewRedrawnWhenRectangleMoves();
    void shippedBackgroundShownByDefault();
    void frameOfAnotherSizeIsSkipped();
    void monitorsComeAndGoWhileRunning();

private:
    // What monitor nScreen shows, read from the X server.
    static QImage GrabMonitor(int nScreen);
    // What the X server shows of rc, given in pWidget's coordinates.
    static QImage GrabOnScreen(const QWidget* pWidget, const QRect& rc);
    // The picture is inside rc on the monitor's grab and the background
    // around it.
    static bool ShowsPictureIn(const QImage& image, const QRect& rc);
    // The share of the grab that differs from the grid picture stretched
    // over rc on the background, edges left out.
    static double GridMismatch(const QImage& image, const QRect& rc);
    static bool IsNear(QRgb rgb, const QColor& color);
    QCheckBox* FindBox(const QString& strText) const;
    QCheckBox* ScreenBox(int nSlot) const;
    void SetRect(const QRect& rc);
    // The Screen tab's preview draws only while it is the current tab.
    CTabScreen* ShowScreenTab();
    // Builds controller and tab window as the program does at start.
    void StartProjection();
    // Switches outputs with xrandr; the screen count Qt must arrive at.
    void Xrandr(const QStringList& astrArgs, int nScreens);
    // The three monitors as the server started with them.
    void RestoreMonitors();

    QTemporaryDir m_dir;
    QString m_strBackground;
    std::unique_ptr<CVideoWnd> m_pOutput;
    std::unique_ptr<CProjectionController> m_pProjection;
    std::unique_ptr<CTabWnd> m_pTabWnd;
};

void TestProjection::initTestCase()
{
    if (!g_pServer || g_pServer->GetDisplay().isEmpty())
        VISTREL_SKIP_WITHOUT_SERVICE(g_pServer ? g_pServer->GetError() : QStringLiteral("no X server"));
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QCOMPARE(QGuiApplication::screens().size(), 3);
    QVERIFY(g_layout.Load());
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(BACKGROUND);
    m_strBackground = m_dir.filePath(QStringLiteral("background.png"));
    QVERIFY(image.save(m_strBackground));
}

void TestProjection::init()
{
    UiTest::ResetSettings();
    g_settings.SetBgPath(m_strBackground);
    g_settings.SetScreen(true);
    g_settings.SetScreenEnabled(0, true);
    g_settings.SetScreenEnabled(1, true);
    g_settings.SetScreenPos(STORED_RECT.x(), STORED_RECT.y(), STORED_RECT.width(), STORED_RECT.height());

    QVERIFY(UiTest::StartEngine("2"));
    m_pOutput = UiTest::StartOutput();
    QVERIFY(m_pOutput);
    StartProjection();
}

void TestProjection::StartProjection()
{
    CProjectionController::Publish(nullptr);
    m_pTabWnd.reset();
    m_pProjection.reset(new CProjectionController);
    QVERIFY(m_pProjection->Init());
    CProjectionController::Publish(m_pProjection.get());
    m_pTabWnd.reset(new CTabWnd(nullptr, nullptr));
    m_pTabWnd->resize(440, 600);
    m_pTabWnd->move(0, 0);
    m_pTabWnd->show();
}

void TestProjection::cleanup()
{
    g_capture.Uninit();
    CProjectionController::Publish(nullptr);
    m_pTabWnd.reset();
    m_pProjection.reset();
    m_pOutput.reset();
    if (QGuiApplication::screens().size() != 3)
        RestoreMonitors();
}

QImage TestProjection::GrabMonitor(int nScreen)
{
    // The root window covers all monitors, with the first at 0, 0.
    const QRect rc = QGuiApplication::screens().at(nScreen)->geometry();
    return QGuiApplication::primaryScreen()->grabWindow(0, rc.x(), rc.y(), rc.width(), rc.height()).toImage();
}

QImage TestProjection::GrabOnScreen(const QWidget* pWidget, const QRect& rc)
{
    const QPoint ptGlobal = pWidget->mapToGlobal(rc.topLeft());
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, ptGlobal.x(), ptGlobal.y(), rc.width(), rc.height())
        .toImage();
}

bool TestProjection::ShowsPictureIn(const QImage& image, const QRect& rc)
{
    // A margin for the edges, where the scaler may blend.
    const int nIn = 6;
    const int nOut = 4;
    const QPoint aOutside[] = {{rc.left() - nOut, rc.center().y()},
                               {rc.left() + rc.width() + nOut, rc.center().y()},
                               {rc.center().x(), rc.top() - nOut},
                               {rc.center().x(), rc.top() + rc.height() + nOut},
                               {2, 2},
                               {image.width() - 3, image.height() - 3}};
    for (const QPoint& pt : aOutside)
    {
        // A rectangle at the monitor's edge has nothing around it there.
        if (image.rect().contains(pt) && !rc.contains(pt) && image.pixelColor(pt) != BACKGROUND)
            return false;
    }
    QSet<QRgb> setColours;
    for (int y = rc.top() + nIn; y < rc.top() + rc.height() - nIn; y += 7)
    {
        for (int x = rc.left() + nIn; x < rc.left() + rc.width() - nIn; x += 7)
        {
            if (image.pixelColor(x, y) == BACKGROUND)
                return false;
            setColours.insert(image.pixel(x, y));
        }
    }
    // A picture, not a filled rectangle.
    return setColours.size() > 8;
}

bool TestProjection::IsNear(QRgb rgb, const QColor& color)
{
    // Colour conversion and rounding, not a neighbouring block (18 luma
    // steps apart, about 21 grey levels).
    const int nTolerance = 9;
    return qAbs(qRed(rgb) - color.red()) <= nTolerance && qAbs(qGreen(rgb) - color.green()) <= nTolerance &&
           qAbs(qBlue(rgb) - color.blue()) <= nTolerance;
}

double TestProjection::GridMismatch(const QImage& image, const QRect& rc)
{
    // Pixels this close to an edge of the rectangle or of a block may be
    // blended by the scaler; the rest must match.
    const int nEdge = 3;
    auto nearEdge = [](int nValue, int nStart, int nLength, int nParts) {
        for (int i = 0; i <= nParts; ++i)
        {
            if (qAbs(nValue - (nStart + nLength * i / nParts)) <= nEdge)
                return true;
        }
        return false;
    };
    int nChecked = 0;
    int nWrong = 0;
    for (int y = 0; y < image.height(); y += 2)
    {
        for (int x = 0; x < image.width(); x += 2)
        {
            const bool bInside = rc.contains(x, y);
            if (nearEdge(x, rc.left(), rc.width(), bInside ? GRID_COLUMNS : 1) ||
                nearEdge(y, rc.top(), rc.height(), bInside ? GRID_ROWS : 1))
                continue;
            QColor colorExpected = BACKGROUND;
            if (bInside)
            {
                const int nColumn = (x - rc.left()) * GRID_COLUMNS / rc.width();
                const int nRow = (y - rc.top()) * GRID_ROWS / rc.height();
                const int nGrey = LumaToGrey(GridLuma(nColumn, nRow));
                colorExpected = QColor(nGrey, nGrey, nGrey);
            }
            ++nChecked;
            if (!IsNear(image.pixel(x, y), colorExpected))
                ++nWrong;
        }
    }
    return nChecked > 0 ? double(nWrong) / nChecked : 1.0;
}

QCheckBox* TestProjection::FindBox(const QString& strText) const
{
    for (QCheckBox* pCheck : m_pTabWnd->GetScreenTab()->findChildren<QCheckBox*>())
    {
        if (pCheck->text() == strText)
            return pCheck;
    }
    return nullptr;
}

QCheckBox* TestProjection::ScreenBox(int nSlot) const
{
    return FindBox(QStringLiteral("Screen %1").arg(nSlot + 1));
}

void TestProjection::SetRect(const QRect& rc)
{
    // Left, top, width, height, as the user would type them.
    const QList<QSpinBox*> listSpins = m_pTabWnd->GetScreenTab()->findChildren<QSpinBox*>();
    QCOMPARE(listSpins.size(), 4);
    listSpins.at(0)->setValue(rc.x());
    listSpins.at(1)->setValue(rc.y());
    listSpins.at(2)->setValue(rc.width());
    listSpins.at(3)->setValue(rc.height());
}

CTabScreen* TestProjection::ShowScreenTab()
{
    QTabWidget* pTabs = m_pTabWnd->GetTabWidget();
    for (int i = 0; i < pTabs->count(); ++i)
    {
        if (pTabs->tabText(i) == QStringLiteral("Screen"))
            pTabs->setCurrentIndex(i);
    }
    CTabScreen* pTab = m_pTabWnd->GetScreenTab();
    return pTab && pTab->isVisible() ? pTab : nullptr;
}

void TestProjection::Xrandr(const QStringList& astrArgs, int nScreens)
{
    QVERIFY2(g_pServer->RunClient(QStringLiteral("xrandr"), astrArgs), qPrintable(astrArgs.join(' ')));
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), nScreens, UiTest::WAIT_MS);
}

void TestProjection::RestoreMonitors()
{
    Xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--mode"),
            QStringLiteral("960x540_multihead"), QStringLiteral("--pos"), QStringLiteral("1280x0"),
            QStringLiteral("--output"), QStringLiteral("DUMMY2"), QStringLiteral("--mode"),
            QStringLiteral("640x800_multihead"), QStringLiteral("--pos"), QStringLiteral("2240x0")},
           3);
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().at(1)->geometry(), QRect(1280, 0, 960, 540), UiTest::WAIT_MS);
}

void TestProjection::projectsOnSecondAndThirdMonitor()
{
    const QList<QScreen*> listScreens = QGuiApplication::screens();
    // Each projection gets its own scaling of the stored rectangle, rounded
    // down to even values (67 becomes 66, 405 becomes 404 on 960 x 540).
    const QRect arcExpected[] = {QRect(120, 66, 720, 404), QRect(80, 100, 480, 600)};
    for (int nSlot = 0; nSlot < 2; ++nSlot)
    {
        CScreenWnd* pWnd = m_pProjection->GetWindow(nSlot);
        QVERIFY(pWnd);
        QVERIFY(pWnd->isVisible());
        QCOMPARE(pWnd->geometry(), listScreens.at(nSlot + 1)->geometry());
        QCOMPARE(m_pProjection->GetRendererRect(nSlot), arcExpected[nSlot]);
        QVERIFY(m_pProjection->IsDrawing(nSlot));
    }
    // Only two monitors besides the first: no third window.
    QVERIFY(!m_pProjection->GetWindow(2));
    QVERIFY(ScreenBox(0)->isEnabled());
    QVERIFY(ScreenBox(1)->isEnabled());
    QVERIFY(!ScreenBox(2)->isEnabled());

    for (int nSlot = 0; nSlot < 2; ++nSlot)
    {
        QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(nSlot + 1), arcExpected[nSlot]), UiTest::WAIT_MS);
    }

    // Moving a control moves the picture on both monitors at once.
    QSpinBox* pSpinLeft = m_pTabWnd->GetScreenTab()->findChildren<QSpinBox*>().value(0);
    QVERIFY(pSpinLeft);
    pSpinLeft->setValue(0);
    const QRect arcMoved[] = {QRect(0, 66, 720, 404), QRect(0, 100, 480, 600)};
    for (int nSlot = 0; nSlot < 2; ++nSlot)
    {
        QCOMPARE(m_pProjection->GetRendererRect(nSlot), arcMoved[nSlot]);
        QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(nSlot + 1), arcMoved[nSlot]), UiTest::WAIT_MS);
    }

    // Unchecking "Screen 2" takes the picture off the third monitor only.
    ScreenBox(1)->setChecked(false);
    QVERIFY(!g_settings.GetScreenEnabled(1));
    QVERIFY(!m_pProjection->GetWindow(1)->isVisible());
    QVERIFY(!m_pProjection->IsDrawing(1));
    QTRY_VERIFY_WITH_TIMEOUT(GrabMonitor(2).pixelColor(10, 10) != BACKGROUND, UiTest::WAIT_MS);
    QVERIFY(m_pProjection->GetWindow(0)->isVisible());
    QVERIFY(m_pProjection->IsDrawing(0));

    // Switching the whole output off hides the rest; on again brings back
    // what is still checked.
    QCheckBox* pEnable = FindBox(QStringLiteral("Enable screen output"));
    QVERIFY(pEnable);
    pEnable->setChecked(false);
    QVERIFY(!m_pProjection->GetWindow(0)->isVisible());
    QVERIFY(!ScreenBox(0)->isEnabled());
    pEnable->setChecked(true);
    QVERIFY(m_pProjection->GetWindow(0)->isVisible());
    QVERIFY(!m_pProjection->GetWindow(1)->isVisible());
}

void TestProjection::pictureFillsBandAndTallRectangle_data()
{
    QTest::addColumn<QRect>("rcOutput");
    QTest::addColumn<QRect>("rcWide");
    QTest::addColumn<QRect>("rcTall");
    // In output pixels (320 x 240), then on the 960 x 540 and the 640 x 800
    // monitor: the picture takes each rectangle's own shape.
    QTest::newRow("band") << QRect(0, 60, 320, 120) << QRect(0, 134, 960, 270) << QRect(0, 200, 640, 400);
    QTest::newRow("tall") << QRect(100, 0, 120, 240) << QRect(300, 0, 360, 540) << QRect(200, 0, 240, 800);
}

void TestProjection::pictureFillsBandAndTallRectangle()
{
    QFETCH(QRect, rcOutput);
    QFETCH(QRect, rcWide);
    QFETCH(QRect, rcTall);
    // A still picture instead of the cameras' moving ones.
    g_capture.DestroyMixer();
    SetRect(rcOutput);
    QCOMPARE(m_pProjection->GetRendererRect(0), rcWide);
    QCOMPARE(m_pProjection->GetRendererRect(1), rcTall);

    const std::vector<uint8_t> vecFrame = GridFrame(UiTest::OUTPUT_WIDTH, UiTest::OUTPUT_HEIGHT);
    m_pProjection->DrawFrame(vecFrame.data(), 0, UiTest::OUTPUT_WIDTH, UiTest::OUTPUT_HEIGHT);
    // The whole monitor: the grid stretched over the rectangle, the
    // background everywhere else.
    double fWide = 1.0;
    double fTall = 1.0;
    QTRY_VERIFY2_WITH_TIMEOUT((fWide = GridMismatch(GrabMonitor(1), rcWide)) < 0.002 &&
                                  (fTall = GridMismatch(GrabMonitor(2), rcTall)) < 0.002,
                              qPrintable(QStringLiteral("differing: %1 and %2").arg(fWide).arg(fTall)),
                              UiTest::WAIT_MS);
}

void TestProjection::previewFillsItsRectangle()
{
    CTabScreen* pTab = ShowScreenTab();
    QVERIFY(pTab);
    // A band: 376 x 75 in the preview.
    SetRect(QRect(0, 60, 320, 120));
    const QRect rcPreview = pTab->GetPreviewRect();
    QCOMPARE(rcPreview, QRect(0, 75, 376, 150));
    CDemoWnd* pDemo = pTab->GetDemoWnd();
    // Kept at its shape the 4:3 picture would leave black bars at both ends.
    auto blackShare = [pDemo, rcPreview](int nX0, int nX1) {
        const QImage image = GrabOnScreen(pDemo, rcPreview);
        int nBlack = 0;
        int nAll = 0;
        for (int y = 2; y < image.height() - 2; ++y)
        {
            for (int x = nX0; x < nX1; ++x)
            {
                ++nAll;
                if (qGray(image.pixel(x, y)) < 8)
                    ++nBlack;
            }
        }
        return nAll > 0 ? double(nBlack) / nAll : 1.0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(blackShare(2, 60) < 0.5 && blackShare(rcPreview.width() - 60, rcPreview.width() - 2) < 0.5,
                             UiTest::WAIT_MS);
}

void TestProjection::previewRedrawnWhenRectangleMoves()
{
    CTabScreen* pTab = ShowScreenTab();
    QVERIFY(pTab);
    CDemoWnd* pDemo = pTab->GetDemoWnd();
    QTRY_VERIFY_WITH_TIMEOUT(pDemo->IsImageReady(), UiTest::WAIT_MS);
    auto grabDemo = [pDemo] { return GrabOnScreen(pDemo, pDemo->rect()); };
    // The picture in the stored rectangle first.
    const QRect rcOld = pTab->GetPreviewRect();
    QCOMPARE(rcOld, QRect(47, 37, 282, 225));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(grabDemo(), rcOld), UiTest::WAIT_MS);

    // Dragged to the top left corner step by step, as with the sliders,
    // then made smaller: where it was, only the background is left.
    for (int nStep = 10; nStep >= 0; --nStep)
    {
        SetRect(QRect(STORED_RECT.x() * nStep / 10, STORED_RECT.y() * nStep / 10, STORED_RECT.width(),
                      STORED_RECT.height()));
        QTest::qWait(20);
    }
    SetRect(QRect(0, 0, 120, 90));
    const QRect rcNew = pTab->GetPreviewRect();
    QCOMPARE(rcNew, QRect(0, 0, 141, 112));
    auto onlyBackgroundOutside = [&grabDemo, rcNew] {
        const QImage image = grabDemo();
        for (int y = 0; y < image.height(); y += 3)
        {
            for (int x = 0; x < image.width(); x += 3)
            {
                if (!rcNew.adjusted(-2, -2, 2, 2).contains(x, y) && image.pixelColor(x, y) != BACKGROUND)
                    return false;
            }
        }
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(onlyBackgroundOutside(), UiTest::WAIT_MS);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(grabDemo(), rcNew), UiTest::WAIT_MS);
}

void TestProjection::shippedBackgroundShownByDefault()
{
    // Nothing chosen: the image that comes with the program, not grey.
    CProjectionController::Publish(nullptr);
    m_pTabWnd.reset();
    m_pProjection.reset();
    g_settings.SetBgPath(QString());
    QVERIFY(QFileInfo(Background::FallbackPath()).isFile());
    StartProjection();
    CScreenWnd* pWnd = m_pProjection->GetWindow(0);
    QVERIFY(pWnd);
    QCOMPARE(pWnd->GetBackgroundFile(), Background::FallbackPath());
    QTRY_VERIFY_WITH_TIMEOUT(pWnd->IsBackgroundReady(), UiTest::WAIT_MS);
    // Dark, where the grey would be light: a corner of the monitor, outside
    // the picture.
    QTRY_VERIFY_WITH_TIMEOUT(qGray(GrabMonitor(1).pixel(4, 4)) < 40, UiTest::WAIT_MS);
}

void TestProjection::frameOfAnotherSizeIsSkipped()
{
    // While the output size changes, frames of the new size can arrive
    // before the renderers are rebuilt. Drawn with the old stride they would
    // be read far past their end (which the sanitizer builds report).
    std::vector<uint8_t> vecSmall(160 * 120 * 2, 0x80);
    for (int i = 0; i < 50; ++i)
        m_pProjection->DrawFrame(vecSmall.data(), 0, 160, 120);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(1), QRect(120, 66, 720, 404)), UiTest::WAIT_MS);
}

void TestProjection::monitorsComeAndGoWhileRunning()
{
    const QStringList astrOff{QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--off"),
                              QStringLiteral("--output"), QStringLiteral("DUMMY2"), QStringLiteral("--off")};
    const QRect rcWide(120, 66, 720, 404);
    const QRect rcTall(80, 100, 480, 600);

    // Started on one monitor, with both projections switched on.
    Xrandr(astrOff, 1);
    StartProjection();
    QVERIFY(!m_pProjection->GetWindow(0) && !m_pProjection->GetWindow(1));
    QVERIFY(!FindBox(QStringLiteral("Enable screen output"))->isEnabled());
    QVERIFY(!ScreenBox(0)->isEnabled());

    // Two monitors connected: the projection appears on both.
    RestoreMonitors();
    for (int nSlot = 0; nSlot < 2; ++nSlot)
    {
        QVERIFY(m_pProjection->GetWindow(nSlot));
        QVERIFY(m_pProjection->GetWindow(nSlot)->isVisible());
        QVERIFY(m_pProjection->IsDrawing(nSlot));
    }
    QVERIFY(FindBox(QStringLiteral("Enable screen output"))->isEnabled());
    QVERIFY(ScreenBox(0)->isEnabled());
    QVERIFY(ScreenBox(1)->isEnabled());
    QVERIFY(!ScreenBox(2)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(1), rcWide), UiTest::WAIT_MS);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(2), rcTall), UiTest::WAIT_MS);

    // The third monitor switched off and on again: its picture comes back,
    // and the second monitor's window is left alone meanwhile.
    const QPointer<CScreenWnd> pWide = m_pProjection->GetWindow(0);
    Xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY2"), QStringLiteral("--off")}, 2);
    QVERIFY(!m_pProjection->GetWindow(1));
    QVERIFY(!ScreenBox(1)->isEnabled());
    QVERIFY(pWide);
    QCOMPARE(m_pProjection->GetWindow(0), pWide.data());
    QVERIFY(pWide->isVisible());
    // Nothing of the projection came over to the operator's monitor.
    for (QWidget* pWidget : QApplication::topLevelWidgets())
    {
        if (qobject_cast<CScreenWnd*>(pWidget) && pWidget->isVisible())
            QCOMPARE(pWidget->windowHandle()->screen(), QGuiApplication::screens().at(1));
    }
    RestoreMonitors();
    QVERIFY(pWide);
    QCOMPARE(m_pProjection->GetWindow(0), pWide.data());
    QVERIFY(ScreenBox(1)->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(2), rcTall), UiTest::WAIT_MS);

    // Its box unticked and ticked again: off, then on again.
    ScreenBox(1)->setChecked(false);
    QTRY_VERIFY_WITH_TIMEOUT(GrabMonitor(2).pixelColor(10, 10) != BACKGROUND, UiTest::WAIT_MS);
    ScreenBox(1)->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(2), rcTall), UiTest::WAIT_MS);

    // A monitor that changes its size: the window and the picture follow.
    Xrandr({QStringLiteral("--output"), QStringLiteral("DUMMY1"), QStringLiteral("--mode"), QStringLiteral("800x600")},
           3);
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().at(1)->geometry(), QRect(1280, 0, 800, 600), UiTest::WAIT_MS);
    QVERIFY(pWide);
    QTRY_COMPARE_WITH_TIMEOUT(pWide->geometry(), QRect(1280, 0, 800, 600), UiTest::WAIT_MS);
    QCOMPARE(m_pProjection->GetRendererRect(0), QRect(100, 74, 600, 450));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(1), QRect(100, 74, 600, 450)), UiTest::WAIT_MS);
    RestoreMonitors();
}

int main(int argc, char* argv[])
{
    QTemporaryDir dirServer;
    static CXDummyServer s_server;
    g_pServer = &s_server;
    // Reached also when the test library ends the process itself (for
    // example on an unknown test function), so that no server outlives it.
    std::atexit([] { s_server.Stop(); });
    if (s_server.Start(dirServer.path(), QString::fromLatin1(MONITOR_SIZES)))
    {
        qputenv("DISPLAY", s_server.GetDisplay().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    int nResult = 0;
    {
        QApplication app(argc, argv);
        TestProjection test;
        nResult = QTest::qExec(&test, argc, argv);
    }
    s_server.Stop();
    return nResult;
}

#include "tst_ui_projection.moc"
