// The cross-fade of the single-channel layout, counted on the real mixer
// thread: how many steps it takes, what is left when it ends, and what
// happens when the channels taking part are moved while it runs.
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "TestFrameSink.h"
#include "TestRenderTarget.h"

#include <QtTest>

#include <algorithm>
#include <mutex>
#include <vector>

namespace
{
const int SIZE_320X240 = 18;
const int RATE_30 = 0;
const int RATE_25 = 2;
const int OUTPUT_WIDTH = 320;
const int OUTPUT_HEIGHT = 240;
// A step this small makes a fade that will not end during a test.
const int ENDLESS_STEP = 1;

const KVS_WINDOW PREVIEW_WINDOW = 0x7a0001;
const KVS_WINDOW CHANNEL_WINDOW = 0x7a0002;

const char* const DEVICES = "Red;Green;Blue";

// Every value the transition progress took, as seen after each tick.
class CProgressLog
{
public:
    void Record(int nProgress)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_vecProgress.empty() || m_vecProgress.back() != nProgress)
            m_vecProgress.push_back(nProgress);
    }
    std::vector<int> Get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecProgress;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_vecProgress;
};

QString ListText(const std::vector<int>& vec)
{
    QStringList list;
    for (int n : vec)
        list << QString::number(n);
    return list.join(QStringLiteral(", "));
}
}

class TestEngineTransition : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fadeStepsThenOutgoingRemoved_data();
    void fadeStepsThenOutgoingRemoved();
    void placingAFadingChannelFinishesTheFade();
    void newFadeFinishesTheRunningOne();
    void closingTheIncomingChannelEndsTheFade();
    void fadeFromNothingAndRefusedFades();

private:
    void StartOutput(int nRate, int nDuration);
    // Waits until the sink has seen a few more frames.
    void WaitFrames(int nCount);

    CTestRenderTarget* m_pPreview = nullptr;
    CTestRenderTarget* m_pChannelWindow = nullptr;
    CTestFrameSink* m_pSink = nullptr;
};

void TestEngineTransition::init()
{
    qputenv("VISTREL_VIRTUAL_VIDEO", DEVICES);
    m_pPreview = new CTestRenderTarget(PREVIEW_WINDOW, OUTPUT_WIDTH, OUTPUT_HEIGHT);
    m_pChannelWindow = new CTestRenderTarget(CHANNEL_WINDOW, 80, 60);
    m_pSink = new CTestFrameSink();
}

void TestEngineTransition::cleanup()
{
    g_capture.Uninit();
    delete m_pSink;
    m_pSink = nullptr;
    delete m_pChannelWindow;
    m_pChannelWindow = nullptr;
    delete m_pPreview;
    m_pPreview = nullptr;
}

void TestEngineTransition::StartOutput(int nRate, int nDuration)
{
    g_settings.SetOutputFormat(SIZE_320X240, nRate);
    QVERIFY(g_capture.Init());
    QVERIFY(g_capture.CreateMixer(OUTPUT_WIDTH, OUTPUT_HEIGHT, nDuration, PREVIEW_WINDOW));
    for (int nChannel = 0; nChannel < 3; ++nChannel)
        QVERIFY(g_capture.OpenChannel(nChannel, nChannel, CHANNEL_WINDOW));
}

void TestEngineTransition::WaitFrames(int nCount)
{
    const int nFrames = m_pSink->Frames();
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Frames() >= nFrames + nCount, 20000);
}

void TestEngineTransition::fadeStepsThenOutgoingRemoved_data()
{
    QTest::addColumn<int>("nRate");
    QTest::addColumn<int>("nDuration");
    QTest::addColumn<int>("nSteps");
    QTest::newRow("25 fps") << RATE_25 << 400000 << 13;
    QTest::newRow("30 fps") << RATE_30 << 333333 << 16;
}

void TestEngineTransition::fadeStepsThenOutgoingRemoved()
{
    QFETCH(int, nRate);
    QFETCH(int, nDuration);
    QFETCH(int, nSteps);
    StartOutput(nRate, nDuration);
    QCOMPARE(g_capture.GetFrameDuration(), nDuration);

    g_capture.PlaceChannel(0, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QCOMPARE(g_capture.GetTransitionProgress(), -1);

    CProgressLog log;
    m_pSink->SetHook([&log] { log.Record(g_capture.GetTransitionProgress()); });
    WaitFrames(2);

    const int nStep = 2 * nDuration;
    g_capture.StartTransition(0, 1, nStep);
    QVERIFY(g_capture.IsChannelPlaced(1));
    QCOMPARE(g_capture.GetChannel(1)->GetWidth(), OUTPUT_WIDTH);
    QTRY_VERIFY_WITH_TIMEOUT(!g_capture.IsChannelPlaced(0), 30000);
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    WaitFrames(2);
    m_pSink->SetHook(nullptr);

    // After the n-th tick the progress is n steps; the tick after the last
    // step removes the outgoing channel. A frame may be composed between
    // the start and the first tick and show progress 0.
    std::vector<int> vecSeen = log.Get();
    vecSeen.erase(std::remove(vecSeen.begin(), vecSeen.end(), 0), vecSeen.end());
    std::vector<int> vecExpected{-1};
    for (int n = 1; n <= nSteps; ++n)
        vecExpected.push_back(n * nStep);
    vecExpected.push_back(-1);
    QVERIFY2(vecSeen == vecExpected, qPrintable(ListText(vecSeen)));

    // The outgoing channel left the picture but keeps capturing.
    CKVChannel* pOut = g_capture.GetChannel(0);
    QVERIFY(pOut->IsOpen());
    QVERIFY(pOut->IsStarted());

    // The incoming channel ends fully opaque: the output is its picture,
    // byte for byte, with nothing of the outgoing one showing through.
    CKVChannel* pIn = g_capture.GetChannel(1);
    pIn->Stop();
    const SYuyvPicture picture = LatestCaptureFrame(pIn);
    QVERIFY(!picture.IsEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Latest().Shows(picture, 0, 0), 20000);
}

void TestEngineTransition::placingAFadingChannelFinishesTheFade()
{
    StartOutput(RATE_25, 400000);
    g_capture.PlaceChannel(0, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    g_capture.StartTransition(0, 1, ENDLESS_STEP);
    QVERIFY(g_capture.GetTransitionProgress() >= 0);
    WaitFrames(2);
    QVERIFY(g_capture.GetTransitionProgress() > 0);

    // Another layout places the outgoing channel: the fade ends at once,
    // and neither the end of the fade nor its steps undo the placement.
    g_capture.PlaceChannel(0, 0, 0, 160, 120, 255, 0);
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));

    CKVChannel* pOut = g_capture.GetChannel(0);
    CKVChannel* pIn = g_capture.GetChannel(1);
    QTRY_VERIFY_WITH_TIMEOUT(!LatestCaptureFrame(pOut).IsEmpty(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!LatestCaptureFrame(pIn).IsEmpty(), 20000);
    pOut->Stop();
    pIn->Stop();
    const SYuyvPicture small = LatestCaptureFrame(pOut);
    const SYuyvPicture full = LatestCaptureFrame(pIn);
    QVERIFY(!small.IsEmpty() && !full.IsEmpty());
    // The re-placed channel is the newer mixer channel and lies on top; the
    // former incoming one is opaque around it.
    const QRect rcSmall(0, 0, 160, 120);
    QTRY_VERIFY_WITH_TIMEOUT(
        m_pSink->Latest().Shows(small, 0, 0) &&
            m_pSink->Latest().Shows(full, 0, 0, [&](int x, int y) { return rcSmall.contains(x, y); }),
        20000);
    WaitFrames(3);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(m_pSink->Latest().Shows(small, 0, 0));
}

void TestEngineTransition::newFadeFinishesTheRunningOne()
{
    StartOutput(RATE_25, 400000);
    g_capture.PlaceChannel(0, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    g_capture.StartTransition(0, 1, ENDLESS_STEP);
    WaitFrames(2);

    // The user moves the next channel in before the fade ended: the first
    // fade completes (its outgoing channel goes) and the second one runs.
    g_capture.StartTransition(1, 2, 800000);
    QVERIFY(!g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));
    QVERIFY(g_capture.IsChannelPlaced(2));
    QTRY_VERIFY_WITH_TIMEOUT(!g_capture.IsChannelPlaced(1), 30000);
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    QVERIFY(g_capture.IsChannelPlaced(2));

    // Fading back to a channel that is still fading out replaces its mixer
    // channel instead of stacking a second one.
    g_capture.StartTransition(2, 0, ENDLESS_STEP);
    WaitFrames(2);
    g_capture.StartTransition(0, 2, 800000);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(2));
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetTransitionProgress() == -1, 30000);
    QVERIFY(!g_capture.IsChannelPlaced(0));
    CKVChannel* pChannel = g_capture.GetChannel(2);
    pChannel->Stop();
    const SYuyvPicture picture = LatestCaptureFrame(pChannel);
    QVERIFY(!picture.IsEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Latest().Shows(picture, 0, 0), 20000);
}

void TestEngineTransition::closingTheIncomingChannelEndsTheFade()
{
    StartOutput(RATE_25, 400000);
    g_capture.PlaceChannel(0, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    g_capture.StartTransition(0, 1, ENDLESS_STEP);
    WaitFrames(2);

    g_capture.CloseChannel(1);
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    QVERIFY(!g_capture.IsChannelPlaced(1));
    // The fade was completed first, so its outgoing channel went with it.
    QVERIFY(!g_capture.IsChannelPlaced(0));
    WaitFrames(3);

    // Removing the outgoing channel during a fade leaves the incoming one
    // fully shown.
    g_capture.PlaceChannel(0, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    g_capture.StartTransition(0, 2, ENDLESS_STEP);
    WaitFrames(2);
    g_capture.RemoveMixerChannel(0);
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    QVERIFY(g_capture.IsChannelPlaced(2));
    CKVChannel* pChannel = g_capture.GetChannel(2);
    pChannel->Stop();
    const SYuyvPicture picture = LatestCaptureFrame(pChannel);
    QVERIFY(!picture.IsEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Latest().Shows(picture, 0, 0), 20000);
}

void TestEngineTransition::fadeFromNothingAndRefusedFades()
{
    StartOutput(RATE_25, 400000);

    // Into an empty position: only the incoming channel is left.
    g_capture.StartTransition(-1, 1, 800000);
    QVERIFY(g_capture.IsChannelPlaced(1));
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetTransitionProgress() == -1, 30000);
    QVERIFY(g_capture.IsChannelPlaced(1));

    // A channel cannot replace itself, a missing channel cannot come in.
    g_capture.StartTransition(1, 1, 800000);
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    QVERIFY(g_capture.IsChannelPlaced(1));
    g_capture.StartTransition(1, 6, 800000);
    g_capture.StartTransition(1, -1, 800000);
    QCOMPARE(g_capture.GetTransitionProgress(), -1);

    // A step that does not advance still ends the fade.
    g_capture.StartTransition(1, 2, 0);
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetTransitionProgress() == -1, 30000);
    QVERIFY(!g_capture.IsChannelPlaced(1));
    QVERIFY(g_capture.IsChannelPlaced(2));

    // Destroying the mixer in the middle of a fade forgets it.
    g_capture.StartTransition(2, 0, ENDLESS_STEP);
    WaitFrames(2);
    g_capture.DestroyMixer();
    QCOMPARE(g_capture.GetTransitionProgress(), -1);
    for (int nChannel = 0; nChannel < 3; ++nChannel)
        QVERIFY(!g_capture.IsChannelPlaced(nChannel));
}

QTEST_GUILESS_MAIN(TestEngineTransition)
#include "tst_engine_transition.moc"
