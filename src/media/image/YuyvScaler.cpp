#include "media/image/YuyvScaler.h"

#include "media/image/PlanarPack.h"
#include "media/image/YuyvLayout.h"

extern "C"
{
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <iterator>

namespace KVMedia
{
void PadYuyvRow(const uint8_t* pSrc, int nWidth, uint8_t* pDst)
{
    std::memcpy(pDst, pSrc, size_t(nWidth) * 2);
    if (!(nWidth & 1))
        return;
    uint8_t* pLast = pDst + size_t(nWidth - 1) * 2;
    pLast[2] = pLast[0];
    pLast[3] = uint8_t(YuyvV(pSrc, nWidth, nWidth - 1));
}

CYuyvScaler::CYuyvScaler(bool bSmooth)
    : m_nFlags(bSmooth ? SWS_BILINEAR : SWS_POINT)
{
}

const uint8_t* CYuyvScaler::PaddedSource(const uint8_t* pSrc, int nSrcStride, int nWidth, int nHeight, int* pnStride)
{
    *pnStride = nSrcStride;
    if (!(nWidth & 1))
        return pSrc;
    const int nPadded = 2 * nWidth + 2;
    m_abSource.resize(size_t(nPadded) * size_t(nHeight) + FRAME_READ_PADDING);
    for (int y = 0; y < nHeight; ++y)
        PadYuyvRow(pSrc + size_t(y) * size_t(nSrcStride), nWidth, m_abSource.data() + size_t(y) * size_t(nPadded));
    *pnStride = nPadded;
    return m_abSource.data();
}

bool CYuyvScaler::Prepare(int eSrcFormat, int nSrcWidth, int nSrcHeight, bool bFullRange, int eDstFormat, int nDstWidth,
                          int nDstHeight)
{
    const int anParams[] = {eSrcFormat, nSrcWidth, nSrcHeight, bFullRange ? 1 : 0, eDstFormat, nDstWidth, nDstHeight};
    if (m_pSws && std::equal(std::begin(anParams), std::end(anParams), m_anParams))
        return true;
    m_pSws.reset();
    // The ranges are set before the context is initialised: set afterwards
    // they are ignored by the converters it picks for same-size pictures,
    // which would pass a full-range picture through unconverted.
    m_pSws.reset(sws_alloc_context());
    if (!m_pSws)
        return false;
    av_opt_set_int(m_pSws.get(), "srcw", nSrcWidth, 0);
    av_opt_set_int(m_pSws.get(), "srch", nSrcHeight, 0);
    av_opt_set_int(m_pSws.get(), "src_format", eSrcFormat, 0);
    av_opt_set_int(m_pSws.get(), "dstw", nDstWidth, 0);
    av_opt_set_int(m_pSws.get(), "dsth", nDstHeight, 0);
    av_opt_set_int(m_pSws.get(), "dst_format", eDstFormat, 0);
    av_opt_set_int(m_pSws.get(), "sws_flags", m_nFlags, 0);
    av_opt_set_int(m_pSws.get(), "src_range", bFullRange ? 1 : 0, 0);
    av_opt_set_int(m_pSws.get(), "dst_range", 0, 0);
    if (sws_init_context(m_pSws.get(), nullptr, nullptr) < 0)
    {
        m_pSws.reset();
        return false;
    }
    std::copy(std::begin(anParams), std::end(anParams), m_anParams);
    return true;
}

bool CYuyvScaler::Run(const uint8_t* const apSrc[4], const int anSrcStride[4], int eSrcFormat, int nSrcWidth,
                      int nSrcHeight, bool bFullRange, uint8_t* pDst, int nDstStride, int eDstFormat, int nDstWidth,
                      int nDstHeight)
{
    if (!Prepare(eSrcFormat, nSrcWidth, nSrcHeight, bFullRange, eDstFormat, nDstWidth, nDstHeight))
        return false;
    uint8_t* apDst[4] = {pDst, nullptr, nullptr, nullptr};
    const int anDstStride[4] = {nDstStride, 0, 0, 0};
    return sws_scale(m_pSws.get(), apSrc, anSrcStride, 0, nSrcHeight, apDst, anDstStride) > 0;
}

bool CYuyvScaler::ToYuyv(const uint8_t* const apSrc[4], const int anSrcStride[4], int eSrcFormat, int nSrcWidth,
                         int nSrcHeight, bool bFullRange, uint8_t* pDst, int nDstStride, int nDstWidth, int nDstHeight)
{
    if (!apSrc || !apSrc[0] || !pDst || !IsFrameSizeAllowed(nSrcWidth, nSrcHeight) ||
        !IsFrameSizeAllowed(nDstWidth, nDstHeight) || nDstStride < 2 * nDstWidth)
        return false;
    const uint8_t* apSource[4] = {apSrc[0], apSrc[1], apSrc[2], apSrc[3]};
    int anStride[4] = {anSrcStride[0], anSrcStride[1], anSrcStride[2], anSrcStride[3]};
    if (nSrcWidth == nDstWidth && nSrcHeight == nDstHeight &&
        PackPlanarToYuyv(apSrc, anSrcStride, eSrcFormat, nSrcWidth, nSrcHeight, bFullRange, pDst, nDstStride))
        return true;
    if (IsPlanarYuv(eSrcFormat) && !(nDstWidth & 1))
        return ScalePlanarToYuyv(apSrc, anSrcStride, eSrcFormat, nSrcWidth, nSrcHeight, bFullRange, pDst, nDstStride,
                                 nDstWidth, nDstHeight);
    if (eSrcFormat == AV_PIX_FMT_YUYV422)
        apSource[0] = PaddedSource(apSrc[0], anSrcStride[0], nSrcWidth, nSrcHeight, &anStride[0]);
    if (!(nDstWidth & 1))
        return Run(apSource, anStride, eSrcFormat, nSrcWidth, nSrcHeight, bFullRange, pDst, nDstStride,
                   AV_PIX_FMT_YUYV422, nDstWidth, nDstHeight);

    const int nPadded = 2 * nDstWidth + 2;
    m_abTarget.resize(size_t(nPadded) * size_t(nDstHeight) + FRAME_READ_PADDING);
    if (!Run(apSource, anStride, eSrcFormat, nSrcWidth, nSrcHeight, bFullRange, m_abTarget.data(), nPadded,
             AV_PIX_FMT_YUYV422, nDstWidth, nDstHeight))
        return false;
    for (int y = 0; y < nDstHeight; ++y)
        std::memcpy(pDst + size_t(y) * size_t(nDstStride), m_abTarget.data() + size_t(y) * size_t(nPadded),
                    size_t(nDstWidth) * 2);
    return true;
}

bool CYuyvScaler::IsPlanarYuv(int eFormat)
{
    return eFormat == AV_PIX_FMT_YUV420P || eFormat == AV_PIX_FMT_YUV422P || eFormat == AV_PIX_FMT_YUV444P ||
           eFormat == AV_PIX_FMT_YUV440P;
}

bool CYuyvScaler::ScalePlanarToYuyv(const uint8_t* const apSrc[4], const int anSrcStride[4], int eSrcFormat,
                                    int nSrcWidth, int nSrcHeight, bool bFullRange, uint8_t* pDst, int nDstStride,
                                    int nDstWidth, int nDstHeight)
{
    // Scaled as planes in the source's own range, then narrowed while
    // packing: libswscale's range conversion runs on its slow general path
    // and took twice as long as scaling and packing together.
    const size_t nLuma = size_t(nDstWidth) * size_t(nDstHeight);
    const size_t nChroma = nLuma / 2;
    m_abPlanar.resize(nLuma + 2 * nChroma + FRAME_READ_PADDING);
    uint8_t* apPlanes[4] = {m_abPlanar.data(), m_abPlanar.data() + nLuma, m_abPlanar.data() + nLuma + nChroma, nullptr};
    const int anStrides[4] = {nDstWidth, nDstWidth / 2, nDstWidth / 2, 0};
    if (!Prepare(eSrcFormat, nSrcWidth, nSrcHeight, false, AV_PIX_FMT_YUV422P, nDstWidth, nDstHeight) ||
        sws_scale(m_pSws.get(), apSrc, anSrcStride, 0, nSrcHeight, apPlanes, anStrides) <= 0)
        return false;
    return PackPlanarToYuyv(apPlanes, anStrides, AV_PIX_FMT_YUV422P, nDstWidth, nDstHeight, bFullRange, pDst,
                            nDstStride);
}

bool CYuyvScaler::FromYuyv(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, uint8_t* pDst,
                           int nDstStride, int eDstFormat, int nDstWidth, int nDstHeight)
{
    if (!pSrc || !pDst || !IsFrameSizeAllowed(nSrcWidth, nSrcHeight) || !IsFrameSizeAllowed(nDstWidth, nDstHeight) ||
        nSrcStride < 2 * nSrcWidth)
        return false;
    int nStride = 0;
    const uint8_t* apSource[4] = {PaddedSource(pSrc, nSrcStride, nSrcWidth, nSrcHeight, &nStride), nullptr, nullptr,
                                  nullptr};
    const int anStride[4] = {nStride, 0, 0, 0};
    return Run(apSource, anStride, AV_PIX_FMT_YUYV422, nSrcWidth, nSrcHeight, false, pDst, nDstStride, eDstFormat,
               nDstWidth, nDstHeight);
}

bool CYuyvScaler::FromYuv420p(const uint8_t* const apSrc[3], const int anSrcStride[3], int nWidth, int nHeight,
                              uint8_t* pDst, int nDstStride, int eDstFormat)
{
    if (!apSrc || !apSrc[0] || !apSrc[1] || !apSrc[2] || !pDst || !IsFrameSizeAllowed(nWidth, nHeight))
        return false;
    const uint8_t* apSource[4] = {apSrc[0], apSrc[1], apSrc[2], nullptr};
    const int anStride[4] = {anSrcStride[0], anSrcStride[1], anSrcStride[2], 0};
    return Run(apSource, anStride, AV_PIX_FMT_YUV420P, nWidth, nHeight, false, pDst, nDstStride, eDstFormat, nWidth,
               nHeight);
}
}
