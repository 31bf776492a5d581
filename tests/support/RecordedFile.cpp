#include "RecordedFile.h"

#include <QtGlobal>

#include <algorithm>
#include <vector>

extern "C"
{
#include <libavformat/avformat.h>
}

SFileInfo ReadRecordedFile(const QString& strPath)
{
    SFileInfo info;
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return info;
    if (avformat_find_stream_info(pFormat, nullptr) < 0)
    {
        avformat_close_input(&pFormat);
        return info;
    }
    info.bOpened = true;
    const int nVideo = av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int nAudio = av_find_best_stream(pFormat, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    int64_t nVideoEnd = 0;
    int64_t nAudioEnd = 0;
    std::vector<int64_t> vecVideoPts;
    AVPacket* pPacket = av_packet_alloc();
    while (av_read_frame(pFormat, pPacket) >= 0)
    {
        const int64_t nEnd = pPacket->pts + pPacket->duration;
        if (pPacket->stream_index == nVideo)
        {
            ++info.nVideoPackets;
            nVideoEnd = qMax(nVideoEnd, nEnd);
            vecVideoPts.push_back(pPacket->pts);
        }
        else if (pPacket->stream_index == nAudio)
        {
            nAudioEnd = qMax(nAudioEnd, nEnd);
        }
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
    if (nVideo >= 0)
    {
        const AVStream* pStream = pFormat->streams[nVideo];
        info.bVideo = true;
        info.nVideoCodec = pStream->codecpar->codec_id;
        info.nWidth = pStream->codecpar->width;
        info.nHeight = pStream->codecpar->height;
        info.dVideoSeconds = nVideoEnd * av_q2d(pStream->time_base);
        std::sort(vecVideoPts.begin(), vecVideoPts.end());
        if (!vecVideoPts.empty())
            info.dVideoStart = vecVideoPts.front() * av_q2d(pStream->time_base);
        vecVideoPts.push_back(nVideoEnd);
        for (size_t i = 0; i + 1 < vecVideoPts.size(); ++i)
        {
            const double dLength = (vecVideoPts[i + 1] - vecVideoPts[i]) * av_q2d(pStream->time_base);
            if (dLength > info.dLongestFrameSeconds)
            {
                info.dLongestFrameSeconds = dLength;
                info.dLongestFrameStart = vecVideoPts[i] * av_q2d(pStream->time_base);
            }
        }
    }
    if (nAudio >= 0)
    {
        const AVStream* pStream = pFormat->streams[nAudio];
        info.bAudio = true;
        info.nAudioCodec = pStream->codecpar->codec_id;
        info.nSampleRate = pStream->codecpar->sample_rate;
        info.nChannels = pStream->codecpar->ch_layout.nb_channels;
        info.dAudioSeconds = nAudioEnd * av_q2d(pStream->time_base);
    }
    avformat_close_input(&pFormat);
    return info;
}
