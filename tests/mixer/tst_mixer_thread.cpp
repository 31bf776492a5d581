// The mixer as a running thing: ticks and timestamps, pulling capture frames,
// snapshots, scene changes from other threads, handle misuse.
#include "media/mixer/COverlay.h"
#include "media/mixer/CVideoMixer.h"
#include "media/KVMixer.h"
#include "YuyvTestUtil.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace
{
// Stand-in captures for CVideoMixer: frames set by the test, looked up by a
// made-up handle. Using a capture after the test closed it is recorded.
struct FakeCapture
{
    YuyvFrame frame;
    uint64_t nSeq = 0;
    bool bClosed = false;
};

std::mutex g_mutexFakes;
std::map<KVS_HANDLE, FakeCapture> g_fakes;
std::atomic<int> g_nUseAfterClose{0};

KVS_HANDLE FakeHandle(uintptr_t n)
{
    return reinterpret_cast<KVS_HANDLE>(n);
}

void SetFakeFrame(KVS_HANDLE h, const YuyvFrame& frame)
{
    std::lock_guard<std::mutex> lock(g_mutexFakes);
    g_fakes[h].frame = frame;
    ++g_fakes[h].nSeq;
}

void CloseFake(KVS_HANDLE h)
{
    std::lock_guard<std::mutex> lock(g_mutexFakes);
    g_fakes[h].bClosed = true;
}

std::shared_ptr<const KVMedia::SCapturedFrame> AcquireFakeFrame(KVS_HANDLE h, int nWidth, int nHeight,
                                                                uint64_t nAfterSeq)
{
    std::lock_guard<std::mutex> lock(g_mutexFakes);
    const auto it = g_fakes.find(h);
    if (it == g_fakes.end())
        return nullptr;
    if (it->second.bClosed)
    {
        ++g_nUseAfterClose;
        return nullptr;
    }
    const YuyvFrame& frame = it->second.frame;
    if (it->second.nSeq <= nAfterSeq || frame.nWidth != nWidth || frame.nHeight != nHeight)
        return nullptr;
    auto pFrame = std::make_shared<KVMedia::SCapturedFrame>();
    pFrame->nWidth = nWidth;
    pFrame->nHeight = nHeight;
    pFrame->nSeq = it->second.nSeq;
    pFrame->abData.resize(size_t(nWidth) * 2 * size_t(nHeight));
    for (int y = 0; y < nHeight; ++y)
        std::memcpy(pFrame->abData.data() + size_t(y) * size_t(nWidth) * 2, frame.Row(y), size_t(nWidth) * 2);
    return pFrame;
}

// Collects what the frame callback delivers.
struct FrameLog
{
    std::mutex mutex;
    std::vector<int64_t> anTimestamps;
    std::vector<QSize> sizes;
    YuyvFrame last;
    int nTicks = 0;

    static void OnTick(void* pUser)
    {
        FrameLog* pLog = static_cast<FrameLog*>(pUser);
        std::lock_guard<std::mutex> lock(pLog->mutex);
        ++pLog->nTicks;
    }
    static void OnFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight, void* pUser)
    {
        FrameLog* pLog = static_cast<FrameLog*>(pUser);
        std::lock_guard<std::mutex> lock(pLog->mutex);
        pLog->anTimestamps.push_back(nTimestamp);
        pLog->sizes.push_back(QSize(nWidth, nHeight));
        pLog->last = YuyvFrame(nWidth, nHeight);
        std::memcpy(pLog->last.abData.data(), pFrame, pLog->last.abData.size());
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return anTimestamps.size();
    }
    YuyvFrame Last()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return last;
    }
};

YuyvFrame Pattern(int w, int h, int nSeed)
{
    YuyvFrame frame(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            frame.SetPixel(x, y, 20 + (x * 5 + y * 11 + nSeed * 37) % 200, 100 + nSeed, 150 - nSeed);
    return frame;
}

// True when the rectangle of out at (nX, nY) holds exactly the source frame.
bool ShowsAt(const YuyvFrame& out, const YuyvFrame& source, int nX, int nY)
{
    if (out.nWidth == 0)
        return false;
    for (int y = 0; y < source.nHeight; ++y)
        if (std::memcmp(out.Row(nY + y) + 2 * nX, source.Row(y), size_t(source.nWidth) * 2) != 0)
            return false;
    return true;
}

KVS_MIXER_CHANNEL Placement(KVS_HANDLE hChannel, int nX, int nY, int nWidth, int nHeight, int nOpacity = 255,
                            int bInset = 0)
{
    KVS_MIXER_CHANNEL placement = {};
    placement.hChannel = hChannel;
    placement.rcSource = {0, 0, nWidth - 1, nHeight - 1};
    placement.rcDest = {nX, nY, nX + nWidth - 1, nY + nHeight - 1};
    placement.nOpacity = uint8_t(nOpacity);
    placement.bInset = bInset;
    return placement;
}
}

class TestMixerThread : public QObject
{
    Q_OBJECT

private slots:
    void framesCarryTimestampsInWholeDurations();
    void composedFramesShowTheLatestCaptureFrame();
    void snapshotsDecodeToTheOutputSize();
    void snapshotWrittenBeforeDestroyReturns();
    void sceneChangesFromOtherThreadsWhileRunning();
    void tickCallbackMayMoveChannels();
    void misuseIsHarmless();
};

void TestMixerThread::framesCarryTimestampsInWholeDurations()
{
    const int nDuration = 100000; // 10 ms
    KVS_HANDLE hMixer = KVS_CreateVideoMixer(64, 48, nDuration, KVS_COLOR_YUYV);
    QVERIFY(hMixer);
    FrameLog log;
    QVERIFY(KVS_SetVideoMixerCallback(hMixer, &FrameLog::OnTick, &log, &FrameLog::OnFrame, &log));
    QVERIFY(KVS_VideoMixerRun(hMixer));
    QVERIFY(KVS_VideoMixerRun(hMixer)); // already running: still fine
    QTRY_VERIFY_WITH_TIMEOUT(log.Count() >= 20, 20000);
    QVERIFY(KVS_VideoMixerStop(hMixer));
    const size_t nCount = log.Count();
    QTest::qWait(50);
    QCOMPARE(log.Count(), nCount); // nothing after Stop returned

    std::lock_guard<std::mutex> lock(log.mutex);
    QCOMPARE(log.nTicks, int(nCount));
    for (size_t i = 0; i < nCount; ++i)
    {
        QCOMPARE(log.sizes[i], QSize(64, 48));
        QCOMPARE(log.anTimestamps[i] % nDuration, int64_t(0));
        if (i > 0)
            QVERIFY(log.anTimestamps[i] > log.anTimestamps[i - 1]);
    }
    // Without channels the picture is black.
    QCOMPARE(log.last.abData, YuyvFrame(64, 48).abData);
    KVS_DestroyVideoMixer(hMixer);
}

void TestMixerThread::composedFramesShowTheLatestCaptureFrame()
{
    const KVS_HANDLE hCapture = FakeHandle(0x1001);
    const YuyvFrame first = Pattern(16, 8, 1), second = Pattern(16, 8, 2);
    SetFakeFrame(hCapture, first);

    CVideoMixer mixer(64, 48, 100000, &AcquireFakeFrame);
    FrameLog log;
    mixer.SetCallbacks(nullptr, nullptr, &FrameLog::OnFrame, &log);
    const KVS_HANDLE hChannel = mixer.AddChannel(16, 8, hCapture);
    QVERIFY(hChannel);
    const KVS_MIXER_CHANNEL placement = Placement(hChannel, 10, 6, 16, 8);
    QCOMPARE(mixer.SetChannels(&placement, 1), 1);
    QVERIFY(mixer.Run());
    QTRY_VERIFY_WITH_TIMEOUT(ShowsAt(log.Last(), first, 10, 6), 20000);
    SetFakeFrame(hCapture, second);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsAt(log.Last(), second, 10, 6), 20000);
    // The capture falls silent: the channel keeps its last picture.
    CloseFake(hCapture);
    const size_t nCount = log.Count();
    QTRY_VERIFY_WITH_TIMEOUT(log.Count() >= nCount + 3, 20000);
    QVERIFY(ShowsAt(log.Last(), second, 10, 6));
    QVERIFY(mixer.Stop());
}

void TestMixerThread::snapshotsDecodeToTheOutputSize()
{
    QTemporaryDir dir;
    KVS_HANDLE hMixer = KVS_CreateVideoMixer(320, 240, 200000, KVS_COLOR_YUYV);
    QVERIFY(hMixer);
    const KVS_CAPTION_STYLE style = {40, 0, 0x00FFFFFF, 0, 0, 0, 0};
    int32_t anSize[2];
    const KVS_HANDLE hCaption = KVS_VideoMixerAddCaption(hMixer, u"Snap", u"Sans", &style, anSize);
    QVERIFY(hCaption);
    QVERIFY(KVS_VideoMixerSetCaption(hMixer, hCaption, 0, 0));

    // Before the mixer runs, the scene is composed on demand.
    const QString strBefore = dir.filePath(QStringLiteral("before.jpg"));
    QVERIFY(KVS_VideoMixerCreateSnapShot(hMixer, strBefore.toStdU16String().c_str(), 75));
    QVERIFY(KVS_VideoMixerRun(hMixer));
    const QString strRunning = dir.filePath(QStringLiteral("running.jpg"));
    QVERIFY(KVS_VideoMixerCreateSnapShot(hMixer, strRunning.toStdU16String().c_str(), 75));
    for (const QString& strPath : {strBefore, strRunning})
    {
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(strPath), 20000);
        const QImage image(strPath);
        QCOMPARE(image.size(), QSize(320, 240));
        // Black away from the caption, white inside some of its letters.
        QVERIFY(qGray(image.pixel(300, 220)) < 10);
        int nWhite = 0;
        for (int y = 0; y < anSize[1]; ++y)
            for (int x = 0; x < anSize[0]; ++x)
                nWhite += qGray(image.pixel(x, y)) > 220;
        QVERIFY(nWhite > 20);
    }
    // A folder that does not exist: accepted, but no file and no leftover.
    const QString strNowhere = dir.filePath(QStringLiteral("missing/shot.jpg"));
    QVERIFY(KVS_VideoMixerCreateSnapShot(hMixer, strNowhere.toStdU16String().c_str(), 75));
    QVERIFY(!KVS_VideoMixerCreateSnapShot(hMixer, nullptr, 75));
    QVERIFY(!KVS_VideoMixerCreateSnapShot(nullptr, strRunning.toStdU16String().c_str(), 75));
    KVS_DestroyVideoMixer(hMixer);
    QVERIFY(!QFile::exists(strNowhere));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestMixerThread::snapshotWrittenBeforeDestroyReturns()
{
    QTemporaryDir dir;
    KVS_HANDLE hMixer = KVS_CreateVideoMixer(1920, 1080, 400000, KVS_COLOR_YUYV);
    QVERIFY(KVS_VideoMixerRun(hMixer));
    QStringList paths;
    for (int i = 0; i < 3; ++i)
    {
        paths << dir.filePath(QStringLiteral("shot%1.jpg").arg(i));
        QVERIFY(KVS_VideoMixerCreateSnapShot(hMixer, paths.last().toStdU16String().c_str(), 75));
    }
    KVS_DestroyVideoMixer(hMixer);
    // No waiting: the files are complete once Destroy has returned.
    for (const QString& strPath : paths)
        QCOMPARE(QImage(strPath).size(), QSize(1920, 1080));
}

void TestMixerThread::sceneChangesFromOtherThreadsWhileRunning()
{
    QTemporaryDir dir;                                     // outlives the mixer, which finishes its snapshots
    CVideoMixer mixer(160, 120, 10000, &AcquireFakeFrame); // 1 ms per frame
    FrameLog log;
    mixer.SetCallbacks(&FrameLog::OnTick, &log, &FrameLog::OnFrame, &log);
    QVERIFY(mixer.Run());
    QImage logo(15, 9, QImage::Format_ARGB32);
    logo.fill(QColor(10, 200, 30, 150));
    const std::shared_ptr<const COverlay> pLogo = COverlay::FromImage(logo);
    g_nUseAfterClose = 0;

    // Channels come and go on one thread, their captures closed right after
    // removal as the engine does; overlays and snapshots on another.
    std::thread channels([&mixer] {
        for (uintptr_t i = 0; i < 300; ++i)
        {
            const KVS_HANDLE hCapture = FakeHandle(0x2000 + i);
            SetFakeFrame(hCapture, Pattern(32, 16, int(i % 7)));
            const KVS_HANDLE hChannel = mixer.AddChannel(32, 16, hCapture);
            const KVS_MIXER_CHANNEL placement =
                Placement(hChannel, int(i % 130), int(i % 100), 32, 16, int(i * 37 % 256), int(i % 2));
            mixer.SetChannels(&placement, 1);
            if (i % 5 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            mixer.DelChannel(hChannel);
            CloseFake(hCapture);
        }
    });
    std::thread overlays([&mixer, &pLogo, &dir] {
        for (int i = 0; i < 300; ++i)
        {
            const KVS_HANDLE hImage = mixer.AddOverlay(CVideoMixer::OVERLAY_IMAGE, pLogo);
            mixer.SetOverlay(CVideoMixer::OVERLAY_IMAGE, hImage, i % 170 - 5, i % 130 - 5);
            if (i % 100 == 0)
                mixer.CreateSnapshot(dir.filePath(QStringLiteral("s%1.jpg").arg(i)), 75);
            mixer.DelOverlay(CVideoMixer::OVERLAY_IMAGE, hImage);
        }
    });
    channels.join();
    overlays.join();
    const size_t nCount = log.Count();
    QTRY_VERIFY_WITH_TIMEOUT(log.Count() > nCount + 2, 20000);
    QVERIFY(mixer.Stop());
    QCOMPARE(g_nUseAfterClose.load(), 0);
    // Everything was removed again: the picture is black once more.
    QCOMPARE(log.Last().abData, YuyvFrame(160, 120).abData);
}

namespace
{
// A cross-fade as the engine drives it: the tick callback re-places two
// channels with changing opacity, from the mixer's own thread, and finally
// stops the mixer from there too.
struct Fade
{
    CVideoMixer* pMixer;
    KVS_HANDLE hOut, hIn;
    std::atomic<int> nStep{0};

    static void OnTick(void* pUser)
    {
        Fade* pFade = static_cast<Fade*>(pUser);
        const int nStep = std::min(pFade->nStep.load(), 10);
        const KVS_MIXER_CHANNEL placements[2] = {Placement(pFade->hOut, 0, 0, 32, 16, 255 - nStep * 255 / 10),
                                                 Placement(pFade->hIn, 0, 0, 32, 16, nStep * 255 / 10)};
        pFade->pMixer->SetChannels(placements, 2);
        if (nStep == 10)
            pFade->pMixer->DelChannel(pFade->hOut);
        if (++pFade->nStep == 14)
            pFade->pMixer->Stop(); // cannot wait for itself, but no callback follows
    }
};

void DestroyFromCallback(const uint8_t*, int64_t, int, int, void* pUser)
{
    KVS_HANDLE* phMixer = static_cast<KVS_HANDLE*>(pUser);
    KVS_DestroyVideoMixer(*phMixer);
}
}

void TestMixerThread::tickCallbackMayMoveChannels()
{
    const YuyvFrame outgoing(32, 16, 40, 128, 128), incoming(32, 16, 200, 128, 128);
    SetFakeFrame(FakeHandle(0x3001), outgoing);
    SetFakeFrame(FakeHandle(0x3002), incoming);
    CVideoMixer mixer(32, 16, 20000, &AcquireFakeFrame);
    Fade fade;
    fade.pMixer = &mixer;
    fade.hOut = mixer.AddChannel(32, 16, FakeHandle(0x3001));
    fade.hIn = mixer.AddChannel(32, 16, FakeHandle(0x3002));
    FrameLog log;
    mixer.SetCallbacks(&Fade::OnTick, &fade, &FrameLog::OnFrame, &log);
    QVERIFY(mixer.Run());
    QTRY_VERIFY_WITH_TIMEOUT(fade.nStep == 14, 20000);
    QVERIFY(mixer.Stop());
    QCOMPARE(fade.nStep.load(), 14);
    QCOMPARE(log.Count(), size_t(13)); // the stopping tick delivered no frame
    QVERIFY(ShowsAt(log.Last(), incoming, 0, 0));

    // Destroying the mixer from its own frame callback.
    KVS_HANDLE hMixer = KVS_CreateVideoMixer(32, 16, 20000, KVS_COLOR_YUYV);
    QVERIFY(KVS_SetVideoMixerCallback(hMixer, nullptr, nullptr, &DestroyFromCallback, &hMixer));
    QVERIFY(KVS_VideoMixerRun(hMixer));
    QTRY_VERIFY_WITH_TIMEOUT(!KVS_VideoMixerRun(hMixer), 20000);
}

void TestMixerThread::misuseIsHarmless()
{
    QVERIFY(!KVS_CreateVideoMixer(8193, 48, 400000, KVS_COLOR_YUYV)); // absurd sizes
    QVERIFY(!KVS_CreateVideoMixer(64, 100000, 400000, KVS_COLOR_YUYV));
    QVERIFY(!KVS_CreateVideoMixer(64, 48, 400000, 1));
    QVERIFY(!KVS_CreateVideoMixer(64, 0, 400000, KVS_COLOR_YUYV));
    QVERIFY(!KVS_CreateVideoMixer(64, 48, 0, KVS_COLOR_YUYV));

    KVS_HANDLE hMixer = KVS_CreateVideoMixer(64, 48, 400000, KVS_COLOR_YUYV);
    KVS_HANDLE hOther = KVS_CreateVideoMixer(64, 48, 400000, KVS_COLOR_YUYV);
    QVERIFY(hMixer && hOther && hMixer != hOther);
    QVERIFY(!KVS_VideoMixerAddChannel(hMixer, 0, 16, KVS_COLOR_YUYV, FakeHandle(0x4001)));
    QVERIFY(!KVS_VideoMixerAddChannel(hMixer, 32, 9000, KVS_COLOR_YUYV, FakeHandle(0x4001)));
    QVERIFY(!KVS_VideoMixerAddChannel(hMixer, 32, 16, KVS_COLOR_YUYV, nullptr));
    const KVS_HANDLE hChannel = KVS_VideoMixerAddChannel(hMixer, 32, 16, KVS_COLOR_YUYV, FakeHandle(0x4001));
    QVERIFY(hChannel);
    const KVS_CAPTION_STYLE style = {20, 0, 0x00FFFFFF, 0, 0, 0, 0};
    const KVS_HANDLE hCaption = KVS_VideoMixerAddCaption(hMixer, u"x", u"Sans", &style, nullptr);
    QVERIFY(hCaption);

    // Handles of another mixer, of another kind, or made up: refused, and
    // nothing of this mixer changes.
    KVS_MIXER_CHANNEL placement = Placement(hChannel, 0, 0, 32, 16);
    QCOMPARE(KVS_VideoMixerSetChannels(hOther, &placement, 1), 0);
    QCOMPARE(KVS_VideoMixerDelChannel(hOther, hChannel), 0);
    QCOMPARE(KVS_VideoMixerDelChannel(hMixer, FakeHandle(0x4999)), 0);
    QCOMPARE(KVS_VideoMixerDelImage(hMixer, hCaption), 0);
    QCOMPARE(KVS_VideoMixerSetImage(hMixer, hCaption, 1, 1), 0);
    QCOMPARE(KVS_VideoMixerSetChannels(hMixer, nullptr, 1), 0);
    QCOMPARE(KVS_VideoMixerSetChannels(hMixer, &placement, 1), 1);
    QCOMPARE(KVS_VideoMixerDelCaption(hMixer, hCaption), 1);
    QCOMPARE(KVS_VideoMixerDelCaption(hMixer, hCaption), 0); // twice
    QCOMPARE(KVS_VideoMixerDelChannel(hMixer, hChannel), 1);
    QCOMPARE(KVS_VideoMixerDelChannel(hMixer, hChannel), 0);
    QCOMPARE(KVS_VideoMixerStop(hMixer), 1); // never ran

    // Destroyed while running; afterwards the handle is simply unknown.
    QVERIFY(KVS_VideoMixerRun(hMixer));
    KVS_DestroyVideoMixer(hMixer);
    KVS_DestroyVideoMixer(hMixer);
    KVS_DestroyVideoMixer(nullptr);
    QCOMPARE(KVS_VideoMixerRun(hMixer), 0);
    QVERIFY(!KVS_VideoMixerAddChannel(hMixer, 32, 16, KVS_COLOR_YUYV, FakeHandle(0x4001)));
    KVS_DestroyVideoMixer(hOther);
}

QTEST_MAIN(TestMixerThread)
#include "tst_mixer_thread.moc"
