// Whether a hardware H.264 encoder really works here: only an encoder that
// opens counts, not one that is merely compiled in.
#include "media/encoder/H264Probe.h"

#include "media/core/AvPtr.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/hwcontext.h>
#include <libavutil/log.h>
}

#include <QDir>

#include <mutex>

namespace
{
constexpr int PROBE_WIDTH = 320;
constexpr int PROBE_HEIGHT = 240;

bool TryOpen(const char* pszEncoder, AVPixelFormat eFormat, AVBufferRef* pFrames)
{
    const AVCodec* pCodec = avcodec_find_encoder_by_name(pszEncoder);
    if (!pCodec)
        return false;
    KVMedia::AvCodecContextPtr pContext(avcodec_alloc_context3(pCodec));
    if (!pContext)
        return false;
    pContext->width = PROBE_WIDTH;
    pContext->height = PROBE_HEIGHT;
    pContext->time_base = AVRational{1, 25};
    pContext->framerate = AVRational{25, 1};
    pContext->pix_fmt = eFormat;
    pContext->bit_rate = 500000;
    if (pFrames)
        pContext->hw_frames_ctx = av_buffer_ref(pFrames);
    return avcodec_open2(pContext.get(), pCodec, nullptr) == 0;
}

bool ProbeVaapi()
{
    // Without a render node there is nothing to try.
    if (QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty())
        return false;
    if (!avcodec_find_encoder_by_name("h264_vaapi"))
        return false;
    KVMedia::AvBufferPtr pDevice;
    if (av_hwdevice_ctx_create(KVMedia::AvOut(pDevice), AV_HWDEVICE_TYPE_VAAPI, nullptr, nullptr, 0) < 0)
        return false;
    const KVMedia::AvBufferPtr pFrames(av_hwframe_ctx_alloc(pDevice.get()));
    if (!pFrames)
        return false;
    auto* pFramesContext = reinterpret_cast<AVHWFramesContext*>(pFrames->data);
    pFramesContext->format = AV_PIX_FMT_VAAPI;
    pFramesContext->sw_format = AV_PIX_FMT_NV12;
    pFramesContext->width = PROBE_WIDTH;
    pFramesContext->height = PROBE_HEIGHT;
    pFramesContext->initial_pool_size = 4;
    return av_hwframe_ctx_init(pFrames.get()) == 0 && TryOpen("h264_vaapi", AV_PIX_FMT_VAAPI, pFrames.get());
}

bool ProbeNvenc()
{
    return TryOpen("h264_nvenc", AV_PIX_FMT_YUV420P, nullptr);
}
}

namespace KVMedia
{
bool IsH264HardwareSupported()
{
    static std::once_flag s_once;
    static bool s_bSupported = false;
    std::call_once(s_once, [] {
        // A missing driver is the normal case, not something to report.
        const int nLevel = av_log_get_level();
        av_log_set_level(AV_LOG_QUIET);
        s_bSupported = ProbeVaapi() || ProbeNvenc();
        av_log_set_level(nLevel);
    });
    return s_bSupported;
}
}
