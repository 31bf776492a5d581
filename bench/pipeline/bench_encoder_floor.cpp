// What x264 alone costs on the pipeline benchmark's pictures: the six
// virtual cameras composed into the 1920 x 1080 grid, converted to I420
// before anything is measured, then N frames (300) encoded from memory
// with the program's "Best Speed" settings (ultrafast, zero latency, 4000
// Kbps constant with a one-second buffer, a key frame every 300 frames and
// none at scene cuts). The frames cycle through one crossing of the
// cameras' bar. What a pipeline spends above this is its own work:
// capture, composition, overlays, conversion, muxing.
//
//   bench_encoder_floor [--frames N] [--rate FPS]
//
// The last line reads "floor_cpu_ms_per_frame <value>" (process CPU, the
// encoder's threads included, per frame encoded) for run_pipeline.sh.
#include "CameraPictures.h"
#include "BenchProcess.h"

#include <QGuiApplication>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
const int BITRATE = 4000000;
const int KEY_INTERVAL = 300;

// The encoder as the program opens it for "Best Speed" with low latency.
AVCodecContext* OpenEncoder(int nDuration)
{
    const AVCodec* pCodec = avcodec_find_encoder_by_name("libx264");
    AVCodecContext* pContext = pCodec ? avcodec_alloc_context3(pCodec) : nullptr;
    if (!pContext)
        return nullptr;
    pContext->width = CCameraPictures::GRID_WIDTH;
    pContext->height = CCameraPictures::GRID_HEIGHT;
    pContext->pix_fmt = AV_PIX_FMT_YUV420P;
    pContext->time_base = AVRational{nDuration, 10000000};
    pContext->framerate = AVRational{10000000, nDuration};
    pContext->gop_size = KEY_INTERVAL;
    pContext->bit_rate = BITRATE;
    pContext->rc_max_rate = BITRATE;
    pContext->rc_buffer_size = BITRATE;
    pContext->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    pContext->max_b_frames = 0;
    AVDictionary* pOptions = nullptr;
    av_dict_set(&pOptions, "profile", "high", 0);
    av_dict_set(&pOptions, "preset", "ultrafast", 0);
    av_dict_set(&pOptions, "tune", "zerolatency", 0);
    av_dict_set(&pOptions, "x264-params", "scenecut=0", 0);
    av_dict_set(&pOptions, "forced-idr", "1", 0);
    const int nResult = avcodec_open2(pContext, pCodec, &pOptions);
    av_dict_free(&pOptions);
    if (nResult < 0)
        avcodec_free_context(&pContext);
    return pContext;
}

// Takes what the encoder has ready; returns the packets taken, -1 on error.
int Drain(AVCodecContext* pContext, AVPacket* pPacket, int64_t& nBytes)
{
    int nPackets = 0;
    for (;;)
    {
        const int nResult = avcodec_receive_packet(pContext, pPacket);
        if (nResult == AVERROR(EAGAIN) || nResult == AVERROR_EOF)
            return nPackets;
        if (nResult < 0)
            return -1;
        nBytes += pPacket->size;
        ++nPackets;
        av_packet_unref(pPacket);
    }
}
}

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    int nFrames = 300;
    double dRate = 30;
    for (int i = 1; i < argc; ++i)
    {
        const QString strArg = QString::fromLocal8Bit(argv[i]);
        if (strArg == QLatin1String("--frames") && i + 1 < argc)
            nFrames = std::atoi(argv[++i]);
        else if (strArg == QLatin1String("--rate") && i + 1 < argc)
            dRate = std::atof(argv[++i]);
        else
            nFrames = 0;
    }
    if (nFrames <= 0 || !(dRate > 0))
    {
        std::fprintf(stderr, "usage: %s [--frames N] [--rate FPS]\n", argv[0]);
        return 2;
    }
    const int nDuration = int(std::trunc(10000000.0 / dRate));
    CCameraPictures pictures;
    if (!pictures.Build(nDuration))
    {
        std::fprintf(stderr, "bench_encoder_floor: cannot draw the cameras' pictures\n");
        return 1;
    }

    // The pictures ready as the encoder takes them, so that only encoding
    // is measured.
    const int nWidth = CCameraPictures::GRID_WIDTH;
    const int nHeight = CCameraPictures::GRID_HEIGHT;
    std::vector<uint8_t> abGrid(size_t(nWidth) * 2 * size_t(nHeight));
    std::vector<AVFrame*> vecFrames;
    for (int i = 0; i < pictures.GetLoopFrames(); ++i)
    {
        AVFrame* pFrame = av_frame_alloc();
        vecFrames.push_back(pFrame);
        pFrame->format = AV_PIX_FMT_YUV420P;
        pFrame->width = nWidth;
        pFrame->height = nHeight;
        if (av_frame_get_buffer(pFrame, 0) < 0)
        {
            std::fprintf(stderr, "bench_encoder_floor: out of memory\n");
            return 1;
        }
        pictures.RenderGrid(uint64_t(i), abGrid.data(), nWidth * 2);
        YuyvToI420(abGrid.data(), nWidth * 2, nWidth, nHeight, pFrame->data[0], pFrame->linesize[0], pFrame->data[1],
                   pFrame->data[2], pFrame->linesize[1]);
    }

    AVCodecContext* pContext = OpenEncoder(nDuration);
    AVPacket* pPacket = av_packet_alloc();
    if (!pContext || !pPacket)
    {
        std::fprintf(stderr, "bench_encoder_floor: libx264 does not open\n");
        return 1;
    }
    int64_t nBytes = 0;
    int nPackets = 0;
    bool bOk = true;
    const double dStart = ProcessCpuMs();
    for (int i = 0; i < nFrames && bOk; ++i)
    {
        AVFrame* pFrame = vecFrames[size_t(i) % vecFrames.size()];
        pFrame->pts = i;
        const int nTaken = avcodec_send_frame(pContext, pFrame) < 0 ? -1 : Drain(pContext, pPacket, nBytes);
        bOk = nTaken >= 0;
        nPackets += bOk ? nTaken : 0;
    }
    if (bOk && avcodec_send_frame(pContext, nullptr) >= 0)
    {
        const int nTaken = Drain(pContext, pPacket, nBytes);
        bOk = nTaken >= 0;
        nPackets += bOk ? nTaken : 0;
    }
    const double dCpuMs = ProcessCpuMs() - dStart;
    av_packet_free(&pPacket);
    avcodec_free_context(&pContext);
    for (AVFrame* pFrame : vecFrames)
        av_frame_free(&pFrame);
    if (!bOk || nPackets != nFrames)
    {
        std::fprintf(stderr, "bench_encoder_floor: %d of %d frames encoded\n", nPackets, nFrames);
        return 1;
    }
    std::printf("x264 alone: %d frames encoded from memory, %.0f ms CPU, %.2f ms/frame, %.0f Kbps\n", nFrames, dCpuMs,
                dCpuMs / nFrames, double(nBytes) * 8.0 * dRate / nFrames / 1000.0);
    std::printf("floor_cpu_ms_per_frame %.3f\n", dCpuMs / nFrames);
    return 0;
}
