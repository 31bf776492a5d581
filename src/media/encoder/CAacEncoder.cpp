#include "media/encoder/CAacEncoder.h"

#include "media/core/LastError.h"

#include "platform/Log.h"

#include <algorithm>

extern "C"
{
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
}

namespace KVMedia
{
CAacEncoder::CAacEncoder(KVE_OUTPUT_CALLBACK pfnCallback, void* pUser)
    : m_output(pfnCallback, pUser)
{
}

CAacEncoder::~CAacEncoder()
{
    Close();
}

bool CAacEncoder::Open(int nSampleRate, const KVE_AAC_PARAM& param)
{
    // Input is always 16-bit stereo; other channel counts are not produced
    // by the capture side.
    if (nSampleRate <= 0 || (param.nChannels != 2 && param.nChannels != 0))
    {
        KVMedia::SetLastError(KVS_ERROR_UNSUPPORTED, "only stereo at a positive sample rate");
        return false;
    }
    const AVCodec* pCodec = avcodec_find_encoder_by_name("aac");
    if (!pCodec)
    {
        KVMedia::SetLastError(KVS_ERROR_NO_CODEC, "aac");
        return false;
    }
    m_pContext.reset(avcodec_alloc_context3(pCodec));
    if (!m_pContext)
    {
        KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY);
        return false;
    }
    AVChannelLayout layout = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&m_pContext->ch_layout, &layout);
    m_pContext->sample_rate = nSampleRate;
    m_pContext->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_pContext->bit_rate = static_cast<int64_t>(param.nBitrate > 0 ? param.nBitrate : 128) * 1000;
    m_pContext->time_base = AVRational{1, nSampleRate};
    m_pContext->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // The quality value (100/50/30) has no counterpart in this encoder's
    // constant-bitrate mode; the bitrate decides.
    const int nResult = avcodec_open2(m_pContext.get(), pCodec, nullptr);
    if (nResult < 0 || m_pContext->frame_size <= 0)
    {
        Log::Error("encoder", QStringLiteral("AAC does not open (%1)").arg(nResult));
        char szError[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(nResult, szError, sizeof(szError));
        KVMedia::SetLastError(nResult == AVERROR(ENOMEM) ? KVS_ERROR_OUT_OF_MEMORY : KVS_ERROR_UNSUPPORTED, szError);
        return false;
    }
    m_vecExtraData.assign(m_pContext->extradata, m_pContext->extradata + m_pContext->extradata_size);
    const int nResample = swr_alloc_set_opts2(AvOut(m_pResample), &layout, AV_SAMPLE_FMT_FLTP, nSampleRate, &layout,
                                              AV_SAMPLE_FMT_S16, nSampleRate, 0, nullptr);
    if (nResample < 0 || swr_init(m_pResample.get()) < 0)
    {
        KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY);
        return false;
    }
    m_pFifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, m_pContext->frame_size * 4));
    if (!m_pFifo)
        KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY);
    return m_pFifo != nullptr;
}

bool CAacEncoder::PutFrame(const uint8_t* pData, int nLength)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pFifo || m_bClosed || nLength < 0)
        return false;
    const int nSamples = nLength / 4;
    if (nSamples == 0)
        return true;
    if (!pData)
        return false;
    std::vector<float> vecLeft(nSamples);
    std::vector<float> vecRight(nSamples);
    uint8_t* apOut[2] = {reinterpret_cast<uint8_t*>(vecLeft.data()), reinterpret_cast<uint8_t*>(vecRight.data())};
    const uint8_t* apIn[1] = {pData};
    const int nConverted = swr_convert(m_pResample.get(), apOut, nSamples, apIn, nSamples);
    if (nConverted < 0)
        return false;
    if (av_audio_fifo_write(m_pFifo.get(), reinterpret_cast<void**>(apOut), nConverted) < nConverted)
        return false;
    return EncodeFifo(false);
}

bool CAacEncoder::EncodeFifo(bool bFinal)
{
    const int nFrameSize = m_pContext->frame_size;
    while (av_audio_fifo_size(m_pFifo.get()) >= nFrameSize || (bFinal && av_audio_fifo_size(m_pFifo.get()) > 0))
    {
        // The last, short block is padded with silence to a whole frame.
        const int nTake = std::min(nFrameSize, av_audio_fifo_size(m_pFifo.get()));
        const AvFramePtr pFrame(av_frame_alloc());
        if (!pFrame)
            return false;
        pFrame->nb_samples = nFrameSize;
        pFrame->format = AV_SAMPLE_FMT_FLTP;
        pFrame->sample_rate = m_pContext->sample_rate;
        av_channel_layout_copy(&pFrame->ch_layout, &m_pContext->ch_layout);
        if (av_frame_get_buffer(pFrame.get(), 0) < 0)
            return false;
        av_samples_set_silence(pFrame->data, 0, nFrameSize, 2, AV_SAMPLE_FMT_FLTP);
        av_audio_fifo_read(m_pFifo.get(), reinterpret_cast<void**>(pFrame->data), nTake);
        pFrame->pts = m_nSamples;
        m_nSamples += nFrameSize;
        if (!Encode(pFrame.get()))
            return false;
    }
    return true;
}

bool CAacEncoder::Encode(AVFrame* pFrame)
{
    if (avcodec_send_frame(m_pContext.get(), pFrame) < 0)
        return false;
    return m_output.Drain(m_pContext.get(), "AAC", [this](const AVPacket& packet) {
        const AVRational tb100ns{1, 10000000};
        KVE_PACKET_INFO info = {};
        info.nStream = KVE_STREAM_AUDIO;
        info.bKeyFrame = 1;
        // Encoder time stamps: the first packet starts one frame early, the
        // encoder's priming, which the MP4 edit list hides again.
        info.nPts = av_rescale_q(packet.pts, m_pContext->time_base, tb100ns);
        info.nDts = av_rescale_q(packet.dts, m_pContext->time_base, tb100ns);
        info.nDuration = av_rescale_q(packet.duration > 0 ? packet.duration : m_pContext->frame_size,
                                      m_pContext->time_base, tb100ns);
        info.pExtraData = m_vecExtraData.data();
        info.nExtraData = static_cast<int32_t>(m_vecExtraData.size());
        m_output.Deliver(packet.data, packet.size, info);
    });
}

void CAacEncoder::Close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (!m_pFifo || !m_pContext)
        return;
    EncodeFifo(true);
    Encode(nullptr);
}
}
