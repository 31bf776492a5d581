// How a channel preview window reports clicks to whoever placed it. The
// 32-bit value given with the callback comes back unchanged, so that one
// receiver can tell several windows apart.
#pragma once

#include <cstdint>

class IVideoWndCallback
{
public:
    // Mouse button released over the window.
    virtual void OnVideoWndClicked(uint32_t nValue) = 0;
    // Double click; the window toggles full screen right after.
    virtual void OnVideoWndDoubleClicked(uint32_t nValue) = 0;

protected:
    // Never deleted through the interface.
    ~IVideoWndCallback() = default;
};
