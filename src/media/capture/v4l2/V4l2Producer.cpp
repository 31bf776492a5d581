#include "media/capture/v4l2/V4l2Producer.h"

#include "platform/Platform.h"
#include "media/capture/v4l2/V4l2Device.h"

#include <QFile>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <linux/videodev2.h>

#include <cstring>
#include <mutex>

namespace KVMedia
{
namespace
{
void RegisterDevices()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] { avdevice_register_all(); });
}

// The full-range JPEG formats are deprecated in libswscale; they are the
// plain ones with the range given separately.
AVPixelFormat PlainFormat(AVPixelFormat eFormat, bool* pbFullRange)
{
    *pbFullRange = true;
    switch (eFormat)
    {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    default:
        *pbFullRange = false;
        return eFormat;
    }
}
}

CV4l2Producer::CV4l2Producer(const QString& strNode)
    : m_strNode(strNode)
{
}

CV4l2Producer::~CV4l2Producer()
{
    Close();
}

void CV4l2Producer::Close()
{
    av_frame_free(&m_pFrame);
    av_packet_free(&m_pPacket);
    avcodec_free_context(&m_pDecoder);
    avformat_close_input(&m_pFormat);
}

bool CV4l2Producer::Open(int nWidth, int nHeight, int nDuration)
{
    RegisterDevices();
    Close();
    m_nWidth = nWidth;
    m_nHeight = nHeight;

    SV4l2Choice choice;
    if (!ChooseV4l2Format(m_strNode, nWidth, nHeight, &choice, 10000000.0 / nDuration))
        return false;

    const AVInputFormat* pInput = av_find_input_format("video4linux2");
    m_pFormat = avformat_alloc_context();
    if (!pInput || !m_pFormat)
        return false;
    // Non-blocking reads, so a device without signal cannot keep a stop
    // waiting; Produce polls instead.
    m_pFormat->flags |= AVFMT_FLAG_NONBLOCK;

    AVDictionary* pOptions = nullptr;
    av_dict_set(&pOptions, "video_size",
                QStringLiteral("%1x%2").arg(choice.nWidth).arg(choice.nHeight).toLatin1().constData(), 0);
    av_dict_set(&pOptions, "input_format", choice.nFourcc == V4L2_PIX_FMT_MJPEG ? "mjpeg" : "yuyv422", 0);
    av_dict_set(&pOptions, "framerate", QStringLiteral("10000000/%1").arg(nDuration).toLatin1().constData(), 0);
    const int nOpen = avformat_open_input(&m_pFormat, QFile::encodeName(m_strNode).constData(), pInput, &pOptions);
    av_dict_free(&pOptions);
    if (nOpen < 0 || m_pFormat->nb_streams < 1)
    {
        Platform::DebugOutput(QStringLiteral("%1: cannot open for capture").arg(m_strNode));
        Close();
        return false;
    }

    const AVCodecParameters* pParams = m_pFormat->streams[0]->codecpar;
    const AVCodec* pCodec = avcodec_find_decoder(pParams->codec_id);
    m_pDecoder = pCodec ? avcodec_alloc_context3(pCodec) : nullptr;
    m_pPacket = av_packet_alloc();
    m_pFrame = av_frame_alloc();
    if (!m_pDecoder || !m_pPacket || !m_pFrame || avcodec_parameters_to_context(m_pDecoder, pParams) < 0 ||
        avcodec_open2(m_pDecoder, pCodec, nullptr) < 0)
    {
        Platform::DebugOutput(QStringLiteral("%1: no decoder for its format").arg(m_strNode));
        Close();
        return false;
    }
    return true;
}

int CV4l2Producer::Produce(uint8_t* pDst, int nStride, CStopSignal& stop)
{
    using namespace std::chrono;
    for (;;)
    {
        if (stop.IsRequested())
            return PRODUCE_STOPPED;
        const int nRead = av_read_frame(m_pFormat, m_pPacket);
        if (nRead == AVERROR(EAGAIN))
        {
            if (!stop.WaitUntil(steady_clock::now() + milliseconds(2)))
                return PRODUCE_STOPPED;
            continue;
        }
        if (nRead < 0)
            return PRODUCE_FAILED;
        const int nSent = avcodec_send_packet(m_pDecoder, m_pPacket);
        av_packet_unref(m_pPacket);
        if (nSent < 0)
            continue; // a damaged MJPEG frame; the next one may be fine
        const int nReceived = avcodec_receive_frame(m_pDecoder, m_pFrame);
        if (nReceived == AVERROR(EAGAIN))
            continue;
        if (nReceived < 0)
            return PRODUCE_FAILED;
        const bool bConverted = Convert(m_pFrame, pDst, nStride);
        av_frame_unref(m_pFrame);
        if (bConverted)
            return PRODUCE_FRAME;
    }
}

bool CV4l2Producer::Convert(const AVFrame* pFrame, uint8_t* pDst, int nStride)
{
    if (pFrame->format == AV_PIX_FMT_YUYV422 && pFrame->width == m_nWidth && pFrame->height == m_nHeight)
    {
        av_image_copy_plane(pDst, nStride, pFrame->data[0], pFrame->linesize[0], m_nWidth * 2, m_nHeight);
        return true;
    }
    bool bFullRange = false;
    const AVPixelFormat eSource = PlainFormat(AVPixelFormat(pFrame->format), &bFullRange);
    return m_scaler.ToYuyv(pFrame->data, pFrame->linesize, eSource, pFrame->width, pFrame->height, bFullRange, pDst,
                           nStride, m_nWidth, m_nHeight);
}
}
