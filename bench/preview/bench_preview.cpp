// What the main window's previews cost: six virtual cameras in the six-way
// grid of a 1920 x 1080 output at 25 fps, nothing recorded.
//
//   bench_preview [--seconds S] [--turns N]
//       (a) runs capture and composition with every renderer pointed at a
//       window nobody registers, (b) then opens the real main window at its
//       default size, which shows the output preview and the six channel
//       previews, and runs as long again. (a) and (b) take N turns (3) of
//       S / N seconds each (S is 10), so that both see the same changes in
//       the machine's load. It prints the process CPU time per output frame
//       of both, and last "preview_cost_ratio <(b - a) / a>" for
//       run_preview.sh. Before that, (c): the window hidden in the last
//       turn, its previews then cost nothing.
//
// Needs an X server: the previews are painted as the program paints them.
// The settings live in a private configuration folder: the process starts
// itself again with one, since the settings object reads its location
// before main() runs.
#include "app/CVistrel.h"
#include "common/AppInfo.h"
#include "config/CLayout.h"
#include "config/CSettings.h"
#include "engine/CKVCapture.h"
#include "ui/windows/CRenderWidget.h"
#include "BenchProcess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <cstdlib>

// Outside any namespace: the resource initialiser is a global function.
static void InitProgramResources()
{
    Q_INIT_RESOURCE(vistrel);
}

namespace
{
const int OUTPUT_WIDTH = 1920;
const int OUTPUT_HEIGHT = 1080;
const int FRAME_RATE = 25;
const int FRAME_DURATION = 10000000 / FRAME_RATE;
// Indices into the Settings tab's tables: 1920 x 1080, 25 fps.
const int SIZE_1920X1080 = 0;
const int RATE_25 = 2;
// Window ids nobody registers: the renderers have nowhere to draw.
const KVS_WINDOW HIDDEN_WINDOW_BASE = 0x7c0000;
const int SETTLE_MS = 3000;
const int FIRST_PICTURES_TIMEOUT_MS = 30000;

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

// CPU milliseconds per output frame over nMs of running the event loop; the
// mixer ticks at the output rate whether anything is shown or not. The
// threads' shares go to pstrThreads, largest first.
double MeasureMsPerFrame(int nMs, QString* pstrThreads)
{
    const double dStart = ProcessCpuMs();
    const QMap<int, SThreadCpu> mapStart = ThreadCpuMs();
    QElapsedTimer timer;
    timer.start();
    RunEventsFor(nMs);
    const double dFrames = double(timer.elapsed()) * FRAME_RATE / 1000.0;
    const QMap<QString, double> mapSpent = ThreadCpuSpent(mapStart, ThreadCpuMs());
    QList<QPair<double, QString>> listShares;
    for (auto it = mapSpent.cbegin(); it != mapSpent.cend(); ++it)
        if (it.value() / dFrames >= 0.005)
            listShares.append({it.value() / dFrames, it.key()});
    std::sort(listShares.begin(), listShares.end(), std::greater<QPair<double, QString>>());
    pstrThreads->clear();
    for (const auto& share : listShares)
        *pstrThreads += QStringLiteral(" %1 %2").arg(share.second).arg(share.first, 0, 'f', 2);
    return (ProcessCpuMs() - dStart) / dFrames;
}

int FindLayout(const QString& strName)
{
    for (int i = 0; i < g_layout.GetLayoutCount(); ++i)
        if (g_layout.GetName(i) == strName)
            return i;
    return -1;
}

// (a): the engine as the main window sets it up, without any window.
bool RunHeadless(int nLayout, int nMs, double* pdMsPerFrame, QString* pstrThreads)
{
    if (!g_capture.CreateMixer(OUTPUT_WIDTH, OUTPUT_HEIGHT, FRAME_DURATION, HIDDEN_WINDOW_BASE))
    {
        std::fprintf(stderr, "bench_preview: cannot create the mixer\n");
        return false;
    }
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
    {
        QRect rect;
        if (!g_capture.OpenChannel(i, g_capture.GetOrderedDevice(i), HIDDEN_WINDOW_BASE + 1 + i) ||
            !g_layout.GetPositionRect(nLayout, i, OUTPUT_WIDTH, OUTPUT_HEIGHT, rect))
        {
            std::fprintf(stderr, "bench_preview: cannot open channel %d\n", i);
            return false;
        }
        g_capture.PlaceChannel(i, rect.x(), rect.y(), rect.width(), rect.height(), 255, 0);
    }
    RunEventsFor(SETTLE_MS);
    *pdMsPerFrame = MeasureMsPerFrame(nMs, pstrThreads);
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
        g_capture.CloseChannel(i);
    g_capture.DestroyMixer();
    return true;
}

// (b): the real main window, shown at its default size; then, when asked
// for, (c) the same window hidden, which leaves its own timers and no
// previews.
bool RunWindowed(int nMs, double* pdMsPerFrame, double* pdHiddenMsPerFrame, QString* pstrThreads)
{
    CVistrel wnd;
    wnd.show();
    const QList<CRenderWidget*> listPreviews = wnd.findChildren<CRenderWidget*>();
    auto countShowing = [&listPreviews] {
        int nShowing = 0;
        for (const CRenderWidget* pPreview : listPreviews)
            if (pPreview->IsShownToUser() && pPreview->HasPicture())
                ++nShowing;
        return nShowing;
    };
    QElapsedTimer timer;
    timer.start();
    while (countShowing() < CKVCapture::CHANNEL_COUNT + 1 && timer.elapsed() < FIRST_PICTURES_TIMEOUT_MS)
        RunEventsFor(50);
    std::printf("main window %dx%d, previews showing a picture:", wnd.width(), wnd.height());
    for (const CRenderWidget* pPreview : listPreviews)
        if (pPreview->IsShownToUser() && pPreview->HasPicture())
            std::printf(" %dx%d", pPreview->width(), pPreview->height());
    std::printf("\n");
    if (countShowing() < CKVCapture::CHANNEL_COUNT + 1)
    {
        std::fprintf(stderr, "bench_preview: only %d previews show a picture\n", countShowing());
        return false;
    }
    RunEventsFor(SETTLE_MS);
    *pdMsPerFrame = MeasureMsPerFrame(nMs, pstrThreads);
    if (pdHiddenMsPerFrame)
    {
        wnd.hide();
        RunEventsFor(SETTLE_MS);
        QString strHiddenThreads;
        *pdHiddenMsPerFrame = MeasureMsPerFrame(nMs, &strHiddenThreads);
    }
    return true;
}

// The engine as the program starts it, with the six cameras in the grid.
bool StartEngine()
{
    if (!g_capture.Init() || g_capture.GetOrderedDeviceCount() < CKVCapture::CHANNEL_COUNT)
    {
        std::fprintf(stderr, "bench_preview: six capture devices needed (VISTREL_VIRTUAL_VIDEO=6)\n");
        return false;
    }
    g_settings.LoadAssignments(g_capture.GetOrderedDeviceCount(),
                               [](int nDevice) { return g_capture.IsDeviceOrdered(nDevice); });
    return true;
}

int Run(int nSeconds, int nRounds)
{
    InitProgramResources();
    InitAppTexts();
    g_settings.SetOutputFormat(SIZE_1920X1080, RATE_25);
    if (!StartEngine())
        return 1;
    const int nLayout = g_layout.Load() ? FindLayout(QStringLiteral("Six Grid")) : -1;
    if (nLayout < 0 || g_layout.GetPositionCount(nLayout) < CKVCapture::CHANNEL_COUNT)
    {
        std::fprintf(stderr, "bench_preview: no six-way grid in the layout file\n");
        g_capture.Uninit();
        return 1;
    }
    g_settings.SetLayoutIndex(nLayout);
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
        g_settings.SetChannelPosition(i, i);
    g_settings.sync();

    // (a) and (b) take turns, so that a change in the machine's load while
    // the benchmark runs weighs on both alike; each is the mean of its turns.
    double dHeadless = 0;
    double dWindowed = 0;
    double dHidden = 0;
    const int nMs = std::max(1000, nSeconds * 1000 / nRounds);
    QString strHeadlessThreads;
    QString strWindowedThreads;
    for (int nRound = 0; nRound < nRounds; ++nRound)
    {
        double dHeadlessTurn = 0;
        double dWindowedTurn = 0;
        const bool bLast = nRound + 1 == nRounds;
        if ((nRound > 0 && !StartEngine()) || !RunHeadless(nLayout, nMs, &dHeadlessTurn, &strHeadlessThreads) ||
            !RunWindowed(nMs, &dWindowedTurn, bLast ? &dHidden : nullptr, &strWindowedThreads))
        {
            g_capture.Uninit();
            return 1;
        }
        g_capture.Uninit();
        std::printf("turn %d: (a) %.2f (b) %.2f ms\n", nRound + 1, dHeadlessTurn, dWindowedTurn);
        dHeadless += dHeadlessTurn / nRounds;
        dWindowed += dWindowedTurn / nRounds;
    }
    std::printf("(a) capture and composition, no previews: %.2f ms CPU per output frame\n", dHeadless);
    std::printf("(b) the same with the main window's previews: %.2f ms CPU per output frame\n", dWindowed);
    std::printf("    by thread in the last turn, ms per frame: (a)%s\n", qPrintable(strHeadlessThreads));
    std::printf("    (b)%s\n", qPrintable(strWindowedThreads));
    std::printf("(c) the main window hidden: %.2f ms CPU per output frame\n", dHidden);
    std::printf("preview_cost_ratio %.3f\n", (dWindowed - dHeadless) / dHeadless);
    return 0;
}
}

int main(int argc, char** argv)
{
    int nSeconds = 10;
    int nRounds = 3;
    for (int i = 1; i < argc; ++i)
    {
        if (QByteArray(argv[i]) == "--seconds" && i + 1 < argc)
            nSeconds = std::atoi(argv[++i]);
        else if (QByteArray(argv[i]) == "--turns" && i + 1 < argc)
            nRounds = std::atoi(argv[++i]);
        else
            nSeconds = 0;
    }
    if (nSeconds <= 0 || nRounds <= 0)
    {
        std::fprintf(stderr, "usage: %s [--seconds S] [--turns N]\n", argv[0]);
        return 2;
    }
    const char* pszConfigDir = PrivateConfigDir();
    if (!pszConfigDir)
    {
        RestartWithPrivateConfig(argv, "bench_preview");
        return 1;
    }
    setenv("VISTREL_NO_V4L2", "1", 1);
    setenv("VISTREL_VIRTUAL_VIDEO", "6", 1);
    if (!std::getenv("DISPLAY"))
    {
        std::fprintf(stderr, "bench_preview: needs an X server (run_preview.sh starts one)\n");
        return 1;
    }

    int nResult = 1;
    {
        QApplication app(argc, argv);
        nResult = Run(nSeconds, nRounds);
    }
    QDir(QString::fromLocal8Bit(pszConfigDir)).removeRecursively();
    return nResult;
}
