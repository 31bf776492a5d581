// Capture channels on virtual devices: open, format, start, restart, close,
// picture controls and the frame-rate measurement.
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "media/KVProperty.h"
#include "media/KVStream.h"
#include "TestRenderTarget.h"

#include <QtTest>

#include <atomic>

namespace
{
const int SIZE_1920X1080 = 0;
const int SIZE_640X480 = 14;
const int SIZE_320X240 = 18;
const int RATE_25 = 2;

const KVS_WINDOW TEST_WINDOW = 0x5e0001;
const KVS_WINDOW OTHER_WINDOW = 0x5e0002;

// Device 0 is large, device 1 only delivers up to 640 x 480, device 2 has
// no input signal.
const char* const DEVICES = "Big|2|1920x1080|SN-1;Small|2|640x480;Dark|2|1920x1080||nosignal";

// Sees the frames of a capture in place of the channel's own handler.
struct SFrameProbe
{
    std::atomic<int> nFrames{0};
    std::atomic<int> nStride{0};

    static void Callback(const uint8_t*, int nStride, void* pUser)
    {
        auto* pProbe = static_cast<SFrameProbe*>(pUser);
        pProbe->nStride = nStride;
        ++pProbe->nFrames;
    }
};
}

class TestEngineChannel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openFormatStartRestartClose();
    void reopenAndInvalidDevice();
    void failedOpenLeavesChannelClosed();
    void restartAtALargerFormatKeepsEveryDevice();
    void pictureControlsAndSignal();

private:
    CTestRenderTarget* m_pTarget = nullptr;
};

void TestEngineChannel::init()
{
    qputenv("VISTREL_VIRTUAL_VIDEO", DEVICES);
    g_settings.SetOutputFormat(SIZE_640X480, RATE_25);
    QVERIFY(g_capture.Init());
    m_pTarget = new CTestRenderTarget(TEST_WINDOW, 320, 240);
}

void TestEngineChannel::cleanup()
{
    g_capture.Uninit();
    delete m_pTarget;
    m_pTarget = nullptr;
}

void TestEngineChannel::openFormatStartRestartClose()
{
    QVERIFY(g_capture.OpenChannel(2, 0, TEST_WINDOW));
    CKVChannel* pChannel = g_capture.GetChannel(2);
    QVERIFY(pChannel->IsOpen());
    QVERIFY(pChannel->IsStarted());
    QCOMPARE(pChannel->GetDeviceIndex(), 0);
    QVERIFY(g_capture.IsDeviceInUse(0));
    QVERIFY(!g_capture.IsDeviceInUse(1));
    // The channel first captures at the full output format.
    QCOMPARE(pChannel->GetWidth(), 640);
    QCOMPARE(pChannel->GetHeight(), 480);
    QCOMPARE(pChannel->GetFrameDuration(), 400000);

    // The preview follows its window as the window would ask it to.
    pChannel->UpdateRenderer();
    QTRY_VERIFY_WITH_TIMEOUT(m_pTarget->GetFrameCount() >= 25, 30000);
    QVERIFY(!m_pTarget->GetLastSize().isEmpty());

    // About 25 frames per second, measured since the open.
    float fFps = -1.0f;
    QVERIFY(pChannel->GetStatistics(fFps));
    QVERIFY2(fFps > 5.0f && fFps < 50.0f, qPrintable(QString::number(fFps)));

    // The device delivers frames of the requested width.
    SFrameProbe probe;
    KVS_SetVideoCaptureCallback(pChannel->GetCaptureHandle(), &SFrameProbe::Callback, &probe);
    QTRY_VERIFY_WITH_TIMEOUT(probe.nFrames >= 2, 30000);
    QCOMPARE(probe.nStride.load(), 2 * 640);

    // A new output format restarts the channel at that size, and the
    // channel's own frame handler is back in place.
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
    QVERIFY(g_capture.RestartChannels());
    QVERIFY(pChannel->IsStarted());
    QCOMPARE(pChannel->GetDeviceIndex(), 0);
    QCOMPARE(pChannel->GetWidth(), 320);
    QCOMPARE(pChannel->GetHeight(), 240);
    const int nFramesBefore = m_pTarget->GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_pTarget->GetFrameCount() >= nFramesBefore + 5, 30000);

    const int nProbeBefore = probe.nFrames;
    KVS_SetVideoCaptureCallback(pChannel->GetCaptureHandle(), &SFrameProbe::Callback, &probe);
    QTRY_VERIFY_WITH_TIMEOUT(probe.nFrames >= nProbeBefore + 2, 30000);
    QCOMPARE(probe.nStride.load(), 2 * 320);

    g_capture.CloseChannel(2);
    QVERIFY(!pChannel->IsOpen());
    QVERIFY(!pChannel->IsStarted());
    QCOMPARE(pChannel->GetDeviceIndex(), -1);
    QVERIFY(pChannel->GetCaptureHandle() == nullptr);
    QVERIFY(!g_capture.IsDeviceInUse(0));
    // Closing twice is harmless.
    g_capture.CloseChannel(2);
}

void TestEngineChannel::reopenAndInvalidDevice()
{
    QVERIFY(g_capture.OpenChannel(0, 0, TEST_WINDOW));
    CKVChannel* pChannel = g_capture.GetChannel(0);
    const KVS_HANDLE hCapture = pChannel->GetCaptureHandle();
    QVERIFY(hCapture != nullptr);

    // The same device again: nothing new is opened.
    QVERIFY(pChannel->Open(0, OTHER_WINDOW));
    QCOMPARE(pChannel->GetCaptureHandle(), hCapture);
    QVERIFY(pChannel->IsStarted());

    // No device: refused, and the open channel is left as it was.
    QVERIFY(!g_capture.OpenChannel(0, -1, TEST_WINDOW));
    QVERIFY(!pChannel->Open(-1, TEST_WINDOW));
    QCOMPARE(pChannel->GetCaptureHandle(), hCapture);
    QCOMPARE(pChannel->GetDeviceIndex(), 0);
    QVERIFY(pChannel->IsStarted());

    // Another device replaces the first one, which is closed, not leaked.
    QVERIFY(g_capture.OpenChannel(0, 2, TEST_WINDOW));
    QCOMPARE(pChannel->GetDeviceIndex(), 2);
    QVERIFY(pChannel->GetCaptureHandle() != hCapture);
    QVERIFY(!g_capture.IsDeviceInUse(0));
    QCOMPARE(KVS_StartVideoCapture(hCapture), 0);
}

void TestEngineChannel::failedOpenLeavesChannelClosed()
{
    CKVChannel* pChannel = g_capture.GetChannel(1);
    QVERIFY(!g_capture.OpenChannel(1, 99, TEST_WINDOW));
    QVERIFY(!pChannel->IsOpen());
    QCOMPARE(pChannel->GetDeviceIndex(), -1);
    QVERIFY(!g_capture.IsDeviceInUse(99));
    // A retry with the same bad device must fail again, not report success.
    QVERIFY(!pChannel->Open(99, TEST_WINDOW));

    // The channel is still usable afterwards, even with a device smaller
    // than the output format, whose pictures are scaled up.
    g_settings.SetOutputFormat(SIZE_1920X1080, RATE_25);
    QVERIFY(g_capture.OpenChannel(1, 1, TEST_WINDOW));
    QVERIFY(pChannel->IsStarted());
    QCOMPARE(pChannel->GetWidth(), 1920);
}

void TestEngineChannel::restartAtALargerFormatKeepsEveryDevice()
{
    QVERIFY(g_capture.OpenChannel(0, 0, TEST_WINDOW));
    QVERIFY(g_capture.OpenChannel(3, 1, TEST_WINDOW));
    g_settings.SetChannelDevice(0, 0);
    g_settings.SetChannelDevice(3, 1);

    // Device 1 is smaller than 1920 x 1080; it is scaled up, not dropped.
    g_settings.SetOutputFormat(SIZE_1920X1080, RATE_25);
    QVERIFY(g_capture.RestartChannels());

    for (int nChannel : {0, 3})
    {
        QVERIFY(g_capture.GetChannel(nChannel)->IsStarted());
        QCOMPARE(g_capture.GetChannel(nChannel)->GetWidth(), 1920);
    }
    QCOMPARE(g_settings.GetChannelDevice(0), 0);
    QCOMPARE(g_settings.GetChannelDevice(3), 1);
}

void TestEngineChannel::pictureControlsAndSignal()
{
    CKVChannel* pChannel = g_capture.GetChannel(4);

    // Without a device nothing is read or written.
    int nNoSignal = 7;
    int nInputType = 7;
    int nValue = 0;
    QVERIFY(!pChannel->GetSignalState(nNoSignal, nInputType));
    QCOMPARE(nNoSignal, 7);
    QCOMPARE(nInputType, 7);
    QVERIFY(!pChannel->SetVideoProcParam(KVPHD_PARAM_BRIGHTNESS, 10));
    QVERIFY(!pChannel->GetVideoProcParam(KVPHD_PARAM_BRIGHTNESS, nValue));
    QCOMPARE(pChannel->ShowPropertyDialog(), 0);

    QVERIFY(g_capture.OpenChannel(4, 0, TEST_WINDOW));
    int nMin = -1;
    int nMax = -1;
    int nDefault = -1;
    QVERIFY(pChannel->GetVideoProcParamRange(KVPHD_PARAM_CONTRAST, nMin, nMax, nDefault));
    QVERIFY(nMin < nMax);
    QVERIFY(nDefault >= nMin && nDefault <= nMax);
    QVERIFY(pChannel->SetVideoProcParam(KVPHD_PARAM_CONTRAST, nMax));
    QVERIFY(pChannel->GetVideoProcParam(KVPHD_PARAM_CONTRAST, nValue));
    QCOMPARE(nValue, nMax);

    QVERIFY(pChannel->GetSignalState(nNoSignal, nInputType));
    QCOMPARE(nNoSignal, 0);

    QVERIFY(g_capture.OpenChannel(5, 2, TEST_WINDOW));
    QVERIFY(g_capture.GetChannel(5)->GetSignalState(nNoSignal, nInputType));
    QCOMPARE(nNoSignal, 1);
}

QTEST_GUILESS_MAIN(TestEngineChannel)
#include "tst_engine_channel.moc"
