#include "media/core/AvPtr.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/buffer.h>
#include <libavutil/dict.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace KVMedia
{
void SAvDelete::operator()(AVAudioFifo* p) const
{
    av_audio_fifo_free(p);
}

void SAvDelete::operator()(AVBufferPool* p) const
{
    // Buffers still referenced elsewhere keep the pool until they return.
    av_buffer_pool_uninit(&p);
}

void SAvDelete::operator()(AVBufferRef* p) const
{
    av_buffer_unref(&p);
}

void SAvDelete::operator()(AVCodecContext* p) const
{
    avcodec_free_context(&p);
}

void SAvDelete::operator()(AVCodecParameters* p) const
{
    avcodec_parameters_free(&p);
}

void SAvDelete::operator()(AVDictionary* p) const
{
    av_dict_free(&p);
}

void SAvDelete::operator()(AVFrame* p) const
{
    av_frame_free(&p);
}

void SAvDelete::operator()(AVPacket* p) const
{
    av_packet_free(&p);
}

void SAvDelete::operator()(SwrContext* p) const
{
    swr_free(&p);
}

void SAvDelete::operator()(SwsContext* p) const
{
    sws_freeContext(p);
}

void SAvDelete::operator()(uint8_t* p) const
{
    av_free(p);
}

void SAvInputDelete::operator()(AVFormatContext* p) const
{
    avformat_close_input(&p);
}

void SAvOutputDelete::operator()(AVFormatContext* p) const
{
    if (!(p->flags & AVFMT_FLAG_CUSTOM_IO))
        avio_closep(&p->pb);
    avformat_free_context(p);
}

void SAvCustomIoDelete::operator()(AVIOContext* p) const
{
    av_freep(&p->buffer);
    avio_context_free(&p);
}

bool SetExtraData(AVCodecParameters* pParams, const std::vector<uint8_t>& vecData)
{
    AvBytesPtr pData(static_cast<uint8_t*>(av_mallocz(vecData.size() + AV_INPUT_BUFFER_PADDING_SIZE)));
    if (!pData)
        return false;
    if (!vecData.empty())
        std::memcpy(pData.get(), vecData.data(), vecData.size());
    AvBytesPtr pOld(pParams->extradata);
    pParams->extradata = pData.release();
    pParams->extradata_size = static_cast<int>(vecData.size());
    return true;
}
}
