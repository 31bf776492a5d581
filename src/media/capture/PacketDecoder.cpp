#include "media/capture/PacketDecoder.h"

#include "media/image/ReducedSize.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

namespace KVMedia
{
namespace
{
// The full-range JPEG formats are deprecated in libswscale; they are the
// plain ones with the range given separately.
AVPixelFormat PlainFormat(AVPixelFormat eFormat, bool* pbFullRange)
{
    *pbFullRange = true;
    switch (eFormat)
    {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    default:
        *pbFullRange = false;
        return eFormat;
    }
}
}

CPacketDecoder::~CPacketDecoder()
{
    Close();
}

void CPacketDecoder::Close()
{
    m_pFrame.reset();
    m_pKept.reset();
    m_pContext.reset();
    m_pJpeg.reset();
    m_bHasKept = false;
    m_nLowres = 0;
    m_nDecoded = 0;
}

bool CPacketDecoder::Open(const AVCodecParameters* pParams, int nWidth, int nHeight)
{
    Close();
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    const AVCodec* pCodec = pParams ? avcodec_find_decoder(pParams->codec_id) : nullptr;
    m_pContext.reset(pCodec ? avcodec_alloc_context3(pCodec) : nullptr);
    m_pKept.reset(av_packet_alloc());
    m_pFrame.reset(av_frame_alloc());
    if (!m_pContext || !m_pKept || !m_pFrame || avcodec_parameters_to_context(m_pContext.get(), pParams) < 0)
    {
        Close();
        return false;
    }
    // Must be set before opening; the decoder sizes its pictures by it.
    m_nLowres = ChooseReduction(pParams->width, pParams->height, nWidth, nHeight, pCodec->max_lowres);
    m_pContext->lowres = m_nLowres;
    if (avcodec_open2(m_pContext.get(), pCodec, nullptr) < 0)
    {
        Close();
        return false;
    }
    if (pParams->codec_id == AV_CODEC_ID_MJPEG)
        m_pJpeg = std::make_unique<CJpegDecoder>();
    return true;
}

void CPacketDecoder::Keep(AVPacket* pPacket)
{
    av_packet_unref(m_pKept.get());
    av_packet_move_ref(m_pKept.get(), pPacket);
    m_bHasKept = true;
}

bool CPacketDecoder::DecodeKept(uint8_t* pDst, int nStride)
{
    if (!m_bHasKept || !m_pContext)
        return false;
    m_bHasKept = false;
    if (m_pJpeg)
    {
        const int nResult = DecodeJpeg(pDst, nStride);
        if (nResult != CJpegDecoder::UNSUPPORTED)
        {
            av_packet_unref(m_pKept.get());
            return nResult == CJpegDecoder::DECODED;
        }
    }
    const int nSent = avcodec_send_packet(m_pContext.get(), m_pKept.get());
    av_packet_unref(m_pKept.get());
    // A damaged picture; the next one may be fine.
    if (nSent < 0 || avcodec_receive_frame(m_pContext.get(), m_pFrame.get()) < 0)
        return false;
    ++m_nDecoded;
    const bool bConverted = Convert(m_pFrame.get(), pDst, nStride);
    av_frame_unref(m_pFrame.get());
    return bConverted;
}

int CPacketDecoder::DecodeJpeg(uint8_t* pDst, int nStride)
{
    const CJpegDecoder::EResult eResult = m_pJpeg->Decode(m_pKept->data, size_t(m_pKept->size), m_nWidth, m_nHeight);
    if (eResult != CJpegDecoder::DECODED)
        return eResult;
    ++m_nDecoded;
    m_nLowres = m_pJpeg->GetReduction();
    const bool bConverted =
        m_scaler.ToYuyv(m_pJpeg->GetPlanes(), m_pJpeg->GetStrides(), m_pJpeg->GetFormat(), m_pJpeg->GetWidth(),
                        m_pJpeg->GetHeight(), true, pDst, nStride, m_nWidth, m_nHeight);
    return bConverted ? CJpegDecoder::DECODED : CJpegDecoder::DAMAGED;
}

bool CPacketDecoder::Convert(const AVFrame* pFrame, uint8_t* pDst, int nStride)
{
    if (pFrame->format == AV_PIX_FMT_YUYV422 && pFrame->width == m_nWidth && pFrame->height == m_nHeight)
    {
        av_image_copy_plane(pDst, nStride, pFrame->data[0], pFrame->linesize[0], m_nWidth * 2, m_nHeight);
        return true;
    }
    bool bFullRange = false;
    const AVPixelFormat eSource = PlainFormat(AVPixelFormat(pFrame->format), &bFullRange);
    return m_scaler.ToYuyv(pFrame->data, pFrame->linesize, eSource, pFrame->width, pFrame->height, bFullRange, pDst,
                           nStride, m_nWidth, m_nHeight);
}
}
