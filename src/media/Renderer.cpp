#include "Renderer.h"

#include "HandleTable.h"
#include "KVStream.h"
#include "RenderTargets.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace KVMedia
{
namespace
{
CHandleTable<CRenderer>& Renderers()
{
    static CHandleTable<CRenderer> s_table;
    return s_table;
}

bool ValidSource(int nColor, int nWidth, int nHeight)
{
    return nColor == KVS_COLOR_YUYV && nWidth > 0 && nHeight > 0 && !(nWidth & 1);
}
}

CRenderer::CRenderer(KVS_WINDOW hWnd, int nWidth, int nHeight)
    : m_hWnd(hWnd), m_nWidth(nWidth), m_nHeight(nHeight)
{
}

CRenderer::~CRenderer()
{
    sws_freeContext(m_pSws);
}

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

void CRenderer::SetTargetRect(const KVS_RECT* pRect)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bHasTargetRect = pRect != nullptr;
    if (pRect)
        m_rcTarget = *pRect;
}

bool CRenderer::Draw(const uint8_t* pFrame, int nStride)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!pFrame || nStride < m_nWidth * 2)
        return false;

    KVS_RECT rc = m_rcTarget;
    const bool bRegistered = WithRenderTarget(m_hWnd, [this, &rc](IKVRenderTarget* pTarget) {
        if (!m_bHasTargetRect)
            rc = pTarget->GetClientRect();
    });
    // No window to show it in: nothing to convert either.
    if (!bRegistered)
        return true;
    const int nDstWidth = rc.nRight - rc.nLeft;
    const int nDstHeight = rc.nBottom - rc.nTop;
    if (nDstWidth <= 0 || nDstHeight <= 0)
        return true;

    m_pSws = sws_getCachedContext(m_pSws, m_nWidth, m_nHeight, AV_PIX_FMT_YUYV422, nDstWidth, nDstHeight,
                                  AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!m_pSws)
        return false;
    // The target may still hold the previous picture; write into it only
    // when nobody else does.
    if (m_imageLast.width() != nDstWidth || m_imageLast.height() != nDstHeight || !m_imageLast.isDetached())
        m_imageLast = QImage(nDstWidth, nDstHeight, QImage::Format_RGB32);
    if (m_imageLast.isNull())
        return false;
    const uint8_t* apSrc[4] = {pFrame, nullptr, nullptr, nullptr};
    const int anSrcStride[4] = {nStride, 0, 0, 0};
    uint8_t* apDst[4] = {m_imageLast.bits(), nullptr, nullptr, nullptr};
    const int anDstStride[4] = {int(m_imageLast.bytesPerLine()), 0, 0, 0};
    sws_scale(m_pSws, apSrc, anSrcStride, 0, m_nHeight, apDst, anDstStride);
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

using namespace KVMedia;

KVS_HANDLE KVS_CreateVideoRenderer(const KVS_GUID* /*pGuid*/, KVS_WINDOW hWnd, int nColor, int nWidth, int nHeight,
                                   int /*nReserved*/, int /*nFlag*/)
{
    // The monitor id is not needed: the target paints wherever its window is.
    if (!ValidSource(nColor, nWidth, nHeight))
        return nullptr;
    return Renderers().Add(std::make_shared<CRenderer>(hWnd, nWidth, nHeight));
}

int KVS_ResetVideoRenderer(KVS_HANDLE hRenderer, const KVS_GUID* /*pGuid*/, KVS_WINDOW hWnd, int nColor, int nWidth,
                           int nHeight, int /*nReserved*/, int /*nFlag*/)
{
    const auto pRenderer = Renderers().Get(hRenderer);
    if (!pRenderer || !ValidSource(nColor, nWidth, nHeight))
        return 0;
    pRenderer->Reset(hWnd, nWidth, nHeight);
    return 1;
}

int KVS_SetVideoRendererPosition(KVS_HANDLE hRenderer, const KVS_RECT* /*pSource*/, const KVS_RECT* pTarget)
{
    // The whole source frame is always shown.
    const auto pRenderer = Renderers().Get(hRenderer);
    if (!pRenderer)
        return 0;
    pRenderer->SetTargetRect(pTarget);
    return 1;
}

int KVS_VideoRendererDrawImage(KVS_HANDLE hRenderer, const uint8_t* pFrame, int nStride, int /*nFlag*/)
{
    const auto pRenderer = Renderers().Get(hRenderer);
    return pRenderer && pRenderer->Draw(pFrame, nStride) ? 1 : 0;
}

int KVS_VideoRendererRepaintRect(KVS_HANDLE hRenderer, const KVS_RECT* /*pRect*/)
{
    const auto pRenderer = Renderers().Get(hRenderer);
    if (!pRenderer)
        return 0;
    pRenderer->Repaint();
    return 1;
}

int KVS_DestroyVideoRenderer(KVS_HANDLE hRenderer)
{
    return Renderers().Remove(hRenderer) ? 1 : 0;
}
