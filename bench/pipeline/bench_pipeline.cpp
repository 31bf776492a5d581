// The whole recording pipeline as the program runs it: six virtual cameras
// at 960 x 360 in a 2 x 3 grid of a 1920 x 1080 output at 30 fps, a logo, a
// caption and a clock, H.264 "Best Speed" at 4000 Kbps in software with
// low latency, to MP4. --rate R takes another of the program's output rates
// (60, 59.94, 50, ...) instead of 30.
//
//   bench_pipeline [--frames N] [--logo PATH] [--keep PATH]
//       measures capture and composition alone for as long, then records N
//       output frames (300 when not given) and prints the process
//       CPU time per frame found in the file (kept as PATH when asked, to
//       look at or to encode otherwise); the last line reads
//       "vistrel_cpu_ms_per_frame <value>" for run_pipeline.sh.
//       --rtmp URL (given up to four times) also streams to each URL from
//       the one encode.
//   bench_pipeline --realtime [--seconds S] [--rtmp URL] [--logo PATH]
//                  [--emulated-cameras] [--no-previews]
//       records (and streams to URL) for S seconds (60) with the output and
//       channel previews shown (or none with --no-previews), and prints the frame rate of every second,
//       their median, the process CPU time per recorded frame, the mixer's
//       late ticks during the recording and, last,
//       the recorded frames as a share of S x the rate. With --emulated-cameras
//       the six channels take the first six V4L2 cameras instead of
//       virtual ones (the emulated cameras of tests/support/v4l2emu,
//       preloaded), and the run fails unless the middle and the last
//       frame read back from the recording show the six cameras' colours.
//
// The settings live in a private configuration folder: the process starts
// itself again with one, since the settings object reads its location
// before main() runs.
#include "CBenchPreviewWindow.h"
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "config/OptionTables.h"
#include "engine/KVFrameDuration.h"
#include "engine/IKVRecordNotify.h"
#include "media/KVProtocol.h"
#include "Mp4FrameCount.h"
#include "Mp4FramePicture.h"
#include "BenchProcess.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <vector>

#include <dlfcn.h>

namespace
{
const int OUTPUT_WIDTH = 1920;
const int OUTPUT_HEIGHT = 1080;
const int CHANNEL_WIDTH = 960;
const int CHANNEL_HEIGHT = 360;
const int SIZE_1920X1080 = 0;
const int QUALITY_BEST_SPEED = 2;
const int BITRATE_4000 = 2;
const int KEY_FRAME_300 = 2;
const int ENCODER_SOFTWARE = 0;
// Low latency (no B-frames, no look-ahead), as the reference command line
// is tuned; a recording with a stream enabled runs this way too.
const int MODE_LOW_LATENCY = 1;
// Window ids nobody registers: the renderers have nowhere to draw, so the
// headless run pays for no previews.
const KVS_WINDOW HIDDEN_WINDOW_BASE = 0x7b0000;
// The colours of the emulated cameras 1 to 6 (tests/support/v4l2emu, there
// in full-range YUV), which fill the top three quarters of their pictures.
const QRgb EMULATED_COLOURS[] = {qRgb(254, 0, 0),   qRgb(0, 255, 1),   qRgb(0, 0, 254),
                                 qRgb(255, 255, 0), qRgb(0, 255, 255), qRgb(254, 0, 254)};
// Sum of the three channels' differences: the H.264 encoding moves a plain
// colour by a few steps, a channel showing something else by far more.
const int COLOUR_TOLERANCE = 60;
// The first frames can take a while with cameras that start streaming only
// once their pictures are prepared.
const int FIRST_FRAMES_TIMEOUT_MS = 30000;

struct SOptions
{
    bool bRealtime = false;
    bool bEmulatedCameras = false;
    bool bPreviews = true;
    double dRate = 30;
    int nFrames = 300;
    int nSeconds = 60;
    std::vector<QString> vecRtmpUrls;
    QString strLogo;
    QString strKeep;
};

bool ParseOptions(int argc, char** argv, SOptions& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const QString strArg = QString::fromLocal8Bit(argv[i]);
        const bool bHasValue = i + 1 < argc;
        if (strArg == QLatin1String("--realtime"))
            options.bRealtime = true;
        else if (strArg == QLatin1String("--emulated-cameras"))
            options.bEmulatedCameras = true;
        else if (strArg == QLatin1String("--no-previews"))
            options.bPreviews = false;
        else if (strArg == QLatin1String("--rate") && bHasValue)
            options.dRate = std::atof(argv[++i]);
        else if (strArg == QLatin1String("--frames") && bHasValue)
            options.nFrames = std::atoi(argv[++i]);
        else if (strArg == QLatin1String("--seconds") && bHasValue)
            options.nSeconds = std::atoi(argv[++i]);
        else if (strArg == QLatin1String("--rtmp") && bHasValue)
            options.vecRtmpUrls.push_back(QString::fromLocal8Bit(argv[++i]));
        else if (strArg == QLatin1String("--logo") && bHasValue)
            options.strLogo = QString::fromLocal8Bit(argv[++i]);
        else if (strArg == QLatin1String("--keep") && bHasValue)
            options.strKeep = QString::fromLocal8Bit(argv[++i]);
        else
            return false;
    }
    return options.nFrames > 0 && options.nSeconds > 0;
}

// The output rate's index in the program's table, as the Settings tab
// stores it; -1 for a rate the program does not offer.
int FindRateIndex(double dRate)
{
    for (int i = 0; i < GetFrameRateCount(); ++i)
        if (std::abs(GetFrameRate(i) - dRate) < 0.005)
            return i;
    return -1;
}

// Counts what would reach the main window.
class CBenchNotify : public IKVRecordNotify
{
public:
    void OnRecordStarted(const QString&) override {}
    void OnRecordStopped() override {}
    void OnSnapshot(const QString&) override {}
    void EnableStart(bool) override {}
    void RefreshOutput() override {}
    void OnError(int nCode) override
    {
        std::fprintf(stderr, "bench_pipeline: engine error %d\n", nCode);
        ++m_nErrors;
    }
    std::atomic<int> m_nErrors{0};
};

// Lets the event loop run, so that queued previews are painted.
void RunEventsFor(int nMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nMs)
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

QString ClockText()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool SetClock(bool bRecompute)
{
    return g_capture.SetClock(ClockText(), QStringLiteral("DejaVu Sans"), false, false, false, 36, 0, 0, 0x000000,
                              0xFFFFFF, bRecompute, 0);
}

double Median(std::vector<double> adValues)
{
    if (adValues.empty())
        return 0;
    std::sort(adValues.begin(), adValues.end());
    const size_t n = adValues.size();
    return n % 2 ? adValues[n / 2] : (adValues[n / 2 - 1] + adValues[n / 2]) / 2;
}

void PrintDevices()
{
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
    {
        QString strName;
        g_capture.GetDeviceName(true, g_capture.GetOrderedDevice(i), strName);
        std::printf("channel %d: %s\n", i + 1, qPrintable(strName));
    }
}

// True once every channel preview has shown a picture, so that the cameras
// are streaming before anything is measured.
bool WaitForFirstFrames(const std::vector<std::unique_ptr<CBenchPreviewWindow>>& listWindows)
{
    auto allPresented = [&listWindows] {
        return std::all_of(
            listWindows.begin(), listWindows.end(),
            [](const std::unique_ptr<CBenchPreviewWindow>& pWindow) { return pWindow->GetPresentedFrames() > 0; });
    };
    QElapsedTimer timer;
    timer.start();
    while (!allPresented() && timer.elapsed() < FIRST_FRAMES_TIMEOUT_MS)
        RunEventsFor(50);
    return allPresented();
}

// What the preloaded emulator handed out per camera; nothing without it.
void PrintEmulatorFrames()
{
    using FramesDelivered = long long (*)(int);
    auto pfnDelivered = reinterpret_cast<FramesDelivered>(dlsym(RTLD_DEFAULT, "v4l2emu_frames_delivered"));
    if (!pfnDelivered)
    {
        std::printf("cameras: the emulator is not loaded\n");
        return;
    }
    std::printf("cameras: frames delivered");
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
        std::printf(" %lld", pfnDelivered(i));
    std::printf("\n");
}

int ColourDistance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// A channel's cell sampled at its centre column, a quarter down: clear of
// the bar along the bottom of the camera's picture and of the overlays in
// the output's corners. Black when the frame is missing.
QRgb SampleCell(const QImage& image, int nChannel)
{
    const int nX = (nChannel % 2) * CHANNEL_WIDTH + CHANNEL_WIDTH / 2;
    const int nY = (nChannel / 2) * CHANNEL_HEIGHT + CHANNEL_HEIGHT / 4;
    return image.valid(nX, nY) ? image.pixel(nX, nY) : qRgb(0, 0, 0);
}

// The emulated camera (0 to 5) that shows this colour, or -1.
int EmulatedCamera(QRgb colour)
{
    for (int i = 0; i < int(std::size(EMULATED_COLOURS)); ++i)
        if (ColourDistance(colour, EMULATED_COLOURS[i]) <= COLOUR_TOLERANCE)
            return i;
    return -1;
}

// True when the frame shows six different emulated cameras, one per cell:
// a channel that fell back to black, or repeats another, fails.
bool ShowsSixEmulatedCameras(const QImage& image, const char* pszWhich)
{
    std::vector<int> anCameras;
    std::printf("%s frame:", pszWhich);
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
    {
        const QRgb colour = SampleCell(image, i);
        const int nCamera = EmulatedCamera(colour);
        anCameras.push_back(nCamera);
        if (nCamera >= 0)
            std::printf(" camera %d", nCamera + 1);
        else
            std::printf(" #%06x", unsigned(colour) & 0xffffffu);
    }
    std::printf("\n");
    std::sort(anCameras.begin(), anCameras.end());
    return anCameras.front() >= 0 && std::unique(anCameras.begin(), anCameras.end()) == anCameras.end();
}

// Reads back the frame in the middle of the recording and its last one.
bool CheckEmulatedCameras(const QString& strPath, int nFrames)
{
    const int nMiddle = nFrames / 2;
    const int nLast = nFrames - 1;
    std::map<int, QImage> mapImages = ReadVideoFrames(strPath, {nMiddle, nLast});
    const bool bMiddle = ShowsSixEmulatedCameras(mapImages[nMiddle], "middle");
    const bool bLast = ShowsSixEmulatedCameras(mapImages[nLast], "last");
    return bMiddle && bLast;
}

int Run(const SOptions& options, const QString& strWorkDir)
{
    const int nRateIndex = FindRateIndex(options.dRate);
    if (nRateIndex < 0)
    {
        std::fprintf(stderr, "bench_pipeline: the program offers no rate of %g fps\n", options.dRate);
        return 2;
    }
    const double dRate = GetFrameRate(nRateIndex);
    const int nFrameDuration = FrameDurationFromRate(dRate);
    g_settings.SetOutputFormat(SIZE_1920X1080, nRateIndex);
    g_settings.SetEncoderParam(0, QUALITY_BEST_SPEED, BITRATE_4000, MODE_LOW_LATENCY, KEY_FRAME_300, ENCODER_SOFTWARE,
                               1, 1);
    g_settings.SetAudioDevice(-1, 0);
    g_settings.SetDataStorage(strWorkDir);
    // As the Settings tab stores a stream, which also selects low latency.
    const bool bStream = !options.vecRtmpUrls.empty();
    g_settings.SetRtmpServer(bStream ? 1 : 0, QStringLiteral("127.0.0.1"), QString(), QString(),
                             bStream ? options.vecRtmpUrls.front() : QString());
    g_settings.sync();

    if (!g_capture.Init())
    {
        std::fprintf(stderr, "bench_pipeline: no usable capture device\n");
        return 1;
    }
    if (g_capture.GetOrderedDeviceCount() < CKVCapture::CHANNEL_COUNT)
    {
        std::fprintf(stderr, "bench_pipeline: %d devices, six needed (%s)\n", g_capture.GetOrderedDeviceCount(),
                     options.bEmulatedCameras ? "VISTREL_V4L2EMU with libv4l2emu.so preloaded"
                                              : "VISTREL_VIRTUAL_VIDEO=6");
        g_capture.Uninit();
        return 1;
    }
    if (options.bEmulatedCameras)
        PrintDevices();

    // Previews as the program shows them: the output and one small window
    // per channel.
    std::unique_ptr<CBenchPreviewWindow> pOutputWindow;
    std::vector<std::unique_ptr<CBenchPreviewWindow>> listChannelWindows;
    const bool bPreviews = options.bRealtime && options.bPreviews;
    if (bPreviews)
    {
        pOutputWindow.reset(new CBenchPreviewWindow(0, 0, 960, 540));
        for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
            listChannelWindows.emplace_back(new CBenchPreviewWindow(970 + (i % 2) * 330, (i / 2) * 190, 320, 180));
    }
    const KVS_WINDOW hOutput = pOutputWindow ? pOutputWindow->GetWindowId() : HIDDEN_WINDOW_BASE;
    if (!g_capture.CreateMixer(OUTPUT_WIDTH, OUTPUT_HEIGHT, nFrameDuration, hOutput))
    {
        std::fprintf(stderr, "bench_pipeline: cannot create the mixer\n");
        g_capture.Uninit();
        return 1;
    }
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
    {
        const KVS_WINDOW hWnd = bPreviews ? listChannelWindows[size_t(i)]->GetWindowId() : HIDDEN_WINDOW_BASE + 1 + i;
        if (!g_capture.OpenChannel(i, g_capture.GetOrderedDevice(i), hWnd))
        {
            std::fprintf(stderr, "bench_pipeline: cannot open channel %d\n", i);
            g_capture.Uninit();
            return 1;
        }
        g_capture.PlaceChannel(i, (i % 2) * CHANNEL_WIDTH, (i / 2) * CHANNEL_HEIGHT, CHANNEL_WIDTH, CHANNEL_HEIGHT, 255,
                               0);
        if (!g_capture.IsChannelPlaced(i))
        {
            std::fprintf(stderr, "bench_pipeline: channel %d refused 960x360\n", i);
            g_capture.Uninit();
            return 1;
        }
    }
    const bool bOverlays =
        g_capture.SetLogo(options.strLogo, 1, 50) &&
        g_capture.SetCaption(QStringLiteral("Evening news from the studio"), QStringLiteral("DejaVu Sans"), false,
                             false, false, 48, 2, 4, 0x000000, 0xFFFFFF) &&
        SetClock(true);
    if (!bOverlays)
    {
        std::fprintf(stderr, "bench_pipeline: overlays refused (logo %s)\n", qPrintable(options.strLogo));
        g_capture.Uninit();
        return 1;
    }
    // The clock changes once a second, as in the program.
    QTimer timerClock;
    QObject::connect(&timerClock, &QTimer::timeout, [] { SetClock(false); });
    timerClock.start(1000);

    CBenchNotify notify;
    g_capture.AddNotify(&notify);
    if (bPreviews && !WaitForFirstFrames(listChannelWindows))
        std::fprintf(stderr, "bench_pipeline: not every channel shows a picture yet\n");
    // Cameras and mixer settle before anything is measured.
    RunEventsFor(2000);

    // What capture and composition cost alone, so that the recording's share
    // shows; the mixer ticks at the output rate whether or not it records.
    double dIdleMsPerFrame = 0;
    if (!options.bRealtime)
    {
        const int nIdleMs = int(options.nFrames * 1000 / dRate);
        const double dIdleStart = ProcessCpuMs();
        RunEventsFor(nIdleMs);
        dIdleMsPerFrame = (ProcessCpuMs() - dIdleStart) / (double(nIdleMs) * dRate / 1000.0);
    }

    const QString strPath = QDir(strWorkDir).filePath(QStringLiteral("bench.mp4"));
    uint64_t nLateStart = 0;
    g_capture.GetLateTicks(nLateStart);
    const double dCpuStart = ProcessCpuMs();
    std::vector<SStreamTarget> vecStreams;
    for (const QString& strUrl : options.vecRtmpUrls)
        vecStreams.push_back({QStringLiteral("Stream %1").arg(vecStreams.size() + 1), strUrl});
    QString strReason;
    if (!g_capture.StartRecord(strPath, vecStreams, strReason))
    {
        std::fprintf(stderr, "bench_pipeline: the recording does not start\n");
        g_capture.RemoveNotify(&notify);
        g_capture.Uninit();
        return 1;
    }

    std::vector<double> adRates;
    int nExpected = options.nFrames;
    if (options.bRealtime)
    {
        nExpected = int(std::lround(options.nSeconds * dRate));
        QElapsedTimer timer;
        timer.start();
        qint64 nLastMs = 0;
        uint64_t nLastFrames = 0;
        while (timer.elapsed() < qint64(options.nSeconds) * 1000)
        {
            RunEventsFor(int(std::min<qint64>(1000, qint64(options.nSeconds) * 1000 - timer.elapsed())));
            const qint64 nNowMs = timer.elapsed();
            const uint64_t nFrames = g_capture.GetVideoFramesEncoded();
            if (nNowMs > nLastMs)
            {
                const double dRate = double(nFrames - nLastFrames) * 1000.0 / double(nNowMs - nLastMs);
                adRates.push_back(dRate);
                std::printf("second %2zu: %.1f fps\n", adRates.size(), dRate);
                std::fflush(stdout);
            }
            nLastMs = nNowMs;
            nLastFrames = nFrames;
        }
    }
    else
    {
        while (g_capture.GetVideoFramesEncoded() < uint64_t(options.nFrames))
            RunEventsFor(20);
    }
    // Every destination really took the stream, or the run measured less
    // than it claims.
    for (int i = 0; i < g_capture.GetStreamCount(); ++i)
    {
        KPL_RTMP_STATUS status = {};
        const bool bStatus = g_capture.GetStreamStatus(i, status);
        std::printf("stream %d: %s, %llu video packets sent, %llu dropped\n", i + 1,
                    bStatus && status.nState == KPL_RTMP_PUBLISHING ? "publishing" : "not publishing",
                    static_cast<unsigned long long>(status.nVideoSent),
                    static_cast<unsigned long long>(status.nVideoDropped));
    }
    g_capture.StopRecord();
    const double dCpuMs = ProcessCpuMs() - dCpuStart;
    uint64_t nLateEnd = nLateStart;
    g_capture.GetLateTicks(nLateEnd);

    timerClock.stop();
    g_capture.RemoveNotify(&notify);
    g_capture.Uninit();

    const int nFrames = CountVideoFrames(strPath);
    if (nFrames <= 0)
    {
        std::fprintf(stderr, "bench_pipeline: no video frames in %s\n", qPrintable(strPath));
        return 1;
    }
    if (notify.m_nErrors.load() != 0)
        std::fprintf(stderr, "bench_pipeline: %d engine errors during the run\n", notify.m_nErrors.load());
    if (!options.strKeep.isEmpty())
    {
        QFile::remove(options.strKeep);
        if (!QFile::copy(strPath, options.strKeep))
            std::fprintf(stderr, "bench_pipeline: cannot keep the recording as %s\n", qPrintable(options.strKeep));
    }

    bool bPicturesRight = true;
    if (options.bEmulatedCameras)
    {
        PrintEmulatorFrames();
        bPicturesRight = CheckEmulatedCameras(strPath, nFrames);
        if (!bPicturesRight)
            std::fprintf(stderr, "bench_pipeline: the recording does not show the six emulated cameras\n");
    }

    if (options.bRealtime)
    {
        int nPresented = pOutputWindow ? pOutputWindow->GetPresentedFrames() : 0;
        std::printf("output preview: %d frames presented\n", nPresented);
        std::printf("previews: %s\n", bPreviews ? "shown" : "none");
        std::printf("median output frame rate: %.1f fps over %zu seconds (target %.2f)\n", Median(adRates),
                    adRates.size(), dRate);
        std::printf("CPU per recorded frame: %.2f ms (%.0f ms over %d frames)\n", dCpuMs / nFrames, dCpuMs, nFrames);
        std::printf("late ticks: %llu during the recording (target 0)\n",
                    static_cast<unsigned long long>(nLateEnd - nLateStart));
        std::printf("recorded frames: %d of %d = %.2f %% (target >= 99.5 %%)\n", nFrames, nExpected,
                    100.0 * nFrames / nExpected);
    }
    else
    {
        std::printf("vistrel: capture and composition without recording: %.2f ms/frame\n", dIdleMsPerFrame);
        std::printf("vistrel: %d frames recorded, %.0f ms CPU, %.2f ms/frame\n", nFrames, dCpuMs, dCpuMs / nFrames);
        std::printf("vistrel_cpu_ms_per_frame %.3f\n", dCpuMs / nFrames);
    }
    return notify.m_nErrors.load() == 0 && bPicturesRight ? 0 : 1;
}
}

int main(int argc, char** argv)
{
    SOptions options;
    if (!ParseOptions(argc, argv, options))
    {
        std::fprintf(stderr,
                     "usage: %s [--frames N] [--logo PATH] [--keep PATH]\n"
                     "       %s --realtime [--seconds S] [--rtmp URL] [--logo PATH] [--emulated-cameras]\n"
                     "          [--no-previews]\n"
                     "       both: [--rate FPS]\n",
                     argv[0], argv[0]);
        return 2;
    }
    const char* pszConfigDir = PrivateConfigDir();
    if (!pszConfigDir)
    {
        RestartWithPrivateConfig(argv, "bench_pipeline");
        return 1;
    }

    if (options.bEmulatedCameras)
    {
        // Only the cameras: a missing one must not be made up by a virtual.
        setenv("VISTREL_NO_V4L2", "0", 1);
        setenv("VISTREL_VIRTUAL_VIDEO", "0", 1);
    }
    else
    {
        setenv("VISTREL_NO_V4L2", "1", 1);
        if (!std::getenv("VISTREL_VIRTUAL_VIDEO"))
            setenv("VISTREL_VIRTUAL_VIDEO", "6", 1);
    }
    // The real-time run shows its previews on the display it is given.
    if (!options.bRealtime || !std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    int nResult = 1;
    {
        QGuiApplication app(argc, argv);
        if (options.strLogo.isEmpty())
            options.strLogo =
                QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vtlayout/logo_wordmark.png"));
        QTemporaryDir dirWork;
        if (dirWork.isValid())
            nResult = Run(options, dirWork.path());
        else
            std::fprintf(stderr, "bench_pipeline: no temporary folder\n");
    }
    QDir(QString::fromLocal8Bit(pszConfigDir)).removeRecursively();
    return nResult;
}
