// The KVS_ render-target and renderer operations, over the target registry
// in RenderTargets.cpp and CRenderer.
#include "media/image/YuyvLayout.h"
#include "media/core/HandleTable.h"
#include "media/KVRenderTarget.h"
#include "media/KVStream.h"
#include "media/render/Renderer.h"
#include "media/render/RenderTargets.h"

#include <memory>

using namespace KVMedia;

namespace
{
CHandleTable<CRenderer>& Renderers()
{
    static CHandleTable<CRenderer> s_table;
    return s_table;
}

bool ValidSource(int nColor, int nWidth, int nHeight)
{
    return nColor == KVS_COLOR_YUYV && IsFrameSizeAllowed(nWidth, nHeight);
}
}

void KVS_RegisterRenderTarget(KVS_WINDOW hWnd, IKVRenderTarget* pTarget)
{
    SetRenderTarget(hWnd, pTarget);
}

void KVS_UnregisterRenderTarget(KVS_WINDOW hWnd)
{
    RemoveRenderTarget(hWnd);
}

int KVS_GetWindowClientRect(KVS_WINDOW hWnd, KVS_RECT* pRect)
{
    if (!pRect)
        return 0;
    return WithRenderTarget(hWnd, [pRect](IKVRenderTarget* pTarget) { *pRect = pTarget->GetClientRect(); }) ? 1 : 0;
}

int KVS_GetMonitorGUIDFromWindow(KVS_WINDOW hWnd, KVS_GUID* pGuid)
{
    if (!pGuid)
        return 0;
    return GetScreenGuid(hWnd, pGuid) ? 1 : 0;
}

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

int KVS_SetVideoRendererPosition(KVS_HANDLE hRenderer, const KVS_RECT* pSource, const KVS_RECT* pTarget)
{
    const auto pRenderer = Renderers().Get(hRenderer);
    if (!pRenderer)
        return 0;
    pRenderer->SetPosition(pSource, pTarget);
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
