#include "media/render/Renderer.h"

#include "media/KVStream.h"
#include "media/render/RenderTargets.h"
#include "media/image/YuyvLayout.h"

extern "C"
{
#include <libavutil/pixfmt.h>
}

#include <algorithm>

namespace KVMedia
{
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
    const bool bRegistered = WithRenderTarget(m_hWnd, [this, &rcTarget, &bKeepAspect](IKVRenderTarget* pTarget) {
        if (!m_bHasTargetRect)
            rcTarget = pTarget->GetClientRect();
        bKeepAspect = pTarget->KeepsAspectRatio();
    });
    // No window to show it in: nothing to convert either.
    if (!bRegistered)
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

    // The target may still hold the previous picture; write into it only
    // when nobody else does.
    if (m_imageLast.width() != nDstWidth || m_imageLast.height() != nDstHeight || !m_imageLast.isDetached())
        m_imageLast = QImage(nDstWidth, nDstHeight, QImage::Format_RGB32);
    if (m_imageLast.isNull())
        return false;
    const uint8_t* pSource = pFrame + size_t(rcSource.nTop) * size_t(nStride) + size_t(rcSource.nLeft) * 2;
    if (!m_scaler.FromYuyv(pSource, nStride, nSrcWidth, nSrcHeight, m_imageLast.bits(), int(m_imageLast.bytesPerLine()),
                           AV_PIX_FMT_RGB32, nDstWidth, nDstHeight))
        return false;
    m_rcLast = rc;

    WithRenderTarget(m_hWnd, [this](IKVRenderTarget* pTarget) { pTarget->PresentFrame(m_imageLast, m_rcLast); });
    return true;
}

void CRenderer::Repaint()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_imageLast.isNull())
        return;
    WithRenderTarget(m_hWnd, [this](IKVRenderTarget* pTarget) { pTarget->PresentFrame(m_imageLast, m_rcLast); });
}
}
