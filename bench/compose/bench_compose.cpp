// Cost of composing one 1920x1080 output frame (six 960x360 channels, a
// 400x100 logo, a caption and a clock) against one plain memcpy of a frame of
// that size that is not in any cache, both in CPU time on this thread.
// The ratio is printed last; the target is at most 1.5.
#include "media/mixer/CFrameComposer.h"
#include "media/mixer/COverlay.h"
#include "media/mixer/OverlaySources.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

extern "C"
{
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <vector>
#include <unistd.h>

namespace
{
const int W = 1920;
const int H = 1080;
const size_t FRAME_BYTES = size_t(W) * 2 * H;

double ThreadCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The last-level cache as the system reports it; a virtual machine may claim
// the host's, which only makes the pool larger.
size_t LastLevelCacheBytes()
{
    long n = sysconf(_SC_LEVEL3_CACHE_SIZE);
    if (n <= 0)
        n = sysconf(_SC_LEVEL2_CACHE_SIZE);
    return n > 0 ? size_t(n) : size_t(32) << 20;
}

size_t PhysicalBytes()
{
    return size_t(sysconf(_SC_PHYS_PAGES)) * size_t(sysconf(_SC_PAGESIZE));
}

std::vector<uint8_t> MakeChannelFrame(int nWidth, int nHeight, int nSeed)
{
    std::vector<uint8_t> abFrame(size_t(nWidth) * 2 * nHeight);
    for (int y = 0; y < nHeight; ++y)
        for (int x = 0; x < nWidth; x += 2)
        {
            uint8_t* p = &abFrame[(size_t(y) * nWidth + x) * 2];
            p[0] = uint8_t(16 + (x + y + nSeed * 30) % 220);
            p[1] = uint8_t(128 + nSeed * 10);
            p[2] = uint8_t(16 + (x + 1 + y + nSeed * 30) % 220);
            p[3] = uint8_t(128 - nSeed * 10);
        }
    return abFrame;
}

QImage MakeLogo()
{
    // Opaque body, soft edges and transparent corners, like a typical logo.
    QImage image(400, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 400, 0);
    gradient.setColorAt(0, QColor(200, 30, 30));
    gradient.setColorAt(1, QColor(30, 30, 200, 128));
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(2, 2, 396, 96), 30, 30);
    painter.end();
    return image;
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);

    // The scene: a 2 x 3 grid of 960 x 360 channels and three overlays.
    std::vector<std::vector<uint8_t>> channelFrames;
    std::vector<CFrameComposer::ChannelDraw> channels;
    channelFrames.reserve(6);
    for (int i = 0; i < 6; ++i)
        channelFrames.push_back(MakeChannelFrame(960, 360, i));
    for (int i = 0; i < 6; ++i)
    {
        CFrameComposer::ChannelDraw draw;
        draw.pFrame = channelFrames[size_t(i)].data();
        draw.nStride = 960 * 2;
        draw.nWidth = 960;
        draw.nHeight = 360;
        const int x = (i % 2) * 960, y = (i / 2) * 360;
        draw.rcSource = {0, 0, 959, 359};
        draw.rcDest = {x, y, x + 959, y + 359};
        channels.push_back(draw);
    }
    KVS_CAPTION_STYLE style = {48, 2, 0x00FFFFFF, 0x00000000, 0, 1, 0};
    QImage captionImage, clockImage;
    OverlaySources::RenderCaption(QStringLiteral("Evening news from the studio"), QStringLiteral("Sans"), style,
                                  captionImage);
    style.nBorder = 0;
    style.nFontSize = 36;
    OverlaySources::RenderCaption(QStringLiteral("2024-05-01 18:30:00"), QStringLiteral("Sans"), style, clockImage);
    const std::shared_ptr<const COverlay> pLogo = COverlay::FromImage(MakeLogo());
    const std::shared_ptr<const COverlay> pCaption = COverlay::FromImage(captionImage);
    const std::shared_ptr<const COverlay> pClock = COverlay::FromImage(clockImage);
    std::vector<CFrameComposer::OverlayDraw> overlays = {
        {pLogo.get(), W - 400 - 10, 10},
        {pCaption.get(), (W - pCaption->GetWidth()) / 2 & ~1, H - 10 - pCaption->GetHeight()},
        {pClock.get(), 10, 10},
    };

    std::vector<uint8_t> abOutput(FRAME_BYTES);
    CFrameComposer composer;
    composer.Compose(abOutput.data(), W * 2, W, H, channels, overlays); // warm-up
    const int nComposeFrames = 500;
    double t0 = ThreadCpuSeconds();
    for (int i = 0; i < nComposeFrames; ++i)
        composer.Compose(abOutput.data(), W * 2, W, H, channels, overlays);
    const double fCompose = (ThreadCpuSeconds() - t0) / nComposeFrames;

    // Reference: memcpy from a pool much larger than the last-level cache.
    size_t nPoolBytes = std::max(LastLevelCacheBytes() * 2, size_t(512) << 20);
    nPoolBytes = std::min(nPoolBytes, PhysicalBytes() / 4);
    const size_t nPoolFrames = std::max<size_t>(2, nPoolBytes / FRAME_BYTES);
    std::vector<uint8_t> abPool(nPoolFrames * FRAME_BYTES);
    for (size_t i = 0; i < abPool.size(); i += 4096)
        abPool[i] = uint8_t(i >> 12); // fault every page in before timing
    std::vector<uint8_t> abCopy(FRAME_BYTES);
    const size_t nCopies = std::max<size_t>(nPoolFrames * 2, 200);
    t0 = ThreadCpuSeconds();
    for (size_t i = 0; i < nCopies; ++i)
    {
        std::memcpy(abCopy.data(), abPool.data() + (i % nPoolFrames) * FRAME_BYTES, FRAME_BYTES);
        asm volatile("" : : "r"(abCopy.data()) : "memory");
    }
    const double fCopy = (ThreadCpuSeconds() - t0) / double(nCopies);

    // A 640 x 360 RGB32 preview of the composed frame, as a renderer makes it.
    SwsContext* pSws =
        sws_getContext(W, H, AV_PIX_FMT_YUYV422, 640, 360, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    std::vector<uint8_t> abPreview(size_t(640) * 4 * 360);
    const uint8_t* apSrc[1] = {abOutput.data()};
    const int anSrcStride[1] = {W * 2};
    uint8_t* apDst[1] = {abPreview.data()};
    const int anDstStride[1] = {640 * 4};
    const int nPreviewFrames = 200;
    sws_scale(pSws, apSrc, anSrcStride, 0, H, apDst, anDstStride);
    t0 = ThreadCpuSeconds();
    for (int i = 0; i < nPreviewFrames; ++i)
        sws_scale(pSws, apSrc, anSrcStride, 0, H, apDst, anDstStride);
    const double fPreview = (ThreadCpuSeconds() - t0) / nPreviewFrames;
    sws_freeContext(pSws);

    std::printf("compose 1920x1080 (6 x 960x360, logo 400x100, caption %dx%d, clock %dx%d): %.3f ms/frame\n",
                pCaption->GetWidth(), pCaption->GetHeight(), pClock->GetWidth(), pClock->GetHeight(), fCompose * 1e3);
    std::printf("memcpy 1920x1080 YUYV from a %zu MiB pool: %.3f ms/frame\n", abPool.size() >> 20, fCopy * 1e3);
    std::printf("preview 1920x1080 YUYV -> 640x360 RGB32 (libswscale): %.3f ms/frame\n", fPreview * 1e3);
    std::printf("ratio compose / memcpy: %.2f (target <= 1.5)\n", fCompose / fCopy);
    return 0;
}
