#include "media/render/Renderer.h"

#include "media/KVStream.h"
#include "media/render/RenderTargets.h"
#include "media/image/YuyvDecimate.h"
#include "media/image/YuyvLayout.h"
#include "media/image/YuyvResample.h"

extern "C"
{
#include <libavutil/pixfmt.h>
}

#include <algorithm>

namespace KVMedia
{
namespace
{
// The largest whole reduction the resampler takes on by itself.
const int DIRECT_RESAMPLE_FACTOR = 3;
}

CRenderer::CRenderer(KVS_WINDOW hWnd, int nWidth, int nHeight)
    : m_hWnd(hWnd)
    , m_nWidth(nWidth)
    , m_nHeight(nHeight)
{
}

CRenderer::~CRenderer() = default;

void CRenderer::Reset(KVS_WINDOW hWnd, int nWidth, int nHeight)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // The last picture belongs to the old window.
    if (hWnd != m_hWnd)
        m_imageLast = QImage();
    m_hWnd = hWnd;
    m_nWidth = nWidth;
    m_nHeight = nHeight;
}

void CRenderer::SetPosition(const KVS_RECT* pSource, const KVS_RECT* pTarget)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bHasSourceRect = pSource != nullptr;
    if (pSource)
        m_rcSource = *pSource;
    m_bHasTargetRect = pTarget != nullptr;
    if (pTarget)
        m_rcTarget = *pTarget;
}

KVS_RECT CRenderer::FitRect(const KVS_RECT& rcTarget, int nWidth, int nHeight)
{
    const int64_t nTargetWidth = int64_t(rcTarget.nRight) - rcTarget.nLeft;
    const int64_t nTargetHeight = int64_t(rcTarget.nBottom) - rcTarget.nTop;
    if (nTargetWidth <= 0 || nTargetHeight <= 0 || nWidth <= 0 || nHeight <= 0)
        return KVS_RECT{rcTarget.nLeft, rcTarget.nTop, rcTarget.nLeft, rcTarget.nTop};
    // Rounded to the nearest pixel, at least one.
    int64_t nFitWidth = nTargetWidth;
    int64_t nFitHeight = nTargetHeight;
    if (nTargetWidth * nHeight > nTargetHeight * nWidth)
        nFitWidth = std::max<int64_t>(1, (nTargetHeight * nWidth * 2 + nHeight) / (2 * int64_t(nHeight)));
    else
        nFitHeight = std::max<int64_t>(1, (nTargetWidth * nHeight * 2 + nWidth) / (2 * int64_t(nWidth)));
    const int nLeft = int(rcTarget.nLeft + (nTargetWidth - nFitWidth) / 2);
    const int nTop = int(rcTarget.nTop + (nTargetHeight - nFitHeight) / 2);
    return KVS_RECT{nLeft, nTop, int(nLeft + nFitWidth), int(nTop + nFitHeight)};
}

bool CRenderer::SourceRect(KVS_RECT* pRect) const
{
    KVS_RECT rc{0, 0, m_nWidth, m_nHeight};
    if (m_bHasSourceRect)
    {
        rc.nLeft = std::max(0, m_rcSource.nLeft) & ~1;
        rc.nTop = std::max(0, m_rcSource.nTop);
        rc.nRight = std::min(m_nWidth, m_rcSource.nRight);
        rc.nBottom = std::min(m_nHeight, m_rcSource.nBottom);
    }
    *pRect = rc;
    return rc.nRight > rc.nLeft && rc.nBottom > rc.nTop;
}

bool CRenderer::Draw(const uint8_t* pFrame, int nStride)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!pFrame || nStride < m_nWidth * 2)
        return false;

    KVS_RECT rcTarget = m_rcTarget;
    bool bKeepAspect = true;
    bool bShown = true;
    const bool bRegistered =
        WithRenderTarget(m_hWnd, [this, &rcTarget, &bKeepAspect, &bShown](IKVRenderTarget* pTarget) {
            bShown = pTarget->IsShown();
            if (!m_bHasTargetRect)
                rcTarget = pTarget->GetClientRect();
            bKeepAspect = pTarget->KeepsAspectRatio();
        });
    // No window to show it in, or none the user sees: nothing to convert.
    if (!bRegistered || !bShown)
        return true;
    KVS_RECT rcSource;
    if (!SourceRect(&rcSource))
        return true;
    const int nSrcWidth = rcSource.nRight - rcSource.nLeft;
    const int nSrcHeight = rcSource.nBottom - rcSource.nTop;
    const KVS_RECT rc = bKeepAspect ? FitRect(rcTarget, nSrcWidth, nSrcHeight) : rcTarget;
    const int nDstWidth = rc.nRight - rc.nLeft;
    const int nDstHeight = rc.nBottom - rc.nTop;
    if (nDstWidth <= 0 || nDstHeight <= 0)
        return true;
    if (!IsFrameSizeAllowed(nDstWidth, nDstHeight))
        return false;

    // The target may still hold the previous picture; write into one only
    // when nobody else does. The target lets go of a picture when the next
    // arrives, so two taking turns are enough.
    auto fits = [nDstWidth, nDstHeight](const QImage& image) {
        return image.width() == nDstWidth && image.height() == nDstHeight && image.isDetached();
    };
    if (!fits(m_imageLast))
    {
        std::swap(m_imageLast, m_imageSpare);
        if (!fits(m_imageLast))
            m_imageLast = MakePicture(nDstWidth, nDstHeight);
    }
    if (m_imageLast.isNull())
        return false;
    const uint8_t* pSource = pFrame + size_t(rcSource.nTop) * size_t(nStride) + size_t(rcSource.nLeft) * 2;
    if (!Convert(pSource, nStride, nSrcWidth, nSrcHeight, nDstWidth, nDstHeight))
        return false;
    m_rcLast = rc;

    WithRenderTarget(m_hWnd, [this](IKVRenderTarget* pTarget) { pTarget->PresentFrame(m_imageLast, m_rcLast); });
    return true;
}

QImage CRenderer::MakePicture(int nWidth, int nHeight)
{
    // Lines padded to whole groups of sixteen pixels: libswscale's vectorised
    // converters write whole groups, and would otherwise leave the last few
    // pixels of a line unconverted.
    const int nBytesPerLine = ((nWidth + 15) & ~15) * 4;
    // Not cleared: every pixel is written before the picture is shown.
    auto* pBuffer = new uint8_t[size_t(nBytesPerLine) * size_t(nHeight) + FRAME_READ_PADDING];
    return QImage(
        pBuffer, nWidth, nHeight, nBytesPerLine, QImage::Format_RGB32,
        [](void* pInfo) { delete[] static_cast<uint8_t*>(pInfo); }, pBuffer);
}

bool CRenderer::Convert(const uint8_t* pSource, int nStride, int nSrcWidth, int nSrcHeight, int nDstWidth,
                        int nDstHeight)
{
    uint8_t* pDst = m_imageLast.bits();
    const int nDstStride = int(m_imageLast.bytesPerLine());
    // Larger than the source on either side: libswscale interpolates. At
    // the same size, as a projection often is, it only converts, which
    // costs less than resampling pixel by pixel first.
    const bool bSameSize = nDstWidth == nSrcWidth && nDstHeight == nSrcHeight;
    if (bSameSize || nDstWidth > nSrcWidth || nDstHeight > nSrcHeight)
        return m_scaler.FromYuyv(pSource, nStride, nSrcWidth, nSrcHeight, pDst, nDstStride, AV_PIX_FMT_RGB32, nDstWidth,
                                 nDstHeight);

    // Up to four source pixels a side for each shown one, the resampler's two
    // taps a side already read as many as a whole-factor reduction would, so
    // it reads the source itself: reducing first cost as much again and only
    // blurred. Further down, the reduction comes first, so that the two taps
    // still see every part of each block.
    const uint8_t* pReduced = pSource;
    int nReducedStride = nStride;
    int nReducedWidth = nSrcWidth;
    int nReducedHeight = nSrcHeight;
    const int nFactorX = DecimationFactor(nSrcWidth, nDstWidth);
    const int nFactorY = DecimationFactor(nSrcHeight, nDstHeight);
    if (nFactorX > DIRECT_RESAMPLE_FACTOR || nFactorY > DIRECT_RESAMPLE_FACTOR)
    {
        nReducedWidth = nSrcWidth / nFactorX;
        nReducedHeight = nSrcHeight / nFactorY;
        nReducedStride = PairedRowBytes(nReducedWidth);
        m_abReduced.resize(size_t(nReducedStride) * size_t(nReducedHeight));
        m_decimator.Decimate(pSource, nStride, nSrcWidth, nSrcHeight, nFactorX, nFactorY, m_abReduced.data(),
                             nReducedStride);
        pReduced = m_abReduced.data();
    }

    const int nChromaWidth = (nDstWidth + 1) / 2;
    const int nChromaHeight = (nDstHeight + 1) / 2;
    const int anStrides[3] = {(nDstWidth + 31) & ~31, (nChromaWidth + 31) & ~31, (nChromaWidth + 31) & ~31};
    const size_t nLumaSize = size_t(anStrides[0]) * size_t(nDstHeight);
    const size_t nChromaSize = size_t(anStrides[1]) * size_t(nChromaHeight);
    m_abPlanes.resize(nLumaSize + 2 * nChromaSize + FRAME_READ_PADDING);
    uint8_t* const apPlanes[3] = {m_abPlanes.data(), m_abPlanes.data() + nLumaSize,
                                  m_abPlanes.data() + nLumaSize + nChromaSize};
    if (!m_resampler.Resample(pReduced, nReducedStride, nReducedWidth, nReducedHeight, apPlanes, anStrides, nDstWidth,
                              nDstHeight))
        return false;

    // libswscale's vectorised converter takes lines in pairs and is not
    // chosen for an odd height, which would cost twenty times as much: an
    // odd last line is converted on its own.
    const int nEvenHeight = nDstHeight & ~1;
    const uint8_t* const apEven[3] = {apPlanes[0], apPlanes[1], apPlanes[2]};
    if (nEvenHeight > 0 &&
        !m_scaler.FromYuv420p(apEven, anStrides, nDstWidth, nEvenHeight, pDst, nDstStride, AV_PIX_FMT_RGB32))
        return false;
    if (nDstHeight == nEvenHeight)
        return true;
    const size_t nChromaLine = size_t(nEvenHeight / 2);
    const uint8_t* const apLast[3] = {apPlanes[0] + size_t(nEvenHeight) * size_t(anStrides[0]),
                                      apPlanes[1] + nChromaLine * size_t(anStrides[1]),
                                      apPlanes[2] + nChromaLine * size_t(anStrides[2])};
    return m_scalerLastLine.FromYuv420p(apLast, anStrides, nDstWidth, 1,
                                        pDst + size_t(nEvenHeight) * size_t(nDstStride), nDstStride, AV_PIX_FMT_RGB32);
}

void CRenderer::Repaint()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_imageLast.isNull())
        return;
    WithRenderTarget(m_hWnd, [this](IKVRenderTarget* pTarget) { pTarget->PresentFrame(m_imageLast, m_rcLast); });
}
}
