// The registry behind KVRenderTarget.h, for the renderers of this layer.
#pragma once

#include "media/KVRenderTarget.h"

#include <functional>

namespace KVMedia
{
// A null target forgets the window, like RemoveRenderTarget.
void SetRenderTarget(KVS_WINDOW hWnd, IKVRenderTarget* pTarget);
void RemoveRenderTarget(KVS_WINDOW hWnd);

// Runs fn with the target registered for hWnd while the registry is locked,
// so the target cannot unregister (and vanish) meanwhile. False when no
// target is registered for hWnd.
bool WithRenderTarget(KVS_WINDOW hWnd, const std::function<void(IKVRenderTarget*)>& fn);

// The window's screen as a GUID, the same for every window on that screen.
// False when no target is registered for hWnd.
bool GetScreenGuid(KVS_WINDOW hWnd, KVS_GUID* pGuid);
}
