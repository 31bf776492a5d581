#include "Mp4FramePicture.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace
{
QImage ToImage(const AVFrame* pFrame)
{
    QImage image(pFrame->width, pFrame->height, QImage::Format_RGB32);
    SwsContext* pScale = sws_getContext(pFrame->width, pFrame->height, AVPixelFormat(pFrame->format), pFrame->width,
                                        pFrame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
    if (!pScale)
        return QImage();
    uint8_t* apDst[1] = {image.bits()};
    const int anDstStride[1] = {int(image.bytesPerLine())};
    sws_scale(pScale, pFrame->data, pFrame->linesize, 0, pFrame->height, apDst, anDstStride);
    sws_freeContext(pScale);
    return image;
}

class CFrameReader
{
public:
    explicit CFrameReader(const std::vector<int>& anFrames)
        : m_anWanted(anFrames)
        , m_nLast(anFrames.empty() ? -1 : *std::max_element(anFrames.begin(), anFrames.end()))
    {
    }

    bool IsDone() const { return m_nNext > m_nLast; }
    std::map<int, QImage>& Result() { return m_mapImages; }

    // Takes every frame the decoder has ready.
    void Drain(AVCodecContext* pCodec, AVFrame* pFrame)
    {
        while (!IsDone() && avcodec_receive_frame(pCodec, pFrame) == 0)
        {
            if (std::find(m_anWanted.begin(), m_anWanted.end(), m_nNext) != m_anWanted.end())
                m_mapImages[m_nNext] = ToImage(pFrame);
            ++m_nNext;
            av_frame_unref(pFrame);
        }
    }

private:
    std::vector<int> m_anWanted;
    int m_nLast;
    int m_nNext = 0;
    std::map<int, QImage> m_mapImages;
};

void DecodeStream(AVFormatContext* pFormat, int nStream, AVCodecContext* pCodec, CFrameReader& reader)
{
    AVPacket* pPacket = av_packet_alloc();
    AVFrame* pFrame = av_frame_alloc();
    while (pPacket && pFrame && !reader.IsDone() && av_read_frame(pFormat, pPacket) >= 0)
    {
        if (pPacket->stream_index == nStream && avcodec_send_packet(pCodec, pPacket) == 0)
            reader.Drain(pCodec, pFrame);
        av_packet_unref(pPacket);
    }
    // The frames the decoder still holds at the end of the file.
    if (pFrame && avcodec_send_packet(pCodec, nullptr) == 0)
        reader.Drain(pCodec, pFrame);
    av_frame_free(&pFrame);
    av_packet_free(&pPacket);
}
}

std::map<int, QImage> ReadVideoFrames(const QString& strPath, const std::vector<int>& anFrames)
{
    CFrameReader reader(anFrames);
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return {};
    const AVCodec* pDecoder = nullptr;
    const int nStream = avformat_find_stream_info(pFormat, nullptr) >= 0
                            ? av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &pDecoder, 0)
                            : -1;
    AVCodecContext* pCodec = nStream >= 0 && pDecoder ? avcodec_alloc_context3(pDecoder) : nullptr;
    if (pCodec && avcodec_parameters_to_context(pCodec, pFormat->streams[nStream]->codecpar) >= 0 &&
        avcodec_open2(pCodec, pDecoder, nullptr) == 0)
        DecodeStream(pFormat, nStream, pCodec, reader);
    avcodec_free_context(&pCodec);
    avformat_close_input(&pFormat);
    return std::move(reader.Result());
}
