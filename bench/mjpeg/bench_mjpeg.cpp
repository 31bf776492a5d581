// CPU time per composed frame with six 1920x1080 MJPEG cameras at 30 fps in
// the six-grid (2 x 3 channels of 960x360) of a 1920x1080 output at 30 fps.
// The cameras' pictures, read from MJPEG files, are handed to the captures'
// own decoding in memory at the cameras' pace (PacketFeed.h), so what is
// measured is the decoding, scaling and composing a real camera costs; the
// mixer composes on its own clock as it does in the program.
//   bench_mjpeg --frames N file0.mjpeg ... file5.mjpeg
// Prints vistrel_cpu_ms_per_frame and, with every camera picture decoded,
// vistrel_cpu_ms_per_frame_all_decoded last, for run_mjpeg.sh.
#include "media/capture/CaptureDevice.h"
#include "media/capture/PacketDecoder.h"
#include "media/capture/PacketFeed.h"
#include "media/mixer/CVideoMixer.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

using namespace KVMedia;

namespace
{
const int CAMERA_WIDTH = 1920;
const int CAMERA_HEIGHT = 1080;
const int CELL_WIDTH = 960;
const int CELL_HEIGHT = 360;
const int DURATION = 333333; // 30 fps in 100 ns
const int CAMERAS = 6;

using Packets = std::vector<std::vector<uint8_t>>;

Packets ReadPackets(const char* pszPath)
{
    Packets packets;
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, pszPath, nullptr, nullptr) < 0)
        return packets;
    AVPacket* pPacket = av_packet_alloc();
    while (pPacket && av_read_frame(pFormat, pPacket) >= 0)
    {
        packets.emplace_back(pPacket->data, pPacket->data + pPacket->size);
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
    avformat_close_input(&pFormat);
    return packets;
}

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// CPU time of one picture decoded and scaled to nWidth x nHeight on this
// thread: what each decoded frame costs whatever the machine's load.
double DecodeCost(const Packets& packets, int nWidth, int nHeight)
{
    AVCodecParameters* pParams = avcodec_parameters_alloc();
    pParams->codec_type = AVMEDIA_TYPE_VIDEO;
    pParams->codec_id = AV_CODEC_ID_MJPEG;
    pParams->width = CAMERA_WIDTH;
    pParams->height = CAMERA_HEIGHT;
    CPacketDecoder decoder;
    const bool bOpened = decoder.Open(pParams, nWidth, nHeight);
    avcodec_parameters_free(&pParams);
    AVPacket* pPacket = av_packet_alloc();
    std::vector<uint8_t> abFrame(size_t(nWidth) * 2 * size_t(nHeight) + 64);
    const size_t nPictures = 60;
    const double fStart = ThreadCpuSeconds();
    for (size_t i = 0; bOpened && pPacket && i < nPictures; ++i)
    {
        const std::vector<uint8_t>& abPacket = packets[i % packets.size()];
        if (av_new_packet(pPacket, int(abPacket.size())) < 0)
            break;
        std::memcpy(pPacket->data, abPacket.data(), abPacket.size());
        decoder.Keep(pPacket);
        decoder.DecodeKept(abFrame.data(), nWidth * 2);
    }
    av_packet_free(&pPacket);
    return (ThreadCpuSeconds() - fStart) / double(nPictures);
}

std::vector<std::shared_ptr<CCaptureDevice>> g_captures;

// Channel handles of this bench are the capture's index plus one.
std::shared_ptr<const SCapturedFrame> AcquireFrame(KVS_HANDLE hCapture, int nWidth, int nHeight, uint64_t nAfterSeq)
{
    const size_t nIndex = size_t(reinterpret_cast<uintptr_t>(hCapture)) - 1;
    return g_captures[nIndex]->AcquireLatestFrame(nWidth, nHeight, nAfterSeq);
}

void CountFrame(const uint8_t*, int64_t, int, int, void* pUser)
{
    static_cast<std::atomic<int64_t>*>(pUser)->fetch_add(1);
}

// Pushes every camera's next picture at the cameras' rate, on absolute
// deadlines like a device's clock, until told to stop.
void FeedCameras(const std::vector<std::shared_ptr<CPacketFeed>>& feeds, const std::vector<Packets>& streams,
                 const std::atomic<bool>& bStop)
{
    using clock = std::chrono::steady_clock;
    const clock::time_point start = clock::now();
    for (int64_t nFrame = 0; !bStop.load(); ++nFrame)
    {
        std::this_thread::sleep_until(start + std::chrono::nanoseconds(int64_t(DURATION) * 100 * nFrame));
        for (size_t i = 0; i < feeds.size(); ++i)
        {
            const Packets& packets = streams[i];
            // A camera's buffers are a few frames deep: older ones are lost.
            if (feeds[i]->GetQueued() < 4)
                feeds[i]->Push(packets[size_t(nFrame) % packets.size()]);
        }
    }
}

bool WaitForFrames(const std::atomic<int64_t>& nFrames, int64_t nTarget)
{
    const auto tpDeadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (nFrames.load() < nTarget)
    {
        if (std::chrono::steady_clock::now() > tpDeadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
}

int main(int argc, char** argv)
{
    int64_t nMeasured = 300;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i)
    {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc)
            nMeasured = std::atoll(argv[++i]);
        else
            files.push_back(argv[i]);
    }
    if (files.size() != size_t(CAMERAS) || nMeasured <= 0)
    {
        std::fprintf(stderr, "usage: bench_mjpeg [--frames N] six files of 1920x1080 MJPEG\n");
        return 2;
    }
    std::vector<Packets> streams;
    for (const char* pszFile : files)
    {
        streams.push_back(ReadPackets(pszFile));
        if (streams.back().empty())
        {
            std::fprintf(stderr, "no pictures in %s\n", pszFile);
            return 1;
        }
    }

    std::vector<std::shared_ptr<CPacketFeed>> feeds;
    for (int i = 0; i < CAMERAS; ++i)
    {
        auto pFeed = std::make_shared<CPacketFeed>(AV_CODEC_ID_MJPEG, CAMERA_WIDTH, CAMERA_HEIGHT);
        auto pDevice = std::make_shared<CVideoDeviceState>();
        pDevice->strName = QStringLiteral("camera %1").arg(i + 1);
        pDevice->nMaxWidth = CAMERA_WIDTH;
        pDevice->nMaxHeight = CAMERA_HEIGHT;
        auto pCapture = std::make_shared<CCaptureDevice>(pDevice);
        pCapture->SetProducerFactory([pFeed] { return pFeed->CreateProducer(); });
        if (!pCapture->SetFormat(KVS_COLOR_YUYV, CELL_WIDTH, CELL_HEIGHT, DURATION) || !pCapture->Start())
        {
            std::fprintf(stderr, "camera %d does not start\n", i + 1);
            return 1;
        }
        feeds.push_back(pFeed);
        g_captures.push_back(pCapture);
    }

    auto pMixer = std::make_shared<CVideoMixer>(CAMERA_WIDTH, CAMERA_HEIGHT, DURATION, &AcquireFrame);
    std::vector<KVS_MIXER_CHANNEL> placements;
    for (int i = 0; i < CAMERAS; ++i)
    {
        KVS_MIXER_CHANNEL placement{};
        placement.hChannel =
            pMixer->AddChannel(CELL_WIDTH, CELL_HEIGHT, reinterpret_cast<KVS_HANDLE>(uintptr_t(i) + 1));
        const int x = (i % 2) * CELL_WIDTH;
        const int y = (i / 2) * CELL_HEIGHT;
        placement.rcSource = KVS_RECT{0, 0, CELL_WIDTH - 1, CELL_HEIGHT - 1};
        placement.rcDest = KVS_RECT{x, y, x + CELL_WIDTH - 1, y + CELL_HEIGHT - 1};
        placement.nOpacity = 255;
        placements.push_back(placement);
    }
    pMixer->SetChannels(placements.data(), int(placements.size()));
    std::atomic<int64_t> nFrames{0};
    pMixer->SetCallbacks(nullptr, nullptr, &CountFrame, &nFrames);

    std::atomic<bool> bStop{false};
    std::thread feeder(FeedCameras, std::cref(feeds), std::cref(streams), std::cref(bStop));
    pMixer->Run();

    // One second to settle, then the measured frames.
    bool bDone = WaitForFrames(nFrames, 30);
    const double fCpuStart = ProcessCpuSeconds();
    const auto tpStart = std::chrono::steady_clock::now();
    const int64_t nFramesStart = nFrames.load();
    const uint64_t nLateStart = pMixer->GetLateTicks();
    std::vector<uint64_t> decodesStart;
    decodesStart.reserve(feeds.size());
    for (const auto& pFeed : feeds)
        decodesStart.push_back(pFeed->GetDecodeCount());
    bDone = bDone && WaitForFrames(nFrames, nFramesStart + nMeasured);
    const double fCpu = ProcessCpuSeconds() - fCpuStart;
    const double fSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - tpStart).count();
    const int64_t nComposed = nFrames.load() - nFramesStart;
    const uint64_t nLate = pMixer->GetLateTicks() - nLateStart;
    uint64_t nDecodes = 0;
    for (size_t i = 0; i < feeds.size(); ++i)
        nDecodes += feeds[i]->GetDecodeCount() - decodesStart[i];

    pMixer->Stop();
    bStop = true;
    feeder.join();
    for (const auto& pCapture : g_captures)
        pCapture->Stop();
    if (!bDone)
    {
        std::fprintf(stderr, "the mixer stopped composing\n");
        return 1;
    }

    std::printf("six 1920x1080 MJPEG cameras at 30 fps, decoded at 1/%d size for 960x360 channels\n",
                1 << feeds[0]->GetLowres());
    std::printf("composed %lld frames in %.1f s (%.2f fps), %llu late ticks\n", static_cast<long long>(nComposed),
                fSeconds, double(nComposed) / fSeconds, static_cast<unsigned long long>(nLate));
    std::printf("decoded %.1f pictures per camera per second\n", double(nDecodes) / CAMERAS / fSeconds);
    const double fReduced = DecodeCost(streams[0], CELL_WIDTH, CELL_HEIGHT);
    const double fFull = DecodeCost(streams[0], CAMERA_WIDTH, CAMERA_HEIGHT);
    std::printf("one picture to 960x360: %.2f ms CPU; decoded at full size to 1920x1080: %.2f ms\n", fReduced * 1e3,
                fFull * 1e3);
    // On a loaded machine the captures fall behind and decode fewer
    // pictures than the cameras send, which makes a composed frame look
    // cheaper than it is; the pictures missing from 30 per camera per
    // second are added at what one costs.
    const double fMissing = std::max(0.0, 30.0 * fSeconds * CAMERAS - double(nDecodes));
    const double fCpuFull = fCpu + fMissing * fReduced;
    std::printf("vistrel_cpu_ms_per_frame %.3f\n", fCpu * 1e3 / double(nComposed));
    std::printf("vistrel_cpu_ms_per_frame_all_decoded %.3f\n", fCpuFull * 1e3 / double(nComposed));
    return 0;
}
