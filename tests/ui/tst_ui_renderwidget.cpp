// A render widget takes pictures only while the user can see it: not before
// it is shown, not on a tab in the background, not while its window is
// minimised; and what it paints is the picture it was handed, with black
// around it also after the picture changed shape.
#include "PlainYuyvFrame.h"
#include "media/KVStream.h"
#include "ui/windows/CRenderWidget.h"

#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtTest>

#include <vector>

namespace
{
const int FRAME_WIDTH = 640;
const int FRAME_HEIGHT = 360;

// Plain green in video range.
std::vector<uint8_t> GreenFrame()
{
    return PlainYuyvFrame(FRAME_WIDTH, FRAME_HEIGHT, 145, 54, 34);
}

// Draws one frame into the widget the way a capture thread does.
class CDrawer
{
public:
    explicit CDrawer(const CRenderWidget& widget)
        : m_hRenderer(KVS_CreateVideoRenderer(nullptr, widget.GetWindowHandle(), KVS_COLOR_YUYV, FRAME_WIDTH,
                                              FRAME_HEIGHT, 0, 1))
        , m_abFrame(GreenFrame())
    {
    }
    ~CDrawer() { KVS_DestroyVideoRenderer(m_hRenderer); }
    CDrawer(const CDrawer&) = delete;
    CDrawer& operator=(const CDrawer&) = delete;

    bool IsValid() const { return m_hRenderer != nullptr; }
    bool Draw() { return KVS_VideoRendererDrawImage(m_hRenderer, m_abFrame.data(), FRAME_WIDTH * 2, 1) != 0; }

private:
    const KVS_HANDLE m_hRenderer;
    const std::vector<uint8_t> m_abFrame;
};
}

namespace
{
// What the display server shows of the widget, not what it would paint
// afresh: only that shows what was left from earlier frames.
QImage OnScreen(const QWidget& widget)
{
    return widget.screen()->grabWindow(widget.winId()).toImage();
}

bool IsBlack(QRgb rgb)
{
    return qRed(rgb) < 20 && qGreen(rgb) < 20 && qBlue(rgb) < 20;
}

bool IsRed(QRgb rgb)
{
    return qRed(rgb) > 200 && qGreen(rgb) < 60 && qBlue(rgb) < 60;
}

bool IsBlue(QRgb rgb)
{
    return qRed(rgb) < 60 && qGreen(rgb) < 60 && qBlue(rgb) > 200;
}
}

class TestRenderWidget : public QObject
{
    Q_OBJECT

private slots:
    void pictureOnlyOnceShown()
    {
        QWidget window;
        window.resize(400, 300);
        QVBoxLayout* pLayout = new QVBoxLayout(&window);
        CRenderWidget* pPreview = new CRenderWidget(&window);
        pLayout->addWidget(pPreview);
        CDrawer drawer(*pPreview);
        QVERIFY(drawer.IsValid());

        QVERIFY(drawer.Draw());
        QVERIFY(!pPreview->IsShownToUser());
        QVERIFY(!pPreview->HasPicture());

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(pPreview->IsShownToUser());
        QVERIFY(drawer.Draw());
        QVERIFY(pPreview->HasPicture());
        // What the user sees in the middle is the green of the frame.
        QTRY_VERIFY([pPreview] {
            const QImage image = pPreview->grab().toImage();
            const QRgb rgb = image.pixel(image.width() / 2, image.height() / 2);
            return qRed(rgb) < 20 && qGreen(rgb) > 235 && qBlue(rgb) < 20;
        }());

        pPreview->hide();
        pPreview->ClearPicture();
        QVERIFY(drawer.Draw());
        QVERIFY(!pPreview->HasPicture());
    }

    // A new picture of the same shape repaints only itself; one of another
    // shape must also repaint the bars, or the old picture's edges stay.
    void barsFollowThePictureShape()
    {
        QWidget window;
        window.resize(400, 400);
        QVBoxLayout* pLayout = new QVBoxLayout(&window);
        pLayout->setContentsMargins(0, 0, 0, 0);
        CRenderWidget* pPreview = new CRenderWidget(&window);
        pLayout->addWidget(pPreview);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(pPreview->IsShownToUser());

        // Wide and red: black above and below, red across the middle.
        const std::vector<uint8_t> abRed = PlainYuyvFrame(640, 360, 81, 90, 240);
        KVS_HANDLE hRenderer =
            KVS_CreateVideoRenderer(nullptr, pPreview->GetWindowHandle(), KVS_COLOR_YUYV, 640, 360, 0, 1);
        QVERIFY(hRenderer);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abRed.data(), 640 * 2, 1));
        const int nMiddle = pPreview->height() / 2;
        QTRY_VERIFY(IsRed(OnScreen(*pPreview).pixel(5, nMiddle)));
        QVERIFY(IsBlack(OnScreen(*pPreview).pixel(5, 5)));

        // Tall and blue: the red left and right of it becomes black.
        const std::vector<uint8_t> abBlue = PlainYuyvFrame(180, 360, 41, 240, 110);
        QVERIFY(
            KVS_ResetVideoRenderer(hRenderer, nullptr, pPreview->GetWindowHandle(), KVS_COLOR_YUYV, 180, 360, 0, 1));
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abBlue.data(), 180 * 2, 1));
        QTRY_VERIFY(IsBlue(OnScreen(*pPreview).pixel(pPreview->width() / 2, nMiddle)));
        QTRY_VERIFY(IsBlack(OnScreen(*pPreview).pixel(5, nMiddle)));
        QVERIFY(IsBlack(OnScreen(*pPreview).pixel(pPreview->width() - 5, nMiddle)));

        // Same shape again, red: only the picture changes.
        const std::vector<uint8_t> abTallRed = PlainYuyvFrame(180, 360, 81, 90, 240);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abTallRed.data(), 180 * 2, 1));
        QTRY_VERIFY(IsRed(OnScreen(*pPreview).pixel(pPreview->width() / 2, nMiddle)));
        QVERIFY(IsBlack(OnScreen(*pPreview).pixel(5, nMiddle)));
        KVS_DestroyVideoRenderer(hRenderer);
    }

    // Repaints wait a little to be done together; a widget closed meanwhile
    // is left out, and the others still get their pictures.
    void widgetGoneWhileItsRepaintWaits()
    {
        // Placed by hand: a layout would give the room of the widget that
        // goes to the other, whose picture then waits for the next frame.
        QWidget window;
        window.resize(400, 300);
        CRenderWidget* pStays = new CRenderWidget(&window);
        CRenderWidget* pGoes = new CRenderWidget(&window);
        pStays->setGeometry(0, 0, 400, 150);
        pGoes->setGeometry(0, 150, 400, 150);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        {
            CDrawer drawerGoes(*pGoes);
            QVERIFY(drawerGoes.Draw());
        }
        CDrawer drawerStays(*pStays);
        QVERIFY(drawerStays.Draw());
        // The queued notice arrives, the repaint is put off; then the widget
        // goes before the batch is painted.
        QCoreApplication::processEvents();
        delete pGoes;
        QTRY_VERIFY([pStays] {
            const QRgb rgb = OnScreen(*pStays).pixel(pStays->width() / 2, pStays->height() / 2);
            return qRed(rgb) < 20 && qGreen(rgb) > 235 && qBlue(rgb) < 20;
        }());
    }

    void noPictureOnABackgroundTab()
    {
        QTabWidget tabs;
        tabs.resize(400, 300);
        CRenderWidget* pFront = new CRenderWidget;
        CRenderWidget* pBack = new CRenderWidget;
        tabs.addTab(pFront, QStringLiteral("front"));
        tabs.addTab(pBack, QStringLiteral("back"));
        tabs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tabs));
        CDrawer drawerFront(*pFront);
        CDrawer drawerBack(*pBack);

        QVERIFY(drawerFront.Draw());
        QVERIFY(drawerBack.Draw());
        QVERIFY(pFront->HasPicture());
        QVERIFY(!pBack->HasPicture());

        tabs.setCurrentIndex(1);
        pFront->ClearPicture();
        QVERIFY(drawerFront.Draw());
        QVERIFY(drawerBack.Draw());
        QVERIFY(!pFront->HasPicture());
        QVERIFY(pBack->HasPicture());
    }

    void noPictureWhileMinimised()
    {
        QWidget window;
        window.resize(400, 300);
        QVBoxLayout* pLayout = new QVBoxLayout(&window);
        CRenderWidget* pPreview = new CRenderWidget(&window);
        pLayout->addWidget(pPreview);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CDrawer drawer(*pPreview);

        window.showMinimized();
        QTRY_VERIFY(!pPreview->IsShownToUser());
        QVERIFY(drawer.Draw());
        QVERIFY(!pPreview->HasPicture());

        window.showNormal();
        QTRY_VERIFY(pPreview->IsShownToUser());
        QVERIFY(drawer.Draw());
        QVERIFY(pPreview->HasPicture());
    }
};

QTEST_MAIN(TestRenderWidget)
#include "tst_ui_renderwidget.moc"
