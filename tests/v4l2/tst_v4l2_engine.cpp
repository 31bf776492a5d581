// The engine on emulated USB cameras: their pictures in the composed output
// and in a recording read back, a camera unplugged and plugged back during
// the recording, a camera plugged in while the program runs, and one that
// comes back on another device node.
#include "config/CSettings.h"
#include "engine/CKVCapture.h"
#include "NullRecordNotify.h"
#include "RecordedFile.h"
#include "TestFrameSink.h"
#include "TestRenderTarget.h"
#include "V4l2EmuControl.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

namespace
{
const int SIZE_640X480 = 14;
const int RATE_25 = 2;
const int DURATION_25 = 400000;
const KVS_WINDOW PREVIEW_WINDOW = 0x560001;
const KVS_WINDOW CHANNEL_WINDOW = 0x560002;
// The cameras (tests/v4l2/CMakeLists.txt): Desk Cam, Room Cam, Spare Cam
// and Other Cam, the last two plugged in only during the test.

class CDeviceNotify : public CNullRecordNotify
{
public:
    void OnError(int) override { ++m_nErrors; }
    void OnDevicesChanged() override { ++m_nChanges; }

    std::atomic<int> m_nErrors{0};
    std::atomic<int> m_nChanges{0};
};

// Whether the left and right halves of the output show the given cameras
// (-1: neither camera's colour there).
bool HalvesShow(const SYuyvPicture& picture, int nLeft, int nRight)
{
    if (picture.IsEmpty())
        return false;
    const int y = 100; // above the moving bar
    const auto shows = [&](int x, int nCamera) {
        const bool bAny = V4l2Emu::LooksLikeCamera(0, picture.Y(x, y), picture.U(x, y), picture.V(x, y)) ||
                          V4l2Emu::LooksLikeCamera(1, picture.Y(x, y), picture.U(x, y), picture.V(x, y));
        return nCamera < 0 ? !bAny
                           : V4l2Emu::LooksLikeCamera(nCamera, picture.Y(x, y), picture.U(x, y), picture.V(x, y));
    };
    return shows(160, nLeft) && shows(480, nRight);
}
}

class TestV4l2Engine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(V4l2Emu::IsLoaded(), "the camera emulation is not preloaded");
        QVERIFY(m_dir.isValid());
        QVERIFY(V4l2Emu::SetPlugged(2, false));
        g_settings.SetOutputFormat(SIZE_640X480, RATE_25);
        g_settings.SetEncoderParam(0, 2, 4, 0, 2, 0, 1, 1);
        g_settings.SetDataStorage(m_dir.path());
        QVERIFY(g_capture.Init());
        g_capture.AddNotify(&m_notify);
        m_pPreview = new CTestRenderTarget(PREVIEW_WINDOW, 640, 480);
        m_pChannelWindow = new CTestRenderTarget(CHANNEL_WINDOW, 160, 120);
        m_pSink = new CTestFrameSink();
    }

    void cleanupTestCase()
    {
        g_capture.StopRecord();
        g_capture.Uninit();
        g_capture.RemoveNotify(&m_notify);
        delete m_pSink;
        delete m_pChannelWindow;
        delete m_pPreview;
    }

    void camerasAreOrderedDevices()
    {
        QCOMPARE(g_capture.GetDeviceCount(true), 2);
        QCOMPARE(g_capture.GetOrderedDeviceCount(), 2);
        QString strName;
        QVERIFY(g_capture.GetDeviceName(true, 1, strName));
        QCOMPARE(strName, QStringLiteral("Room Cam"));
        QCOMPARE(g_capture.GetSerialNumber(), QStringLiteral("D-1"));
    }

    void unplugAndReplugDuringARecording()
    {
        QVERIFY(g_capture.CreateMixer(640, 480, DURATION_25, PREVIEW_WINDOW));
        QVERIFY(g_capture.OpenChannel(0, 0, CHANNEL_WINDOW));
        QVERIFY(g_capture.OpenChannel(1, 1, CHANNEL_WINDOW));
        g_capture.PlaceChannel(0, 0, 0, 320, 240, 255, 0);
        g_capture.PlaceChannel(1, 320, 0, 320, 240, 255, 0);
        QVERIFY(WaitForOutput(0, 1));

        const QString strPath = m_dir.filePath(QStringLiteral("two-cameras.mp4"));
        QVERIFY(g_capture.StartRecord(strPath, QString()));
        QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() >= 25, 30000);

        // Unplugged: the channel stops and says so; the other camera and the
        // recording go on.
        const int nChanges = m_notify.m_nChanges;
        QVERIFY(V4l2Emu::SetPlugged(1, false));
        CKVChannel* pChannel = g_capture.GetChannel(1);
        QTRY_VERIFY_WITH_TIMEOUT(pChannel->IsDeviceLost(), 30000);
        QVERIFY(m_notify.m_nChanges > nChanges);
        QVERIFY(!pChannel->IsStarted());
        QVERIFY(!pChannel->IsDeviceBusy());
        int nNoSignal = 0, nInputType = 0;
        QVERIFY(pChannel->GetSignalState(nNoSignal, nInputType));
        QCOMPARE(nNoSignal, 1);
        QVERIFY(g_capture.GetChannel(0)->IsStarted());
        const uint64_t nAtUnplug = g_capture.GetVideoFramesEncoded();
        QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() >= nAtUnplug + 25, 30000);
        QVERIFY(WaitForOutput(0, -1));

        // Plugged back: the channel picks up by itself, in the same place.
        QVERIFY(V4l2Emu::SetPlugged(1, true));
        QTRY_VERIFY_WITH_TIMEOUT(!pChannel->IsDeviceLost() && pChannel->IsStarted(), 30000);
        QVERIFY(g_capture.IsChannelPlaced(1));
        QVERIFY(WaitForOutput(0, 1));
        QVERIFY(pChannel->GetSignalState(nNoSignal, nInputType));
        QCOMPARE(nNoSignal, 0);
        const uint64_t nAtReplug = g_capture.GetVideoFramesEncoded();
        QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() >= nAtReplug + 25, 30000);
        g_capture.StopRecord();
        QCOMPARE(m_notify.m_nErrors.load(), 0);

        // One complete file, without a hole where the camera was away.
        const SFileInfo info = ReadRecordedFile(strPath);
        QVERIFY2(info.bOpened, qPrintable(info.Describe()));
        QCOMPARE(info.nWidth, 640);
        QCOMPARE(info.nHeight, 480);
        QVERIFY2(info.nVideoPackets >= 75, qPrintable(info.Describe()));
        const double dExpected = info.dVideoSeconds * 25;
        QVERIFY2(qAbs(info.nVideoPackets - dExpected) <= dExpected * 0.05 + 2, qPrintable(info.Describe()));
        QVERIFY2(info.dLongestFrameSeconds < 0.5, qPrintable(info.Describe()));
    }

    void cameraPluggedInAppearsInTheLists()
    {
        const int nChanges = m_notify.m_nChanges;
        QVERIFY(V4l2Emu::SetPlugged(2, true));
        QTRY_COMPARE_WITH_TIMEOUT(g_capture.GetDeviceCount(true), 3, 30000);
        QVERIFY(m_notify.m_nChanges > nChanges);
        QCOMPARE(g_capture.GetOrderedDeviceCount(), 3);
        QString strName;
        QVERIFY(g_capture.GetDeviceName(true, 2, strName));
        QCOMPARE(strName, QStringLiteral("Spare Cam"));
        QVERIFY(g_capture.OpenChannel(2, 2, CHANNEL_WINDOW));
        QVERIFY(g_capture.GetChannel(2)->IsStarted());
    }

    void cameraBackOnAnotherNodeResumesItsChannel()
    {
        QVERIFY(WaitForOutput(0, 1));
        // Gone and back before a poll could notice: its old node was still
        // held, so it came back on the next free one.
        QVERIFY(V4l2Emu::SetNode(0, 6));
        const long long nAtMove = V4l2Emu::FramesDelivered(0);
        QTRY_VERIFY_WITH_TIMEOUT(V4l2Emu::FramesDelivered(0) >= nAtMove + 10, 30000);
        CKVChannel* pChannel = g_capture.GetChannel(0);
        QTRY_VERIFY_WITH_TIMEOUT(!pChannel->IsDeviceLost() && pChannel->IsStarted(), 30000);
        QCOMPARE(pChannel->GetDeviceIndex(), 0);
        QVERIFY(WaitForOutput(0, 1));
        QCOMPARE(g_capture.GetDeviceCount(true), 3);

        // Another camera on the node it left is a device of its own.
        QVERIFY(V4l2Emu::SetNode(3, 0));
        QVERIFY(V4l2Emu::SetPlugged(3, true));
        QTRY_COMPARE_WITH_TIMEOUT(g_capture.GetDeviceCount(true), 4, 30000);
        QString strName;
        QVERIFY(g_capture.GetDeviceName(true, 3, strName));
        QCOMPARE(strName, QStringLiteral("Other Cam"));
        QVERIFY(g_capture.GetDeviceName(true, 0, strName));
        QCOMPARE(strName, QStringLiteral("Desk Cam"));
        QVERIFY(g_capture.OpenChannel(3, 3, CHANNEL_WINDOW));
        QVERIFY(g_capture.GetChannel(3)->IsStarted());
        QVERIFY(WaitForOutput(0, 1));
        QCOMPARE(m_notify.m_nErrors.load(), 0);
    }

private:
    bool WaitForOutput(int nLeft, int nRight)
    {
        QDeadlineTimer deadline(30000);
        int nSeen = m_pSink->Frames();
        while (!deadline.hasExpired())
        {
            QTest::qWait(20);
            if (m_pSink->Frames() == nSeen)
                continue;
            nSeen = m_pSink->Frames();
            if (HalvesShow(m_pSink->Latest(), nLeft, nRight))
                return true;
        }
        return false;
    }

    CDeviceNotify m_notify;
    CTestRenderTarget* m_pPreview = nullptr;
    CTestRenderTarget* m_pChannelWindow = nullptr;
    CTestFrameSink* m_pSink = nullptr;
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestV4l2Engine)
#include "tst_v4l2_engine.moc"
