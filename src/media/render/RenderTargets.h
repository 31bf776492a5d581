// The registry behind KVRenderTarget.h, for the renderers of this layer.
#pragma once

#include "media/KVRenderTarget.h"

#include <functional>

namespace KVMedia
{
// Runs fn with the target registered for hWnd while the registry is locked,
// so the target cannot unregister (and vanish) meanwhile. False when no
// target is registered for hWnd.
bool WithRenderTarget(KVS_WINDOW hWnd, const std::function<void(IKVRenderTarget*)>& fn);
}
