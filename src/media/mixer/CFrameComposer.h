// Composes one packed YUYV output frame from channel pictures and overlays
// into a buffer the caller owns. Nothing outside the nWidth x nHeight frame is
// ever written, whatever the rectangles and positions. Not thread-safe: one
// composer per thread (it keeps scratch space between frames).
#pragma once

#include "media/KVTypes.h"

#include <cstdint>
#include <vector>

class COverlay;

class CFrameComposer
{
public:
    struct ChannelDraw
    {
        const uint8_t* pFrame = nullptr; // packed YUYV
        int nStride = 0;                 // bytes per line
        int nWidth = 0;                  // any (YuyvLayout.h)
        int nHeight = 0;
        KVS_RECT rcSource = {0, 0, -1, -1}; // inclusive, in the channel's frame
        KVS_RECT rcDest = {0, 0, -1, -1};   // inclusive, in output pixels
        int nOpacity = 255;
        bool bInset = false;
    };

    struct OverlayDraw
    {
        const COverlay* pOverlay = nullptr;
        int nX = 0;
        int nY = 0;
    };

    // Black background, then channels that are not inset, then inset
    // channels (each group in the given order), then overlays in the given
    // order. Any width: an odd one ends in an unpaired pixel (YuyvLayout.h).
    void Compose(uint8_t* pDst, int nDstStride, int nWidth, int nHeight, const std::vector<ChannelDraw>& channels,
                 const std::vector<OverlayDraw>& overlays);

private:
    // A channel clipped to both its frame and the output, in pixels.
    struct Clipped
    {
        const ChannelDraw* pDraw;
        int x0, x1, y0, y1; // output area [x0, x1) x [y0, y1)
        int dx, dy;         // source pixel = output pixel - (dx, dy)
    };

    static bool Clip(const ChannelDraw& draw, int nWidth, int nHeight, Clipped& clipped);
    void FillBackground(uint8_t* pDst, int nDstStride, int nWidth, int nHeight);
    static void DrawChannel(uint8_t* pDst, int nDstStride, int nWidth, const Clipped& c);
    // Output pixel x (even) from source pixel sx, without its right-hand
    // neighbour; pD and pS are the rows.
    static void DrawPixel(uint8_t* pD, int nWidth, int x, const uint8_t* pS, int nSrcWidth, int sx, int nOpacity);

    std::vector<Clipped> m_clipped;
    std::vector<int> m_anBands;
    std::vector<std::pair<int, int>> m_spans;
};
