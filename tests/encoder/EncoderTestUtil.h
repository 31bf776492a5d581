// Synthetic input for the encoders and a read-back of what they produced.
#pragma once

#include "media/KVEncoder.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <vector>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace EncoderTest
{
// A moving gradient with a box, so the encoder has real work to do.
inline std::vector<uint8_t> MakeYuyvFrame(int nWidth, int nHeight, int nIndex)
{
    std::vector<uint8_t> vec(static_cast<size_t>(nWidth) * nHeight * 2);
    for (int y = 0; y < nHeight; ++y)
    {
        uint8_t* pLine = vec.data() + static_cast<size_t>(y) * nWidth * 2;
        for (int x = 0; x < nWidth; x += 2)
        {
            const bool bBox = x >= (nIndex * 4) % nWidth && x < (nIndex * 4) % nWidth + 64 && y >= 100 && y < 164;
            const uint8_t nLuma = bBox ? 235 : static_cast<uint8_t>(16 + ((x + y + nIndex * 3) % 200));
            pLine[x * 2 + 0] = nLuma;
            pLine[x * 2 + 1] = static_cast<uint8_t>(128 + (y % 64) - 32);
            pLine[x * 2 + 2] = nLuma;
            pLine[x * 2 + 3] = static_cast<uint8_t>(128 + (x % 64) - 32);
        }
    }
    return vec;
}

// s16 interleaved stereo 1 kHz tone at 48 kHz, continuing from nFirstSample.
inline std::vector<uint8_t> MakeTone(int64_t nFirstSample, int nSamples)
{
    std::vector<uint8_t> vec(static_cast<size_t>(nSamples) * 4);
    int16_t* p = reinterpret_cast<int16_t*>(vec.data());
    for (int i = 0; i < nSamples; ++i)
    {
        const double dPhase = 2.0 * M_PI * 1000.0 * static_cast<double>(nFirstSample + i) / 48000.0;
        const int16_t nValue = static_cast<int16_t>(std::lround(8000.0 * std::sin(dPhase)));
        p[i * 2] = nValue;
        p[i * 2 + 1] = nValue;
    }
    return vec;
}

inline KVE_H264_PARAM MakeH264Param(int nWidth = 640, int nHeight = 360, int nProfile = 100, int nKeyInterval = 25)
{
    KVE_H264_PARAM param = {};
    param.nWidth = nWidth;
    param.nHeight = nHeight;
    param.nDuration = 400000;
    param.nBitrate = 1000;
    param.nQuality = 7;
    param.nProfile = nProfile;
    param.nKeyInterval = nKeyInterval;
    return param;
}

inline KVE_AAC_PARAM MakeAacParam()
{
    return KVE_AAC_PARAM{2, 128, 50, 1};
}

struct SReadBack
{
    bool bOpened = false;
    int nStreams = 0;
    int nVideoStreams = 0;
    int nAudioStreams = 0;
    int nWidth = 0;
    int nHeight = 0;
    int nProfile = -1;
    AVCodecID videoCodec = AV_CODEC_ID_NONE;
    AVCodecID audioCodec = AV_CODEC_ID_NONE;
    int nSampleRate = 0;
    int nChannels = 0;
    double dDuration = 0; // container duration, seconds
    int nVideoPackets = 0;
    int nAudioPackets = 0;
    std::vector<int> vecKeyFrames; // indices of video packets in decode order
    double dVideoEnd = 0;          // end of the last video packet, seconds
    double dFirstVideoDts = 0;     // decoding time of the first video packet, seconds
};

inline SReadBack ReadBack(const QString& strPath)
{
    SReadBack result;
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return result;
    if (avformat_find_stream_info(pFormat, nullptr) < 0)
    {
        avformat_close_input(&pFormat);
        return result;
    }
    result.bOpened = true;
    result.nStreams = static_cast<int>(pFormat->nb_streams);
    result.dDuration = pFormat->duration > 0 ? pFormat->duration / double(AV_TIME_BASE) : 0;
    for (unsigned i = 0; i < pFormat->nb_streams; ++i)
    {
        const AVCodecParameters* pPar = pFormat->streams[i]->codecpar;
        if (pPar->codec_type == AVMEDIA_TYPE_VIDEO)
        {
            ++result.nVideoStreams;
            result.nWidth = pPar->width;
            result.nHeight = pPar->height;
            result.nProfile = pPar->profile;
            result.videoCodec = pPar->codec_id;
        }
        else if (pPar->codec_type == AVMEDIA_TYPE_AUDIO)
        {
            ++result.nAudioStreams;
            result.audioCodec = pPar->codec_id;
            result.nSampleRate = pPar->sample_rate;
            result.nChannels = pPar->ch_layout.nb_channels;
        }
    }
    AVPacket* pPacket = av_packet_alloc();
    while (av_read_frame(pFormat, pPacket) >= 0)
    {
        const AVStream* pStream = pFormat->streams[pPacket->stream_index];
        if (pStream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
        {
            if (pPacket->flags & AV_PKT_FLAG_KEY)
                result.vecKeyFrames.push_back(result.nVideoPackets);
            if (result.nVideoPackets == 0 && pPacket->dts != AV_NOPTS_VALUE)
                result.dFirstVideoDts = pPacket->dts * av_q2d(pStream->time_base);
            ++result.nVideoPackets;
            if (pPacket->pts != AV_NOPTS_VALUE)
            {
                const double dEnd = (pPacket->pts + pPacket->duration) * av_q2d(pStream->time_base);
                result.dVideoEnd = std::max(result.dVideoEnd, dEnd);
            }
        }
        else if (pStream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
        {
            ++result.nAudioPackets;
        }
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
    avformat_close_input(&pFormat);
    return result;
}
}
