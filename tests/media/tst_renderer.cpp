// Renderers: frames converted to the target rectangle of a registered
// window, repaint, unregistering, monitor ids, and re-binding while a
// capture thread draws.
#include "CaptureTestUtil.h"
#include "TestTarget.h"
#include "media/KVRenderTarget.h"

#include <QtTest>

#include <atomic>
#include <cstring>

namespace
{
// Left half white, right half black.
QByteArray SplitFrame(int nWidth, int nHeight)
{
    QByteArray ba(nWidth * 2 * nHeight, '\0');
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; ++x)
        {
            char* p = ba.data() + (y * nWidth + x) * 2;
            p[0] = char(x < nWidth / 2 ? 235 : 16);
            p[1] = char(128);
        }
    return ba;
}

const uint8_t* Bytes(const QByteArray& ba)
{
    return reinterpret_cast<const uint8_t*>(ba.constData());
}

bool SameRect(const KVS_RECT& rc1, const KVS_RECT& rc2)
{
    return rc1.nLeft == rc2.nLeft && rc1.nTop == rc2.nTop && rc1.nRight == rc2.nRight && rc1.nBottom == rc2.nBottom;
}

struct SDrawer
{
    std::atomic<KVS_HANDLE> hRenderer{nullptr};
    std::atomic<int> nDrawn{0};
};

void OnFrameDraw(const uint8_t* pFrame, int nStride, void* pUser)
{
    auto* pDrawer = static_cast<SDrawer*>(pUser);
    if (KVS_VideoRendererDrawImage(pDrawer->hRenderer, pFrame, nStride, 1))
        pDrawer->nDrawn++;
}

constexpr KVS_WINDOW WINDOW_A = 0x5001;
constexpr KVS_WINDOW WINDOW_B = 0x5002;
}

class TestRenderer : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        KVS_UnregisterRenderTarget(WINDOW_A);
        KVS_UnregisterRenderTarget(WINDOW_B);
    }

    void framesAreScaledToTheTargetRectangle()
    {
        CTestTarget target({0, 0, 200, 100});
        KVS_RegisterRenderTarget(WINDOW_A, &target);
        const KVS_HANDLE hRenderer = KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, 320, 240, 0, 1);
        QVERIFY(hRenderer);
        const QByteArray baFrame = SplitFrame(320, 240);

        // No position set: the whole client rectangle, of which a 4:3
        // picture fills the middle 133 x 100.
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 640, 1));
        QCOMPARE(target.Presented(), 1);
        QImage image = target.LastImage();
        QCOMPARE(image.size(), QSize(133, 100));
        QVERIFY(SameRect(target.LastRect(), {33, 0, 166, 100}));
        QVERIFY(qGray(image.pixel(20, 50)) > 230);
        QVERIFY(qGray(image.pixel(110, 50)) < 25);

        const KVS_RECT rcPart{10, 20, 110, 95};
        QVERIFY(KVS_SetVideoRendererPosition(hRenderer, nullptr, &rcPart));
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 640, 1));
        QCOMPARE(target.LastImage().size(), QSize(100, 75));
        QVERIFY(SameRect(target.LastRect(), rcPart));

        // Back to the client rectangle, which follows the window.
        target.SetClientRect({0, 0, 300, 225});
        QVERIFY(KVS_SetVideoRendererPosition(hRenderer, nullptr, nullptr));
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 640, 1));
        QCOMPARE(target.LastImage().size(), QSize(300, 225));

        // A padded source line is honoured.
        QByteArray baPadded(800 * 240, '\0');
        for (int y = 0; y < 240; ++y)
            std::memcpy(baPadded.data() + y * 800, baFrame.constData() + y * 640, 640);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(baPadded), 800, 1));
        QVERIFY(qGray(target.LastImage().pixel(20, 75)) > 230);
        QVERIFY(qGray(target.LastImage().pixel(280, 75)) < 25);

        // A collapsed rectangle draws nothing but is no error.
        target.SetClientRect({0, 0, 0, 0});
        const int nBefore = target.Presented();
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 640, 1));
        QCOMPARE(target.Presented(), nBefore);
        QVERIFY(KVS_DestroyVideoRenderer(hRenderer));
    }

    // A window of another shape than the picture: the picture centred at
    // its own aspect ratio, leaving bars at the sides or above and below.
    // Odd widths and a source rectangle go the same way.
    void pictureKeepsItsAspectRatioWithBlackBars_data()
    {
        QTest::addColumn<int>("nWidth");
        QTest::addColumn<int>("nHeight");
        QTest::addColumn<QRect>("rcSource");
        QTest::addColumn<QRect>("rcClient");
        QTest::addColumn<QRect>("rcPicture");
        QTest::newRow("4:3 in a wide window")
            << 320 << 240 << QRect() << QRect(0, 0, 400, 150) << QRect(100, 0, 200, 150);
        QTest::newRow("16:9 in a tall window")
            << 320 << 180 << QRect() << QRect(0, 0, 160, 200) << QRect(0, 55, 160, 90);
        QTest::newRow("same shape") << 320 << 240 << QRect() << QRect(0, 0, 160, 120) << QRect(0, 0, 160, 120);
        QTest::newRow("odd width") << 321 << 107 << QRect() << QRect(0, 0, 321, 321) << QRect(0, 107, 321, 107);
        QTest::newRow("source rectangle")
            << 320 << 240 << QRect(0, 40, 320, 160) << QRect(0, 0, 300, 300) << QRect(0, 75, 300, 150);
    }

    void pictureKeepsItsAspectRatioWithBlackBars()
    {
        QFETCH(int, nWidth);
        QFETCH(int, nHeight);
        QFETCH(QRect, rcSource);
        QFETCH(QRect, rcClient);
        QFETCH(QRect, rcPicture);
        CTestTarget target({rcClient.left(), rcClient.top(), rcClient.right() + 1, rcClient.bottom() + 1});
        KVS_RegisterRenderTarget(WINDOW_A, &target);
        const KVS_HANDLE hRenderer = KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, nWidth, nHeight, 0, 1);
        QVERIFY(hRenderer);
        if (!rcSource.isNull())
        {
            const KVS_RECT rc{rcSource.left(), rcSource.top(), rcSource.right() + 1, rcSource.bottom() + 1};
            QVERIFY(KVS_SetVideoRendererPosition(hRenderer, &rc, nullptr));
        }
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(SplitFrame(nWidth, nHeight)), nWidth * 2, 1));
        const KVS_RECT rcLast = target.LastRect();
        QCOMPARE(QRect(rcLast.nLeft, rcLast.nTop, rcLast.nRight - rcLast.nLeft, rcLast.nBottom - rcLast.nTop),
                 rcPicture);
        // Scaled whole, not cropped: white left half, black right half.
        const QImage image = target.LastImage();
        QCOMPARE(image.size(), rcPicture.size());
        QVERIFY(qGray(image.pixel(image.width() / 4, image.height() / 2)) > 230);
        QVERIFY(qGray(image.pixel(image.width() * 3 / 4, image.height() / 2)) < 25);
        KVS_DestroyVideoRenderer(hRenderer);
    }

    // A target whose rectangle the user shapes (the projection) gets the
    // picture stretched over all of it, whatever the two shapes.
    void pictureFillsATargetThatAsksForIt_data()
    {
        QTest::addColumn<QRect>("rcTarget");
        QTest::newRow("band") << QRect(0, 150, 1920, 540);
        QTest::newRow("tall") << QRect(700, 0, 300, 1000);
    }

    void pictureFillsATargetThatAsksForIt()
    {
        QFETCH(QRect, rcTarget);
        CTestTarget target({0, 0, 1920, 1080});
        target.SetKeepAspectRatio(false);
        KVS_RegisterRenderTarget(WINDOW_A, &target);
        const KVS_HANDLE hRenderer = KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, 320, 240, 0, 1);
        QVERIFY(hRenderer);
        const KVS_RECT rc{rcTarget.left(), rcTarget.top(), rcTarget.right() + 1, rcTarget.bottom() + 1};
        QVERIFY(KVS_SetVideoRendererPosition(hRenderer, nullptr, &rc));
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(SplitFrame(320, 240)), 640, 1));
        QVERIFY(SameRect(target.LastRect(), rc));
        const QImage image = target.LastImage();
        QCOMPARE(image.size(), rcTarget.size());
        // White left half, black right half, each over half the width.
        QVERIFY(qGray(image.pixel(2, image.height() / 2)) > 230);
        QVERIFY(qGray(image.pixel(image.width() / 2 - 4, image.height() / 2)) > 230);
        QVERIFY(qGray(image.pixel(image.width() / 2 + 4, image.height() / 2)) < 25);
        QVERIFY(qGray(image.pixel(image.width() - 3, image.height() / 2)) < 25);
        KVS_DestroyVideoRenderer(hRenderer);
    }

    void repaintPresentsTheLastPictureAgain()
    {
        CTestTarget target({0, 0, 160, 120});
        KVS_RegisterRenderTarget(WINDOW_A, &target);
        const KVS_HANDLE hRenderer = KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, 320, 240, 0, 1);
        // Nothing drawn yet: nothing to repaint.
        QVERIFY(KVS_VideoRendererRepaintRect(hRenderer, nullptr));
        QCOMPARE(target.Presented(), 0);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(SplitFrame(320, 240)), 640, 1));
        const QImage imageDrawn = target.LastImage();
        QVERIFY(KVS_VideoRendererRepaintRect(hRenderer, nullptr));
        QCOMPARE(target.Presented(), 2);
        QCOMPARE(target.LastImage(), imageDrawn);
        KVS_DestroyVideoRenderer(hRenderer);
        QVERIFY(!KVS_VideoRendererRepaintRect(hRenderer, nullptr));
    }

    void unregisteredWindowsReceiveNothing()
    {
        CTestTarget target({0, 0, 160, 120});
        const KVS_HANDLE hRenderer = KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, 320, 240, 0, 1);
        const QByteArray baFrame = SplitFrame(320, 240);
        // Drawing for a window nobody registered is fine and goes nowhere.
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 640, 1));
        KVS_RegisterRenderTarget(WINDOW_A, &target);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 640, 1));
        QCOMPARE(target.Presented(), 1);
        KVS_UnregisterRenderTarget(WINDOW_A);
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 640, 1));
        QVERIFY(KVS_VideoRendererRepaintRect(hRenderer, nullptr));
        QCOMPARE(target.Presented(), 1);

        // Re-bound to another window, it draws there.
        CTestTarget targetB({0, 0, 64, 48});
        KVS_RegisterRenderTarget(WINDOW_B, &targetB);
        QVERIFY(KVS_ResetVideoRenderer(hRenderer, nullptr, WINDOW_B, KVS_COLOR_YUYV, 160, 120, 0, 1));
        QVERIFY(KVS_VideoRendererDrawImage(hRenderer, Bytes(SplitFrame(160, 120)), 320, 1));
        QCOMPARE(targetB.LastImage().size(), QSize(64, 48));
        QCOMPARE(target.Presented(), 1);
        KVS_DestroyVideoRenderer(hRenderer);
    }

    void badArgumentsAreRefused()
    {
        QVERIFY(!KVS_CreateVideoRenderer(nullptr, WINDOW_A, 1, 320, 240, 0, 1));
        QVERIFY(!KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, 8194, 240, 0, 1));
        QVERIFY(!KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, 320, 0, 0, 1));
        const KVS_HANDLE hRenderer = KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, 320, 240, 0, 1);
        QVERIFY(!KVS_VideoRendererDrawImage(hRenderer, nullptr, 640, 1));
        const QByteArray baFrame = SplitFrame(320, 240);
        QVERIFY(!KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 638, 1));
        QVERIFY(!KVS_ResetVideoRenderer(hRenderer, nullptr, WINDOW_A, KVS_COLOR_YUYV, -2, 240, 0, 1));
        QVERIFY(KVS_DestroyVideoRenderer(hRenderer));
        QVERIFY(!KVS_DestroyVideoRenderer(hRenderer));
        QVERIFY(!KVS_VideoRendererDrawImage(hRenderer, Bytes(baFrame), 640, 1));
        QVERIFY(!KVS_SetVideoRendererPosition(hRenderer, nullptr, nullptr));
        QVERIFY(!KVS_VideoRendererDrawImage(nullptr, Bytes(baFrame), 640, 1));
    }

    void monitorIdAndClientRectComeFromTheTarget()
    {
        CTestTarget targetA({0, 0, 640, 360});
        CTestTarget targetB({0, 0, 10, 10}, QStringLiteral("screen-B 1920,0 1280x1024"));
        KVS_GUID guidA, guidA2, guidB;
        QVERIFY(!KVS_GetMonitorGUIDFromWindow(WINDOW_A, &guidA));
        KVS_RECT rc;
        QVERIFY(!KVS_GetWindowClientRect(WINDOW_A, &rc));

        KVS_RegisterRenderTarget(WINDOW_A, &targetA);
        KVS_RegisterRenderTarget(WINDOW_B, &targetB);
        QVERIFY(KVS_GetMonitorGUIDFromWindow(WINDOW_A, &guidA));
        QVERIFY(KVS_GetMonitorGUIDFromWindow(WINDOW_A, &guidA2));
        QVERIFY(KVS_GetMonitorGUIDFromWindow(WINDOW_B, &guidB));
        QVERIFY(std::memcmp(&guidA, &guidA2, sizeof(KVS_GUID)) == 0);
        QVERIFY(std::memcmp(&guidA, &guidB, sizeof(KVS_GUID)) != 0);
        QVERIFY(KVS_GetWindowClientRect(WINDOW_A, &rc));
        QVERIFY(SameRect(rc, {0, 0, 640, 360}));
        QVERIFY(!KVS_GetWindowClientRect(WINDOW_A, nullptr));
    }

    // The engine's preview path: the capture thread draws every frame while
    // the user-interface thread re-binds, moves and re-registers.
    void rebindingWhileACaptureThreadDraws()
    {
        qputenv("VISTREL_VIRTUAL_VIDEO", "1");
        QVERIFY(KVS_Initialize());
        CTestTarget targetA({0, 0, 320, 180});
        CTestTarget targetB({0, 0, 200, 200});
        KVS_RegisterRenderTarget(WINDOW_A, &targetA);
        KVS_RegisterRenderTarget(WINDOW_B, &targetB);

        SDrawer drawer;
        drawer.hRenderer = KVS_CreateVideoRenderer(nullptr, WINDOW_A, KVS_COLOR_YUYV, 320, 240, 0, 1);
        const KVS_HANDLE hCapture = OpenDevice(0);
        QVERIFY(hCapture);
        QVERIFY(KVS_SetVideoCaptureCallback(hCapture, OnFrameDraw, &drawer));
        QVERIFY(KVS_SetVideoCaptureFormat(hCapture, KVS_COLOR_YUYV, 320, 240, 100000));
        QVERIFY(KVS_StartVideoCapture(hCapture));
        QTRY_VERIFY_WITH_TIMEOUT(drawer.nDrawn > 0, 10000);

        for (int i = 0; i < 60; ++i)
        {
            const KVS_RECT rc{i, i, 100 + 3 * i, 80 + 2 * i};
            KVS_SetVideoRendererPosition(drawer.hRenderer, nullptr, i % 3 ? &rc : nullptr);
            KVS_ResetVideoRenderer(drawer.hRenderer, nullptr, i % 2 ? WINDOW_B : WINDOW_A, KVS_COLOR_YUYV, 320, 240, 0,
                                   1);
            KVS_VideoRendererRepaintRect(drawer.hRenderer, nullptr);
            if (i % 10 == 5)
            {
                KVS_UnregisterRenderTarget(WINDOW_B);
                KVS_RegisterRenderTarget(WINDOW_B, &targetB);
            }
            targetA.SetClientRect({0, 0, 320 - i, 180 + i});
            QTest::qWait(5);
        }
        QVERIFY(targetA.Presented() > 0);
        QVERIFY(targetB.Presented() > 0);

        // Unregistered targets get nothing more, even with frames in flight.
        KVS_UnregisterRenderTarget(WINDOW_A);
        KVS_UnregisterRenderTarget(WINDOW_B);
        const int nA = targetA.Presented();
        const int nB = targetB.Presented();
        const int nDrawn = drawer.nDrawn;
        QTRY_VERIFY_WITH_TIMEOUT(drawer.nDrawn > nDrawn + 3, 10000);
        QCOMPARE(targetA.Presented(), nA);
        QCOMPARE(targetB.Presented(), nB);

        // Destroying the renderer under a drawing capture is refused calmly.
        KVS_HANDLE hOld = drawer.hRenderer.exchange(nullptr);
        QVERIFY(KVS_DestroyVideoRenderer(hOld));
        QVERIFY(KVS_CloseVideoCapture(hCapture));
        KVS_Uninitialize();
    }
};

QTEST_MAIN(TestRenderer)
#include "tst_renderer.moc"
