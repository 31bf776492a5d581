// Preview pictures of an unchanged shape go from the drawing thread straight
// to the X server, with no event handled on the user-interface thread, and
// stay out of what a window paints over them. Read back from the server on
// an Xvfb of the test's own.
#include "PlainYuyvFrame.h"
#include "PrivateXvfb.h"
#include "common/TallyFile.h"
#include "media/KVStream.h"
#include "ui/windows/CVideoWnd.h"

#include <QApplication>
#include <QScreen>
#include <QThread>
#include <QtTest>

#include <cstdlib>
#include <vector>

namespace
{
// Generous: the machine may be busy with other builds.
const int WAIT_MS = 20000;

// What the server shows at pt of the widget, whoever drew it.
QRgb OnScreen(const QWidget& widget, const QPoint& pt)
{
    return widget.screen()->grabWindow(widget.winId(), pt.x(), pt.y(), 1, 1).toImage().pixel(0, 0);
}

bool IsRed(QRgb rgb)
{
    return qRed(rgb) > 180 && qGreen(rgb) < 60 && qBlue(rgb) < 60;
}

bool IsGreen(QRgb rgb)
{
    return qRed(rgb) < 60 && qGreen(rgb) > 180 && qBlue(rgb) < 60;
}

bool IsBlue(QRgb rgb)
{
    return qRed(rgb) < 60 && qGreen(rgb) < 60 && qBlue(rgb) > 200;
}

// Polls the server without handling a single event: only a picture put
// there by the drawing thread itself can show up meanwhile.
bool ShowsWithoutEvents(const QWidget& widget, const QPoint& pt, bool (*pfnIs)(QRgb))
{
    for (int i = 0; i < 1000; ++i)
    {
        if (pfnIs(OnScreen(widget, pt)))
            return true;
        QThread::msleep(20);
    }
    return false;
}
}

class TestDirectPaint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QFAIL("no private X server");
    }

    void picturesBypassTheEventLoopInsideTheTallyFrame()
    {
        CVideoWnd wnd(CVideoWnd::OUTPUT_CHANNEL, nullptr);
        wnd.resize(320, 180);
        wnd.SetTally(Tally::STATE_PROGRAM);
        wnd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wnd, WAIT_MS));
        QTRY_VERIFY_WITH_TIMEOUT(wnd.IsShownToUser(), WAIT_MS);
        const int nWidth = wnd.width();
        const int nHeight = wnd.height();
        const QPoint ptMiddle(nWidth / 2, nHeight / 2);
        const QPoint ptFrame(1, nHeight / 2);
        KVS_HANDLE hRenderer =
            KVS_CreateVideoRenderer(nullptr, wnd.GetWindowHandle(), KVS_COLOR_YUYV, nWidth, nHeight, 0, 1);
        QVERIFY(hRenderer);

        // The first picture comes through the widget's own painting, which
        // draws the frame over it.
        const std::vector<uint8_t> abGreen = PlainYuyvFrame(nWidth, nHeight, 145, 54, 34);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abGreen.data(), nWidth * 2, 1));
        QTRY_VERIFY_WITH_TIMEOUT(IsGreen(OnScreen(wnd, ptMiddle)), WAIT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(IsRed(OnScreen(wnd, ptFrame)), WAIT_MS);

        const std::vector<uint8_t> abBlue = PlainYuyvFrame(nWidth, nHeight, 41, 240, 110);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abBlue.data(), nWidth * 2, 1));
        QVERIFY(ShowsWithoutEvents(wnd, ptMiddle, IsBlue));
        QVERIFY(IsRed(OnScreen(wnd, ptFrame)));

        // Without the tally the picture reaches the edge.
        wnd.SetTally(Tally::STATE_OFF);
        QTRY_VERIFY_WITH_TIMEOUT(IsBlue(OnScreen(wnd, ptFrame)), WAIT_MS);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, abGreen.data(), nWidth * 2, 1));
        QVERIFY(ShowsWithoutEvents(wnd, ptFrame, IsGreen));
        KVS_DestroyVideoRenderer(hRenderer);
    }

    // A channel's pictures are sent with the output's next one rather than
    // on their own; they must still arrive, with no event handled.
    void channelPicturesGoWithTheOutputs()
    {
        CVideoWnd output(CVideoWnd::OUTPUT_CHANNEL, nullptr);
        CVideoWnd channel(0, nullptr);
        channel.SetPlaceholder(false);
        // Side by side: without a window manager both would open at 0,0.
        output.setGeometry(0, 0, 160, 90);
        channel.setGeometry(300, 0, 160, 90);
        std::vector<KVS_HANDLE> ahRenderers;
        for (CVideoWnd* pWnd : {&output, &channel})
        {
            pWnd->show();
            QVERIFY(QTest::qWaitForWindowExposed(pWnd, WAIT_MS));
            QTRY_VERIFY_WITH_TIMEOUT(pWnd->IsShownToUser(), WAIT_MS);
            ahRenderers.push_back(KVS_CreateVideoRenderer(nullptr, pWnd->GetWindowHandle(), KVS_COLOR_YUYV,
                                                          pWnd->width(), pWnd->height(), 0, 1));
            QVERIFY(ahRenderers.back());
        }
        auto draw = [&](size_t nWnd, const std::vector<uint8_t>& abFrame) {
            return KVS_VideoRendererDrawImage(ahRenderers[nWnd], abFrame.data(), output.width() * 2, 1);
        };
        const std::vector<uint8_t> abGreen = PlainYuyvFrame(output.width(), output.height(), 145, 54, 34);
        const std::vector<uint8_t> abBlue = PlainYuyvFrame(output.width(), output.height(), 41, 240, 110);
        const QPoint ptMiddle(output.width() / 2, output.height() / 2);
        // The first pictures through the widgets' own painting.
        QVERIFY(draw(0, abGreen) && draw(1, abGreen));
        QTRY_VERIFY_WITH_TIMEOUT(IsGreen(OnScreen(output, ptMiddle)), WAIT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(IsGreen(OnScreen(channel, ptMiddle)), WAIT_MS);

        QVERIFY(draw(0, abBlue) && draw(1, abBlue) && draw(0, abGreen));
        QVERIFY(ShowsWithoutEvents(channel, ptMiddle, IsBlue));
        QVERIFY(ShowsWithoutEvents(output, ptMiddle, IsGreen));
        for (KVS_HANDLE hRenderer : ahRenderers)
            KVS_DestroyVideoRenderer(hRenderer);
    }
};

int main(int argc, char* argv[])
{
    static CPrivateXvfb s_xvfb;
    std::atexit([] { s_xvfb.Stop(); });
    if (s_xvfb.Start(QStringLiteral("800x600x24")))
    {
        qputenv("DISPLAY", s_xvfb.GetDisplay().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    int nResult = 0;
    {
        QApplication app(argc, argv);
        TestDirectPaint test;
        nResult = QTest::qExec(&test, argc, argv);
    }
    s_xvfb.Stop();
    return nResult;
}

#include "tst_ui_directpaint.moc"
