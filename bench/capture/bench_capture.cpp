// Cost per frame of a virtual capture, against a plain copy of a frame of
// the same size from memory. Both sides cycle through a pool of frames
// larger than the last-level cache, so neither is measured from cache.
//
// Per frame the capture side does what a capture thread and its reader do:
// render the frame (background copy, moving bar, counter) into a buffer,
// then copy it out as KVS_CopyLatestFrame does for the mixer.
#include "media/image/PictureAdjust.h"
#include "media/capture/virtual/VirtualPicture.h"

#include <QGuiApplication>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

size_t CacheBytes()
{
    const long nL3 = sysconf(_SC_LEVEL3_CACHE_SIZE);
    const long nL2 = sysconf(_SC_LEVEL2_CACHE_SIZE);
    return size_t(std::max({nL3, nL2, 32L << 20}));
}

size_t MemoryBytes()
{
    return size_t(sysconf(_SC_PHYS_PAGES)) * size_t(sysconf(_SC_PAGESIZE));
}

// Best of several runs of nFrames calls, in nanoseconds per call.
double Measure(int nFrames, const std::function<void(int)>& fnFrame)
{
    double dBest = 1e30;
    for (int nRun = 0; nRun < 5; ++nRun)
    {
        const Clock::time_point tpStart = Clock::now();
        for (int i = 0; i < nFrames; ++i)
            fnFrame(i);
        const double dNs = std::chrono::duration<double, std::nano>(Clock::now() - tpStart).count() / nFrames;
        dBest = std::min(dBest, dNs);
    }
    return dBest;
}

struct SResult
{
    double dCopyNs;
    double dRenderNs;
    double dCaptureNs;
};

SResult Run(int nWidth, int nHeight)
{
    const size_t nFrameBytes = size_t(nWidth) * 2 * size_t(nHeight);
    // Twice the cache, but never more than a quarter of the memory.
    const size_t nPoolBytes = std::min(CacheBytes() * 2, MemoryBytes() / 4);
    const int nPool = std::max(8, int(nPoolBytes / nFrameBytes));
    std::vector<std::vector<uint8_t>> vecPool(static_cast<size_t>(nPool));
    for (auto& vecFrame : vecPool)
        vecFrame.assign(nFrameBytes, 0x80); // fault every page in now

    KVMedia::CVirtualPicture picture;
    picture.Build(QStringLiteral("Bench Camera"), 1, nWidth, nHeight);
    KVMedia::CPictureAdjust adjust;
    const int nDuration = 400000;
    const int nHalf = nPool / 2;

    SResult result;
    result.dCopyNs = Measure(nPool, [&](int i) {
        std::memcpy(vecPool[size_t((i + nHalf) % nPool)].data(), vecPool[size_t(i)].data(), nFrameBytes);
    });
    result.dRenderNs = Measure(nPool, [&](int i) {
        picture.Render(uint64_t(i), nDuration, true, adjust, 0, vecPool[size_t(i)].data(), nWidth * 2);
    });
    result.dCaptureNs = Measure(nPool, [&](int i) {
        picture.Render(uint64_t(i), nDuration, true, adjust, 0, vecPool[size_t(i)].data(), nWidth * 2);
        std::memcpy(vecPool[size_t((i + nHalf) % nPool)].data(), vecPool[size_t(i)].data(), nFrameBytes);
    });
    std::printf("%dx%d: pool of %d frames (%.0f MiB)\n", nWidth, nHeight, nPool,
                double(nPool) * double(nFrameBytes) / (1 << 20));
    std::printf("  memcpy of a frame           %8.3f ms\n", result.dCopyNs / 1e6);
    std::printf("  render a frame              %8.3f ms  (%.2f x memcpy)\n", result.dRenderNs / 1e6,
                result.dRenderNs / result.dCopyNs);
    std::printf("  render + copy out (capture) %8.3f ms  (%.2f x memcpy)\n", result.dCaptureNs / 1e6,
                result.dCaptureNs / result.dCopyNs);
    return result;
}
}

int main(int argc, char** argv)
{
    // The name on the picture needs fonts, which need a GUI application;
    // no display is needed for that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const SResult resultSd = Run(768, 576);
    const SResult resultHd = Run(1920, 1080);
    std::printf("capture per frame / memcpy per frame: 768x576 %.2f, 1920x1080 %.2f\n",
                resultSd.dCaptureNs / resultSd.dCopyNs, resultHd.dCaptureNs / resultHd.dCopyNs);
    return 0;
}
