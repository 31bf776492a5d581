// The mixer's life in the engine: every operation without a mixer, failed
// creation, and rebuilding the output again and again while channels
// capture and the picture is being changed (also run under ThreadSanitizer).
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "TestFrameSink.h"
#include "TestRenderTarget.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const int SIZE_320X240 = 18;
const int RATE_25 = 2;
const int DURATION_25 = 400000;

const KVS_WINDOW PREVIEW_WINDOW = 0x8b0001;
const KVS_WINDOW CHANNEL_WINDOW = 0x8b0002;
const KVS_WINDOW SCREEN_WINDOW = 0x8b0003;

const char* const DEVICES = "One;Two;Three;Four";
const QString FONT = QStringLiteral("DejaVu Sans");
}

class TestEngineMixerLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void withoutMixerNothingHappens();
    void failedCreationLeavesNoMixer();
    void rebuildWhileCapturing();
    void uninitEndsTheMixer();

private:
    void WaitFrames(int nCount);

    CTestRenderTarget* m_pPreview = nullptr;
    CTestRenderTarget* m_pChannelWindow = nullptr;
    CTestRenderTarget* m_pScreen = nullptr;
    CTestFrameSink* m_pSink = nullptr;
    QTemporaryDir m_dir;
};

void TestEngineMixerLifecycle::init()
{
    qputenv("VISTREL_VIRTUAL_VIDEO", DEVICES);
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
    QVERIFY(g_capture.Init());
    m_pPreview = new CTestRenderTarget(PREVIEW_WINDOW, 320, 240);
    m_pChannelWindow = new CTestRenderTarget(CHANNEL_WINDOW, 80, 60);
    m_pScreen = new CTestRenderTarget(SCREEN_WINDOW, 100, 75);
    m_pSink = new CTestFrameSink();
}

void TestEngineMixerLifecycle::cleanup()
{
    g_capture.Uninit();
    delete m_pSink;
    m_pSink = nullptr;
    delete m_pScreen;
    m_pScreen = nullptr;
    delete m_pChannelWindow;
    m_pChannelWindow = nullptr;
    delete m_pPreview;
    m_pPreview = nullptr;
}

void TestEngineMixerLifecycle::WaitFrames(int nCount)
{
    const int nFrames = m_pSink->Frames();
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Frames() >= nFrames + nCount, 20000);
}

void TestEngineMixerLifecycle::withoutMixerNothingHappens()
{
    QVERIFY(g_capture.OpenChannel(0, 0, CHANNEL_WINDOW));
    CKVChannel* pChannel = g_capture.GetChannel(0);
    const KVS_HANDLE hCapture = pChannel->GetCaptureHandle();
    QVERIFY(!g_capture.HasMixer());

    QCOMPARE(g_capture.Snapshot(m_dir.filePath(QStringLiteral("x.jpg")), 75), 0);
    g_capture.PlaceChannel(0, 0, 0, 160, 120, 255, 0);
    g_capture.StartTransition(1, 0, 800000);
    g_capture.RemoveMixerChannel(0);
    QVERIFY(!g_capture.IsChannelPlaced(0));
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    // The channel was not touched: same capture, still at the output size.
    QCOMPARE(pChannel->GetCaptureHandle(), hCapture);
    QVERIFY(pChannel->IsStarted());
    QCOMPARE(pChannel->GetWidth(), 320);

    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QString strLogo = m_dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(image.save(strLogo));
    QVERIFY(!g_capture.SetLogo(strLogo, 0, 50));
    QVERIFY(!g_capture.SetCaption(QStringLiteral("text"), FONT, false, false, false, 20, 0, 0, 0, 0xFFFFFF));
    QVERIFY(!g_capture.SetClock(QStringLiteral("12:00"), FONT, false, false, false, 20, 0, 0, 0, 0xFFFFFF, true, 0));
    int nX = 0;
    int nY = 0;
    g_capture.GetClockPosition(nX, nY);
    QCOMPARE(QPoint(nX, nY), QPoint(10, 10));
    g_capture.RemoveLogo();
    g_capture.RemoveCaption();
    g_capture.RemoveClock();
    g_capture.UpdatePreviewRenderer();
    g_capture.RepaintPreview();
    g_capture.UpdateScreenTabRenderer();
    g_capture.EnableScreenTabDraw(true);
    g_capture.DestroyMixer();
    g_capture.DestroyMixer();
    QVERIFY(!g_capture.HasMixer());

    // A Screen tab that came first gets its renderer with the mixer.
    g_capture.CreateScreenTabRenderer(SCREEN_WINDOW);
    QCOMPARE(m_pScreen->GetFrameCount(), 0);
    QVERIFY(g_capture.CreateMixer(320, 240, DURATION_25, PREVIEW_WINDOW));
    QTRY_VERIFY_WITH_TIMEOUT(m_pScreen->GetFrameCount() >= 2, 20000);
}

void TestEngineMixerLifecycle::failedCreationLeavesNoMixer()
{
    // A size no output could have is taken for a corrupt request.
    QVERIFY(!g_capture.CreateMixer(8194, 240, DURATION_25, PREVIEW_WINDOW));
    QVERIFY(!g_capture.HasMixer());
    QVERIFY(!g_capture.CreateMixer(320, 240, 0, PREVIEW_WINDOW));
    QVERIFY(!g_capture.HasMixer());
    QCOMPARE(g_capture.Snapshot(m_dir.filePath(QStringLiteral("x.jpg")), 75), 0);

    // A second creation replaces the first mixer instead of leaking it: only
    // one mixer feeds the preview afterwards.
    QVERIFY(g_capture.CreateMixer(320, 240, DURATION_25, PREVIEW_WINDOW));
    QVERIFY(g_capture.CreateMixer(160, 120, DURATION_25, PREVIEW_WINDOW));
    QCOMPARE(g_capture.GetOutputWidth(), 160);
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Latest().nWidth == 160, 20000);
    std::atomic<int> nOtherFrames{0};
    CTestFrameSink* pSink = m_pSink;
    m_pSink->SetHook([&nOtherFrames, pSink] {
        if (pSink->Latest().nWidth != 160)
            ++nOtherFrames;
    });
    WaitFrames(10);
    m_pSink->SetHook(nullptr);
    QCOMPARE(nOtherFrames.load(), 0);
    QCOMPARE(m_pSink->Latest().nWidth, 160);
}

void TestEngineMixerLifecycle::rebuildWhileCapturing()
{
    for (int nChannel = 0; nChannel < 4; ++nChannel)
        QVERIFY(g_capture.OpenChannel(nChannel, nChannel, CHANNEL_WINDOW));
    QImage image(31, 17, QImage::Format_ARGB32);
    image.fill(Qt::yellow);
    const QString strLogo = m_dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(image.save(strLogo));
    g_capture.CreateScreenTabRenderer(SCREEN_WINDOW);
    g_capture.EnableScreenTabDraw(true);

    for (int nRound = 0; nRound < 6; ++nRound)
    {
        const int nWidth = nRound % 2 ? 320 : 160;
        const int nHeight = nRound % 2 ? 240 : 120;
        QVERIFY(g_capture.CreateMixer(nWidth, nHeight, DURATION_25, PREVIEW_WINDOW));
        QVERIFY(g_capture.SetLogo(strLogo, nRound % 4, nRound * 20));
        QVERIFY(g_capture.SetCaption(QStringLiteral("Round %1").arg(nRound), FONT, nRound % 2, false, true, 16, 1,
                                     nRound % 6, 0, 0xFFFFFF));
        QVERIFY(g_capture.SetClock(QStringLiteral("12:00:0%1").arg(nRound), FONT, false, false, false, 16, 0, 5, 0,
                                   0x00FFFF, true, 0));
        g_capture.PlaceChannel(0, 0, 0, nWidth, nHeight, 255, 0);
        g_capture.PlaceChannel(1, nWidth / 2, nHeight / 2, nWidth / 2, nHeight / 2, 255, 1);
        WaitFrames(2);

        // Change the picture while the mixer thread is fading: placements,
        // removals and fades racing the tick handler.
        g_capture.StartTransition(0, 2, 1);
        for (int i = 0; i < 5; ++i)
        {
            g_capture.PlaceChannel(3, 0, 0, nWidth / 4, nHeight / 4, 200, 0);
            g_capture.SetClock(QStringLiteral("12:00:1%1").arg(i), FONT, false, false, false, 16, 0, 5, 0, 0x00FFFF,
                               false, 0);
            g_capture.RemoveMixerChannel(3);
            QTest::qWait(10);
        }
        g_capture.StartTransition(2, 3, 2 * DURATION_25);
        WaitFrames(3);
        if (nRound == 2)
        {
            // Closing a channel in the middle of everything.
            g_capture.CloseChannel(1);
            QVERIFY(!g_capture.IsChannelPlaced(1));
            QVERIFY(g_capture.OpenChannel(1, 1, CHANNEL_WINDOW));
        }
        QVERIFY(g_capture.Snapshot(m_dir.filePath(QStringLiteral("round%1.jpg").arg(nRound)), 75));
        g_capture.DestroyMixer();
        QVERIFY(!g_capture.HasMixer());
        for (int nChannel = 0; nChannel < 4; ++nChannel)
        {
            QVERIFY(!g_capture.IsChannelPlaced(nChannel));
            QVERIFY(g_capture.GetChannel(nChannel)->IsStarted());
        }
        QCOMPARE(g_capture.GetTransitionProgress(), -1);
    }

    // Every snapshot asked for was written and decodes.
    for (int nRound = 0; nRound < 6; ++nRound)
    {
        QImage shot;
        QVERIFY2(shot.load(m_dir.filePath(QStringLiteral("round%1.jpg").arg(nRound))),
                 qPrintable(QString::number(nRound)));
        QCOMPARE(shot.width(), nRound % 2 ? 320 : 160);
    }
    QVERIFY(m_pScreen->GetFrameCount() > 0);
}

void TestEngineMixerLifecycle::uninitEndsTheMixer()
{
    QVERIFY(g_capture.OpenChannel(0, 0, CHANNEL_WINDOW));
    QVERIFY(g_capture.CreateMixer(320, 240, DURATION_25, PREVIEW_WINDOW));
    g_capture.PlaceChannel(0, 0, 0, 320, 240, 255, 0);
    g_capture.StartTransition(0, 1, 1);
    WaitFrames(3);

    g_capture.Uninit();
    QVERIFY(!g_capture.HasMixer());
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    // No frame comes after the engine has shut down.
    const int nFrames = m_pSink->Frames();
    const int nPreviewFrames = m_pPreview->GetFrameCount();
    QTest::qWait(300);
    QCOMPARE(m_pSink->Frames(), nFrames);
    QCOMPARE(m_pPreview->GetFrameCount(), nPreviewFrames);

    // The engine starts again with a fresh mixer.
    QVERIFY(g_capture.Init());
    QVERIFY(g_capture.CreateMixer(320, 240, DURATION_25, PREVIEW_WINDOW));
    WaitFrames(2);
}

QTEST_MAIN(TestEngineMixerLifecycle)
#include "tst_engine_mixer_lifecycle.moc"
