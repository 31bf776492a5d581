// The mixer fed by real captures of virtual devices, as the engine uses it:
// each channel's picture, pulled by the mixer itself, lands in its rectangle.
#include "media/capture/CaptureSource.h"
#include "media/KVMixer.h"
#include "media/KVStream.h"
#include "YuyvTestUtil.h"

#include <QtTest>

#include <mutex>

namespace
{
struct LastFrame
{
    std::mutex mutex;
    YuyvFrame frame;
    int nFrames = 0;

    static void OnFrame(const uint8_t* pFrame, int64_t, int nWidth, int nHeight, void* pUser)
    {
        LastFrame* pLast = static_cast<LastFrame*>(pUser);
        std::lock_guard<std::mutex> lock(pLast->mutex);
        pLast->frame = YuyvFrame(nWidth, nHeight);
        std::memcpy(pLast->frame.abData.data(), pFrame, pLast->frame.abData.size());
        ++pLast->nFrames;
    }
    int Frames()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return nFrames;
    }
    YuyvFrame Get()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return frame;
    }
};

KVS_HANDLE StartDevice(const QString& strName, int nWidth, int nHeight)
{
    for (int i = 0; i < KVS_GetVideoCaptureCount(); ++i)
    {
        KVS_VIDEO_CAPTURE_INFO info;
        if (!KVS_GetVideoCaptureInfo(i, &info) || QString::fromUtf16(info.szName) != strName)
            continue;
        const KVS_HANDLE h = KVS_OpenVideoCapture(info.szIdentity);
        if (h && KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, nWidth, nHeight, 400000) && KVS_StartVideoCapture(h))
            return h;
        KVS_CloseVideoCapture(h);
    }
    return nullptr;
}

YuyvFrame Latest(KVS_HANDLE hCapture, int nWidth, int nHeight)
{
    YuyvFrame frame(nWidth, nHeight);
    if (!KVS_CopyLatestFrame(hCapture, frame.abData.data(), frame.Stride(), nWidth, nHeight, nullptr))
        return YuyvFrame();
    return frame;
}

bool ShowsAt(const YuyvFrame& out, const YuyvFrame& source, int nX, int nY)
{
    if (out.nWidth == 0 || source.nWidth == 0)
        return false;
    for (int y = 0; y < source.nHeight; ++y)
        if (std::memcmp(out.Row(nY + y) + 2 * nX, source.Row(y), size_t(source.nWidth) * 2) != 0)
            return false;
    return true;
}

// False for no frame at all.
bool IsBlack(const YuyvFrame& out, int nX, int nY, int nWidth, int nHeight)
{
    if (out.nWidth == 0)
        return false;
    for (int y = nY; y < nY + nHeight; ++y)
        for (int x = nX; x < nX + nWidth; ++x)
            if (out.Y(x, y) != 16 || out.U(x, y) != 128 || out.V(x, y) != 128)
                return false;
    return true;
}

KVS_MIXER_CHANNEL Placement(KVS_HANDLE hChannel, int nX, int nY, int nWidth, int nHeight, int bInset)
{
    KVS_MIXER_CHANNEL placement = {};
    placement.hChannel = hChannel;
    placement.rcSource = {0, 0, nWidth - 1, nHeight - 1};
    placement.rcDest = {nX, nY, nX + nWidth - 1, nY + nHeight - 1};
    placement.nOpacity = 255;
    placement.bInset = bInset;
    return placement;
}
}

class TestMixerCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("VISTREL_VIRTUAL_VIDEO", "Left;Right");
        QVERIFY(KVS_Initialize());
    }
    void cleanupTestCase() { KVS_Uninitialize(); }

    void channelsShowTheirCapturesInTheirRectangles()
    {
        const KVS_HANDLE hLeft = StartDevice(QStringLiteral("Left"), 160, 120);
        const KVS_HANDLE hRight = StartDevice(QStringLiteral("Right"), 96, 64);
        QVERIFY(hLeft && hRight);
        KVS_HANDLE hMixer = KVS_CreateVideoMixer(320, 240, 200000, KVS_COLOR_YUYV);
        QVERIFY(hMixer);
        LastFrame last;
        QVERIFY(KVS_SetVideoMixerCallback(hMixer, nullptr, nullptr, &LastFrame::OnFrame, &last));

        // The right channel is inset and overlaps the left one; it is added
        // first and still drawn on top.
        const KVS_HANDLE hRightChannel = KVS_VideoMixerAddChannel(hMixer, 96, 64, KVS_COLOR_YUYV, hRight);
        const KVS_HANDLE hLeftChannel = KVS_VideoMixerAddChannel(hMixer, 160, 120, KVS_COLOR_YUYV, hLeft);
        QVERIFY(hLeftChannel && hRightChannel);
        const KVS_MIXER_CHANNEL left = Placement(hLeftChannel, 20, 10, 160, 120, 0);
        const KVS_MIXER_CHANNEL right = Placement(hRightChannel, 150, 100, 96, 64, 1);
        QCOMPARE(KVS_VideoMixerSetChannels(hMixer, &left, 1), 1);
        QCOMPARE(KVS_VideoMixerSetChannels(hMixer, &right, 1), 1);
        QVERIFY(KVS_VideoMixerRun(hMixer));
        auto bothShow = [&last] {
            const YuyvFrame out = last.Get();
            return out.nWidth > 0 && !IsBlack(out, 150, 100, 96, 64) && !IsBlack(out, 20, 10, 100, 80);
        };
        QTRY_VERIFY_WITH_TIMEOUT(bothShow(), 20000);

        // With the captures stopped their latest frames stay put, so the
        // composed picture can be compared byte for byte.
        QVERIFY(KVS_StopVideoCapture(hLeft));
        QVERIFY(KVS_StopVideoCapture(hRight));
        const YuyvFrame leftFrame = Latest(hLeft, 160, 120);
        const YuyvFrame rightFrame = Latest(hRight, 96, 64);
        QVERIFY(leftFrame.nWidth == 160 && rightFrame.nWidth == 96);
        QVERIFY(leftFrame.abData != rightFrame.abData);
        // The left channel shows its picture wherever the inset does not
        // cover it.
        auto showsLeft = [&leftFrame](const YuyvFrame& out) {
            for (int y = 0; y < 120; ++y)
                for (int x = 0; x < 160; ++x)
                {
                    const bool bUnderInset = x + 20 >= 150 && y + 10 >= 100;
                    if (!bUnderInset &&
                        (out.Y(x + 20, y + 10) != leftFrame.Y(x, y) || out.U(x + 20, y + 10) != leftFrame.U(x, y) ||
                         out.V(x + 20, y + 10) != leftFrame.V(x, y)))
                        return false;
                }
            return true;
        };
        auto showsBoth = [&] {
            const YuyvFrame out = last.Get();
            return ShowsAt(out, rightFrame, 150, 100) && showsLeft(out);
        };
        QTRY_VERIFY_WITH_TIMEOUT(showsBoth(), 20000);
        const YuyvFrame out = last.Get();
        QVERIFY(IsBlack(out, 0, 0, 20, 240));
        QVERIFY(IsBlack(out, 0, 0, 320, 10));
        QVERIFY(IsBlack(out, 246, 0, 74, 240));
        QVERIFY(IsBlack(out, 0, 164, 320, 76));

        // The engine closes a capture before it deletes the mixer channel:
        // the channel keeps its last picture until then.
        QVERIFY(KVS_CloseVideoCapture(hRight));
        const int nFrames = last.Frames();
        QTRY_VERIFY_WITH_TIMEOUT(last.Frames() > nFrames + 2, 20000);
        QVERIFY(ShowsAt(last.Get(), rightFrame, 150, 100));
        QCOMPARE(KVS_VideoMixerDelChannel(hMixer, hRightChannel), 1);
        QTRY_VERIFY_WITH_TIMEOUT(IsBlack(last.Get(), 180, 130, 66, 34), 20000);

        KVS_DestroyVideoMixer(hMixer);
        KVS_CloseVideoCapture(hLeft);
    }
};

QTEST_MAIN(TestMixerCapture)
#include "tst_mixer_capture.moc"
