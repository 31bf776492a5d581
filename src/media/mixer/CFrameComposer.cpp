#include "media/mixer/CFrameComposer.h"

#include "media/mixer/COverlay.h"
#include "media/mixer/YuyvBlend.h"
#include "media/image/YuyvLayout.h"

#include <algorithm>
#include <cstring>

bool CFrameComposer::Clip(const ChannelDraw& draw, int nWidth, int nHeight, Clipped& clipped)
{
    if (!draw.pFrame || draw.nWidth <= 0 || draw.nHeight <= 0 || draw.nOpacity <= 0)
        return false;
    // Rectangles come from outside; 64-bit keeps their arithmetic exact.
    const KVS_RECT& s = draw.rcSource;
    const KVS_RECT& d = draw.rcDest;
    const int64_t cw = std::min<int64_t>(int64_t(s.nRight) - s.nLeft + 1, int64_t(d.nRight) - d.nLeft + 1);
    const int64_t ch = std::min<int64_t>(int64_t(s.nBottom) - s.nTop + 1, int64_t(d.nBottom) - d.nTop + 1);
    if (cw <= 0 || ch <= 0)
        return false;
    const int64_t dx = int64_t(d.nLeft) - s.nLeft;
    const int64_t dy = int64_t(d.nTop) - s.nTop;
    const int64_t sx0 = std::max<int64_t>(s.nLeft, 0);
    const int64_t sx1 = std::min<int64_t>(s.nLeft + cw, draw.nWidth);
    const int64_t sy0 = std::max<int64_t>(s.nTop, 0);
    const int64_t sy1 = std::min<int64_t>(s.nTop + ch, draw.nHeight);
    const int64_t x0 = std::max<int64_t>(sx0 + dx, 0);
    const int64_t x1 = std::min<int64_t>(sx1 + dx, nWidth);
    const int64_t y0 = std::max<int64_t>(sy0 + dy, 0);
    const int64_t y1 = std::min<int64_t>(sy1 + dy, nHeight);
    if (x0 >= x1 || y0 >= y1)
        return false;
    // Non-empty, so dx lies within (-source width, output width): fits an int.
    clipped = Clipped{&draw, int(x0), int(x1), int(y0), int(y1), int(dx), int(dy)};
    return true;
}

void CFrameComposer::FillBackground(uint8_t* pDst, int nDstStride, int nWidth, int nHeight)
{
    // Only pixels no opaque channel covers need black; in a full layout that
    // is nothing, which saves writing the frame twice. Pairs an opaque channel
    // covers only half get black too, so that their shared chroma starts from
    // a defined value.
    m_anBands.clear();
    m_anBands.push_back(0);
    m_anBands.push_back(nHeight);
    for (const Clipped& c : m_clipped)
    {
        if (c.pDraw->nOpacity >= 255)
        {
            m_anBands.push_back(c.y0);
            m_anBands.push_back(c.y1);
        }
    }
    std::sort(m_anBands.begin(), m_anBands.end());
    m_anBands.erase(std::unique(m_anBands.begin(), m_anBands.end()), m_anBands.end());

    for (size_t b = 0; b + 1 < m_anBands.size(); ++b)
    {
        const int ya = m_anBands[b];
        const int yb = m_anBands[b + 1];
        m_spans.clear();
        for (const Clipped& c : m_clipped)
        {
            if (c.pDraw->nOpacity < 255 || c.y0 > ya || c.y1 < yb)
                continue;
            const int xa = (c.x0 + 1) & ~1;
            const int xb = c.x1 & ~1;
            if (xa < xb)
                m_spans.emplace_back(xa, xb);
        }
        std::sort(m_spans.begin(), m_spans.end());
        int x = 0;
        for (size_t i = 0; i <= m_spans.size(); ++i)
        {
            const int nGapEnd = i < m_spans.size() ? m_spans[i].first : nWidth;
            if (nGapEnd > x)
            {
                for (int y = ya; y < yb; ++y)
                    YuyvBlend::FillBlackPixels(pDst + size_t(y) * size_t(nDstStride) + size_t(x) * 2,
                                               size_t(nGapEnd - x));
            }
            if (i < m_spans.size())
                x = std::max(x, m_spans[i].second);
        }
    }
}

void CFrameComposer::DrawChannel(uint8_t* pDst, int nDstStride, int nWidth, const Clipped& c)
{
    const ChannelDraw& draw = *c.pDraw;
    const int nOpacity = std::min(draw.nOpacity, 255);
    const int nSrcWidth = draw.nWidth;
    for (int y = c.y0; y < c.y1; ++y)
    {
        uint8_t* pD = pDst + size_t(y) * size_t(nDstStride);
        const uint8_t* pS = draw.pFrame + size_t(y - c.dy) * size_t(draw.nStride);
        if ((c.dx & 1) == 0)
        {
            // Pairs line up: whole pairs are copied or blended as bytes, a
            // half-covered pair at either end blends its chroma at half weight.
            if (c.x0 & 1)
            {
                // The source pixel is odd, so its pair is whole.
                const uint8_t* pPair = pS + 2 * (c.x0 - 1 - c.dx);
                YuyvBlend::BlendPair(pD + 2 * (c.x0 - 1), 0, pPair[2], pPair[1], pPair[3], 0, nOpacity);
            }
            const int xa = (c.x0 + 1) & ~1;
            const int xb = c.x1 & ~1;
            if (xa < xb)
            {
                const uint8_t* pSrc = pS + 2 * (xa - c.dx);
                if (nOpacity == 255)
                    std::memcpy(pD + 2 * xa, pSrc, size_t(xb - xa) * 2);
                else
                    YuyvBlend::BlendConst(pD + 2 * xa, pSrc, (xb - xa) * 2, nOpacity);
            }
            if (c.x1 & 1)
                DrawPixel(pD, nWidth, c.x1 - 1, pS, nSrcWidth, c.x1 - 1 - c.dx, nOpacity);
            continue;
        }
        // Odd shift: every output pair takes its pixels from two source
        // pairs, and its chroma from the average of theirs.
        for (int px = c.x0 & ~1; px < c.x1; px += 2)
        {
            const bool b0 = px >= c.x0;
            const bool b1 = px + 1 < c.x1;
            if (b0 && !b1)
            {
                DrawPixel(pD, nWidth, px, pS, nSrcWidth, px - c.dx, nOpacity);
                continue;
            }
            int anY[2] = {0, 0};
            int nU = 0, nV = 0, nCount = 0;
            for (int k = 0; k < 2; ++k)
            {
                if (!(k == 0 ? b0 : b1))
                    continue;
                const int sx = px + k - c.dx;
                anY[k] = pS[2 * sx];
                nU += KVMedia::YuyvU(pS, sx);
                nV += KVMedia::YuyvV(pS, nSrcWidth, sx);
                ++nCount;
            }
            nU = (nU + nCount / 2) / nCount;
            nV = (nV + nCount / 2) / nCount;
            YuyvBlend::BlendPair(pD + 2 * px, anY[0], anY[1], nU, nV, b0 ? nOpacity : 0, b1 ? nOpacity : 0);
        }
    }
}

void CFrameComposer::DrawPixel(uint8_t* pD, int nWidth, int x, const uint8_t* pS, int nSrcWidth, int sx, int nOpacity)
{
    // Even output pixel x is covered and x + 1 is not: either the pair goes
    // on past the channel's right edge, or x is the unpaired last pixel of
    // an odd-width output, which has no V to share.
    const int nU = KVMedia::YuyvU(pS, sx);
    if (x + 1 >= nWidth)
    {
        YuyvBlend::BlendLastPixel(pD + 2 * x, pS[2 * sx], nU, nOpacity);
        return;
    }
    YuyvBlend::BlendPair(pD + 2 * x, pS[2 * sx], 0, nU, KVMedia::YuyvV(pS, nSrcWidth, sx), nOpacity, 0);
}

void CFrameComposer::Compose(uint8_t* pDst, int nDstStride, int nWidth, int nHeight,
                             const std::vector<ChannelDraw>& channels, const std::vector<OverlayDraw>& overlays)
{
    if (!pDst || nWidth <= 0 || nHeight <= 0)
        return;
    m_clipped.clear();
    for (int nPass = 0; nPass < 2; ++nPass)
    {
        const bool bInset = nPass == 1;
        for (const ChannelDraw& draw : channels)
        {
            Clipped clipped;
            if (draw.bInset == bInset && Clip(draw, nWidth, nHeight, clipped))
                m_clipped.push_back(clipped);
        }
    }
    FillBackground(pDst, nDstStride, nWidth, nHeight);
    for (const Clipped& c : m_clipped)
        DrawChannel(pDst, nDstStride, nWidth, c);
    for (const OverlayDraw& overlay : overlays)
    {
        if (overlay.pOverlay)
            overlay.pOverlay->Draw(pDst, nDstStride, nWidth, nHeight, overlay.nX, overlay.nY);
    }
}
