#include "media/capture/v4l2/V4l2Producer.h"

#include "platform/Log.h"
#include "media/capture/v4l2/V4l2Device.h"

#include <QFile>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavdevice/avdevice.h>
#include <libavformat/avformat.h>
}

#include <linux/videodev2.h>

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
    m_decoder.Close();
    m_pPacket.reset();
    m_pFormat.reset();
}

bool CV4l2Producer::Open(int nWidth, int nHeight, int nDuration)
{
    RegisterDevices();
    Close();

    SV4l2Choice choice;
    if (!ChooseV4l2Format(m_strNode, nWidth, nHeight, &choice, 10000000.0 / nDuration))
        return false;

    const AVInputFormat* pInput = av_find_input_format("video4linux2");
    m_pFormat.reset(avformat_alloc_context());
    if (!pInput || !m_pFormat)
        return false;
    // Non-blocking reads, so a device without signal cannot keep a stop
    // waiting; Receive polls instead.
    m_pFormat->flags |= AVFMT_FLAG_NONBLOCK;

    AvDictionaryPtr pOptions;
    av_dict_set(AvOut(pOptions), "video_size",
                QStringLiteral("%1x%2").arg(choice.nWidth).arg(choice.nHeight).toLatin1().constData(), 0);
    av_dict_set(AvOut(pOptions), "input_format", choice.nFourcc == V4L2_PIX_FMT_MJPEG ? "mjpeg" : "yuyv422", 0);
    av_dict_set(AvOut(pOptions), "framerate", QStringLiteral("10000000/%1").arg(nDuration).toLatin1().constData(), 0);
    // Frees the context and leaves null when the device does not open.
    const int nOpen =
        avformat_open_input(AvOut(m_pFormat), QFile::encodeName(m_strNode).constData(), pInput, AvOut(pOptions));
    if (nOpen < 0 || m_pFormat->nb_streams < 1)
    {
        Log::Error("capture", QStringLiteral("%1: cannot open for capture").arg(m_strNode));
        Close();
        return false;
    }

    m_pPacket.reset(av_packet_alloc());
    if (!m_pPacket || !m_decoder.Open(m_pFormat->streams[0]->codecpar, nWidth, nHeight))
    {
        Log::Error("capture", QStringLiteral("%1: no decoder for its format").arg(m_strNode));
        Close();
        return false;
    }
    return true;
}

int CV4l2Producer::Receive(CStopSignal& stop)
{
    using namespace std::chrono;
    if (stop.IsRequested())
        return PRODUCE_STOPPED;
    const int nRead = av_read_frame(m_pFormat.get(), m_pPacket.get());
    if (nRead == AVERROR(EAGAIN))
        return stop.WaitUntil(steady_clock::now() + milliseconds(2)) ? RECEIVE_IDLE : PRODUCE_STOPPED;
    if (nRead < 0)
        return PRODUCE_FAILED;
    m_decoder.Keep(m_pPacket.get());
    return PRODUCE_FRAME;
}

bool CV4l2Producer::DecodePending(uint8_t* pDst, int nStride)
{
    return m_decoder.DecodeKept(pDst, nStride);
}
}
