#include "RecordedFile.h"

#include <QtGlobal>

#include <algorithm>
#include <vector>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
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
        std::vector<double> vecLengths;
        for (size_t i = 0; i + 1 < vecVideoPts.size(); ++i)
        {
            const double dLength = (vecVideoPts[i + 1] - vecVideoPts[i]) * av_q2d(pStream->time_base);
            vecLengths.push_back(dLength);
            if (dLength > info.dLongestFrameSeconds)
            {
                info.dLongestFrameSeconds = dLength;
                info.dLongestFrameStart = vecVideoPts[i] * av_q2d(pStream->time_base);
            }
        }
        if (!vecLengths.empty())
        {
            std::nth_element(vecLengths.begin(), vecLengths.begin() + vecLengths.size() / 2, vecLengths.end());
            info.dMedianFrameSeconds = vecLengths[vecLengths.size() / 2];
        }
        info.dFrameRate = av_q2d(pStream->r_frame_rate);
        info.nTimeBaseNum = pStream->time_base.num;
        info.nTimeBaseDen = pStream->time_base.den;
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

namespace
{
void AddMeanV(const AVFrame* pFrame, std::vector<double>& vecMeans)
{
    const AVPixFmtDescriptor* pDesc = av_pix_fmt_desc_get(AVPixelFormat(pFrame->format));
    if (!pDesc || pDesc->nb_components < 3 || !pFrame->data[2])
        return;
    const int nWidth = AV_CEIL_RSHIFT(pFrame->width, pDesc->log2_chroma_w);
    const int nHeight = AV_CEIL_RSHIFT(pFrame->height, pDesc->log2_chroma_h);
    long long nSum = 0;
    for (int y = 0; y < nHeight; ++y)
    {
        const uint8_t* pRow = pFrame->data[2] + size_t(y) * size_t(pFrame->linesize[2]);
        for (int x = 0; x < nWidth; ++x)
            nSum += pRow[x];
    }
    vecMeans.push_back(double(nSum) / (double(nWidth) * nHeight));
}
}

std::vector<double> ReadRecordedMeanV(const QString& strPath)
{
    std::vector<double> vecMeans;
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return vecMeans;
    const AVCodec* pCodec = nullptr;
    const int nVideo = avformat_find_stream_info(pFormat, nullptr) < 0
                           ? -1
                           : av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, &pCodec, 0);
    AVCodecContext* pContext = nVideo >= 0 && pCodec ? avcodec_alloc_context3(pCodec) : nullptr;
    if (!pContext || avcodec_parameters_to_context(pContext, pFormat->streams[nVideo]->codecpar) < 0 ||
        avcodec_open2(pContext, pCodec, nullptr) < 0)
    {
        avcodec_free_context(&pContext);
        avformat_close_input(&pFormat);
        return vecMeans;
    }
    AVPacket* pPacket = av_packet_alloc();
    AVFrame* pFrame = av_frame_alloc();
    auto fnDrain = [&] {
        while (avcodec_receive_frame(pContext, pFrame) >= 0)
        {
            AddMeanV(pFrame, vecMeans);
            av_frame_unref(pFrame);
        }
    };
    while (av_read_frame(pFormat, pPacket) >= 0)
    {
        if (pPacket->stream_index == nVideo && avcodec_send_packet(pContext, pPacket) >= 0)
            fnDrain();
        av_packet_unref(pPacket);
    }
    avcodec_send_packet(pContext, nullptr);
    fnDrain();
    av_frame_free(&pFrame);
    av_packet_free(&pPacket);
    avcodec_free_context(&pContext);
    avformat_close_input(&pFormat);
    return vecMeans;
}
