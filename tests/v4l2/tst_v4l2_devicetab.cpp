// The Device tab in a main window on emulated cameras: a camera unplugged
// while the program runs is told apart from a channel that never had one,
// on its preview and in the status bar, until it is plugged back.
#include "ui/tabs/CTabPreview.h"
#include "ui/windows/CVideoWnd.h"
#include "NullRecordNotify.h"
#include "V4l2EmuControl.h"
#include "../ui/UiTestUtil.h"

#include <QImage>
#include <QMainWindow>
#include <QtTest>

namespace
{
// The cameras (tests/v4l2/CMakeLists.txt): Desk Cam and Room Cam.
const int ROOM_CAM = 1;

// The engine polls the devices on the user-interface thread.
class CRefreshNotify : public CNullRecordNotify
{
public:
    void OnDevicesChanged() override
    {
        if (m_pTab)
            m_pTab->RefreshChannelStatus();
    }
    CTabPreview* m_pTab = nullptr;
};

// Pixels of the placeholder's text: the placeholder itself is pure blue.
int WhitePixels(QWidget* pWidget)
{
    const QImage image = pWidget->grab().toImage();
    int nWhite = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
        {
            const QColor color = image.pixelColor(x, y);
            if (color.red() > 200 && color.green() > 200 && color.blue() > 200)
                ++nWhite;
        }
    return nWhite;
}
}

class TestV4l2DeviceTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(V4l2Emu::IsLoaded(), "the camera emulation is not preloaded");
        UiTest::ResetSettings();
        QVERIFY(g_capture.Init());
        g_capture.AddNotify(&m_notify);
        g_settings.LoadAssignments(g_capture.GetOrderedDeviceCount(),
                                   [](int nDevice) { return g_capture.IsDeviceOrdered(nDevice); });
        QVERIFY2(g_layout.Load(), "vtlayout.ini must lie beside the test");
    }

    void cleanupTestCase()
    {
        g_capture.Uninit();
        g_capture.RemoveNotify(&m_notify);
    }

    void unpluggedCameraSaysNoSignal()
    {
        std::unique_ptr<CVideoWnd> pOutput = UiTest::StartOutput();
        QVERIFY(pOutput);
        QMainWindow window;
        CTabPreview* pTab = new CTabPreview(&window);
        window.setCentralWidget(pTab);
        window.show();
        m_notify.m_pTab = pTab;

        CVideoWnd* pVideo = nullptr;
        for (CVideoWnd* pWnd : pTab->findChildren<CVideoWnd*>())
        {
            const CKVChannel* pChannel = g_capture.GetChannel(pWnd->GetChannel());
            if (pChannel && pChannel->GetDeviceIndex() == ROOM_CAM)
                pVideo = pWnd;
        }
        QVERIFY(pVideo);
        const CKVChannel* pChannel = g_capture.GetChannel(pVideo->GetChannel());
        QTRY_VERIFY_WITH_TIMEOUT(pChannel->IsStarted() && !pVideo->IsPlaceholder(), UiTest::WAIT_MS);
        QVERIFY(UiTest::LastingText(&window).isEmpty());

        QVERIFY(V4l2Emu::SetPlugged(ROOM_CAM, false));
        const QString strMessage =
            QStringLiteral("The camera \"Room Cam\" (Video %1) is unplugged: no signal.").arg(pVideo->GetChannel() + 1);
        QTRY_COMPARE_WITH_TIMEOUT(UiTest::LastingText(&window), strMessage, UiTest::WAIT_MS);
        QVERIFY(pVideo->IsPlaceholder());
        QVERIFY(WhitePixels(pVideo) > 0);
        // A channel without a camera keeps the bare placeholder.
        for (CVideoWnd* pWnd : pTab->findChildren<CVideoWnd*>())
        {
            if (!pWnd->IsOutputWindow() && !g_capture.GetChannel(pWnd->GetChannel()))
                QCOMPARE(WhitePixels(pWnd), 0);
        }

        // Back: pictures again, and the complaint is gone.
        QVERIFY(V4l2Emu::SetPlugged(ROOM_CAM, true));
        QTRY_VERIFY_WITH_TIMEOUT(UiTest::LastingText(&window).isEmpty() && !pVideo->IsPlaceholder(), UiTest::WAIT_MS);
        m_notify.m_pTab = nullptr;
        g_capture.Uninit();
    }

private:
    CRefreshNotify m_notify;
};

QTEST_MAIN(TestV4l2DeviceTab)
#include "tst_v4l2_devicetab.moc"
