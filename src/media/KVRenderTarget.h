// How a renderer reaches a widget without this layer knowing about widgets:
// the widget registers itself for its native window id. Registration, the
// queries and PresentFrame are serialised by the registry, so a target that
// unregisters in its destructor never receives a frame afterwards.
#pragma once

#include "media/KVTypes.h"

#include <QImage>
#include <QString>

class IKVRenderTarget
{
public:
    virtual ~IKVRenderTarget() = default;
    // Current client rectangle in the window's own pixels. Any thread.
    virtual KVS_RECT GetClientRect() const = 0;
    // Name and geometry of the screen showing the window, from which the
    // monitor id is derived. Any thread.
    virtual QString GetScreenKey() const = 0;
    // Whether the picture keeps its aspect ratio inside the target rectangle
    // (centred, black bars beside it) or is stretched to fill it exactly, as
    // where the user chose the rectangle's shape. Any thread.
    virtual bool KeepsAspectRatio() const { return true; }
    // Whether the user can see the target now; renderers convert nothing for
    // one that is hidden, minimised or on a tab in the background. Any
    // thread, and cheap: it is asked for every frame.
    virtual bool IsShown() const { return true; }
    // A picture already scaled to rcTarget's size, to be painted at rcTarget
    // on the user-interface thread. Called on a thread of this layer.
    virtual void PresentFrame(const QImage& image, const KVS_RECT& rcTarget) = 0;
};

void KVS_RegisterRenderTarget(KVS_WINDOW hWnd, IKVRenderTarget* pTarget);
void KVS_UnregisterRenderTarget(KVS_WINDOW hWnd);
