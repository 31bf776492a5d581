// A render widget takes pictures only while the user can see it: not before
// it is shown, not on a tab in the background, not while its window is
// minimised; and what it paints is the picture it was handed.
#include "media/KVStream.h"
#include "ui/windows/CRenderWidget.h"

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
    std::vector<uint8_t> abFrame(size_t(FRAME_WIDTH) * FRAME_HEIGHT * 2);
    for (size_t i = 0; i < abFrame.size(); i += 4)
    {
        abFrame[i] = 145;
        abFrame[i + 1] = 54;
        abFrame[i + 2] = 145;
        abFrame[i + 3] = 34;
    }
    return abFrame;
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
