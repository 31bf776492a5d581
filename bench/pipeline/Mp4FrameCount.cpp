#include "Mp4FrameCount.h"

extern "C"
{
#include <libavformat/avformat.h>
}

int CountVideoFrames(const QString& strPath)
{
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return -1;
    if (avformat_find_stream_info(pFormat, nullptr) < 0)
    {
        avformat_close_input(&pFormat);
        return -1;
    }
    const int nVideo = av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    int nFrames = -1;
    if (nVideo >= 0)
    {
        // Counting packets rather than trusting the header's frame count: a
        // file cut short keeps an index that may not match what is there.
        nFrames = 0;
        AVPacket* pPacket = av_packet_alloc();
        while (av_read_frame(pFormat, pPacket) >= 0)
        {
            if (pPacket->stream_index == nVideo)
                ++nFrames;
            av_packet_unref(pPacket);
        }
        av_packet_free(&pPacket);
    }
    avformat_close_input(&pFormat);
    return nFrames;
}
