// Owning pointers for what the codec libraries allocate. Each object goes
// with the call that matches how it was made, exactly once, on every path
// out of its scope; nothing else in the layer frees one by hand.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct AVAudioFifo;
struct AVBufferPool;
struct AVBufferRef;
struct AVCodecContext;
struct AVCodecParameters;
struct AVDictionary;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwrContext;
struct SwsContext;

namespace KVMedia
{
struct SAvDelete
{
    void operator()(AVAudioFifo* p) const;
    void operator()(AVBufferPool* p) const;
    void operator()(AVBufferRef* p) const;
    void operator()(AVCodecContext* p) const;
    void operator()(AVCodecParameters* p) const;
    void operator()(AVDictionary* p) const;
    void operator()(AVFrame* p) const;
    void operator()(AVPacket* p) const;
    void operator()(SwrContext* p) const;
    void operator()(SwsContext* p) const;
    // Memory from av_malloc.
    void operator()(uint8_t* p) const;
};

// An input format context goes through avformat_close_input, which also
// closes the pb it opened. An output's pb is closed with it too, unless
// AVFMT_FLAG_CUSTOM_IO says the caller supplied it and frees it; the
// trailer must be written before the pointer lets go.
struct SAvInputDelete
{
    void operator()(AVFormatContext* p) const;
};
struct SAvOutputDelete
{
    void operator()(AVFormatContext* p) const;
};
// An I/O context made by avio_alloc_context around our own callbacks. Its
// buffer is its own from then on (it may have been replaced meanwhile), so
// the buffer goes with it.
struct SAvCustomIoDelete
{
    void operator()(AVIOContext* p) const;
};

using AvAudioFifoPtr = std::unique_ptr<AVAudioFifo, SAvDelete>;
using AvBufferPoolPtr = std::unique_ptr<AVBufferPool, SAvDelete>;
using AvBufferPtr = std::unique_ptr<AVBufferRef, SAvDelete>;
using AvBytesPtr = std::unique_ptr<uint8_t, SAvDelete>;
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, SAvDelete>;
using AvCodecParametersPtr = std::unique_ptr<AVCodecParameters, SAvDelete>;
using AvDictionaryPtr = std::unique_ptr<AVDictionary, SAvDelete>;
using AvFramePtr = std::unique_ptr<AVFrame, SAvDelete>;
using AvPacketPtr = std::unique_ptr<AVPacket, SAvDelete>;
using SwrContextPtr = std::unique_ptr<SwrContext, SAvDelete>;
using SwsContextPtr = std::unique_ptr<SwsContext, SAvDelete>;
using AvInputPtr = std::unique_ptr<AVFormatContext, SAvInputDelete>;
using AvOutputPtr = std::unique_ptr<AVFormatContext, SAvOutputDelete>;
using AvCustomIoPtr = std::unique_ptr<AVIOContext, SAvCustomIoDelete>;

// Lends an owned object to a call that creates, replaces or frees it through
// a T** (avformat_open_input, av_dict_set, swr_alloc_set_opts2, ...). The
// owner gets back whatever the call left there when the statement ends, and
// reads null until then: test the owner in the next statement, not in the
// same condition as the call.
template <class T, class D> class CAvOutParam
{
public:
    explicit CAvOutParam(std::unique_ptr<T, D>& pOwner)
        : m_pOwner(pOwner)
        , m_p(pOwner.release())
    {
    }
    ~CAvOutParam() { m_pOwner.reset(m_p); }
    CAvOutParam(const CAvOutParam&) = delete;
    CAvOutParam& operator=(const CAvOutParam&) = delete;

    operator T**() { return &m_p; }

private:
    std::unique_ptr<T, D>& m_pOwner;
    T* m_p;
};

template <class T, class D> CAvOutParam<T, D> AvOut(std::unique_ptr<T, D>& pOwner)
{
    return CAvOutParam<T, D>(pOwner);
}

// Replaces the codec headers of pParams with a padded copy of vecData.
bool SetExtraData(AVCodecParameters* pParams, const std::vector<uint8_t>& vecData);
}
