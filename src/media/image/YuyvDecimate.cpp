#include "media/image/YuyvDecimate.h"

#include "media/image/YuyvLayout.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace KVMedia
{
int DecimationFactor(int nSource, int nTarget)
{
    if (nSource <= 0 || nTarget <= 0)
        return 1;
    return std::max(1, nSource / nTarget);
}

namespace
{
// The two taps of output position n in blocks of nFactor: a quarter and
// three quarters into the block, both inside it; the same one when the
// factor is 1, neighbours when it is 2.
inline int FirstTap(int n, int nFactor)
{
    return n * nFactor + nFactor / 4;
}

inline int SecondTap(int n, int nFactor)
{
    return n * nFactor + (3 * nFactor) / 4;
}

inline uint8_t Average4(int n1, int n2, int n3, int n4)
{
    return uint8_t((n1 + n2 + n3 + n4 + 2) >> 2);
}

// nPairs pairs of pixels from 2 x nPairs lumas and a U and V each.
void InterleaveYuyv(const uint8_t* pY, const uint8_t* pU, const uint8_t* pV, int nPairs, uint8_t* pOut)
{
    int nPair = 0;
#if defined(__SSE2__)
    for (; nPair + 8 <= nPairs; nPair += 8)
    {
        const __m128i mY = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pY + 2 * nPair));
        const __m128i mUV = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pU + nPair)),
                                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pV + nPair)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 4 * nPair), _mm_unpacklo_epi8(mY, mUV));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pOut + 4 * nPair + 16), _mm_unpackhi_epi8(mY, mUV));
    }
#endif
    for (; nPair < nPairs; ++nPair)
    {
        pOut[4 * nPair] = pY[2 * nPair];
        pOut[4 * nPair + 1] = pU[nPair];
        pOut[4 * nPair + 2] = pY[2 * nPair + 1];
        pOut[4 * nPair + 3] = pV[nPair];
    }
}
}

void DecimateYuyv(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, int nFactorX, int nFactorY,
                  uint8_t* pDst, int nDstStride)
{
    if (!pSrc || !pDst || nFactorX < 1 || nFactorY < 1)
        return;
    const int nDstWidth = nSrcWidth / nFactorX;
    const int nDstHeight = nSrcHeight / nFactorY;
    const int nPairs = (nDstWidth + 1) / 2;

    // Byte offsets of every pair's taps, the same for each row: the lumas of
    // both pixels, then U and V from the first tap of the left pixel and the
    // second of the right one. A lone last pixel is its own partner.
    std::vector<int> anTaps(size_t(nPairs) * 8);
    // Pairs up to here have both pixels and read whole source pairs only;
    // their offsets are those of the first pair moved by whole blocks.
    int nRegular = 0;
    for (int nPair = 0; nPair < nPairs; ++nPair)
    {
        const int x = 2 * nPair;
        const int xa0 = FirstTap(x, nFactorX);
        const int xb0 = SecondTap(x, nFactorX);
        const bool bPair = x + 1 < nDstWidth;
        const int xa1 = bPair ? FirstTap(x + 1, nFactorX) : xa0;
        const int xb1 = bPair ? SecondTap(x + 1, nFactorX) : xb0;
        int* pTaps = anTaps.data() + size_t(nPair) * 8;
        pTaps[0] = 2 * xa0;
        pTaps[1] = 2 * xb0;
        pTaps[2] = 2 * xa1;
        pTaps[3] = 2 * xb1;
        pTaps[4] = YuyvUOffset(xa0);
        pTaps[5] = YuyvUOffset(xb1);
        pTaps[6] = YuyvVOffset(nSrcWidth, xa0);
        pTaps[7] = YuyvVOffset(nSrcWidth, xb1);
        if (nRegular == nPair && bPair && (xb1 | 1) < nSrcWidth)
            ++nRegular;
    }
    // Copied out: the byte stores below could otherwise alias the table.
    int anFirst[8] = {};
    if (nRegular > 0)
        std::copy(anTaps.begin(), anTaps.begin() + 8, anFirst);
    const size_t nBlockBytes = size_t(nFactorX) * 4;

    for (int y = 0; y < nDstHeight; ++y)
    {
        // Two lines per block, as two columns: one line alone loses the thin
        // strokes of small text in a picture reduced by three or more.
        const uint8_t* pRowA = pSrc + size_t(y * nFactorY + nFactorY / 4) * size_t(nSrcStride);
        const uint8_t* pRowB = pSrc + size_t(y * nFactorY + (3 * nFactorY) / 4) * size_t(nSrcStride);
        uint8_t* pOut = pDst + size_t(y) * size_t(nDstStride);
        // The next block's lines, fetched while these are reduced: a camera's
        // frame arrives from memory, not from the cache.
        const int yNext = std::min(y + 1, nDstHeight - 1);
        const uint8_t* pNextA = pSrc + size_t(yNext * nFactorY + nFactorY / 4) * size_t(nSrcStride);
        const uint8_t* pNextB = pSrc + size_t(yNext * nFactorY + (3 * nFactorY) / 4) * size_t(nSrcStride);
        size_t nBlock = 0;
        for (int nPair = 0; nPair < nRegular; ++nPair, nBlock += nBlockBytes, pOut += 4)
        {
            const uint8_t* pA = pRowA + nBlock;
            const uint8_t* pB = pRowB + nBlock;
            __builtin_prefetch(pNextA + nBlock);
            __builtin_prefetch(pNextB + nBlock);
            pOut[0] = Average4(pA[anFirst[0]], pA[anFirst[1]], pB[anFirst[0]], pB[anFirst[1]]);
            pOut[1] = Average4(pA[anFirst[4]], pA[anFirst[5]], pB[anFirst[4]], pB[anFirst[5]]);
            pOut[2] = Average4(pA[anFirst[2]], pA[anFirst[3]], pB[anFirst[2]], pB[anFirst[3]]);
            pOut[3] = Average4(pA[anFirst[6]], pA[anFirst[7]], pB[anFirst[6]], pB[anFirst[7]]);
        }
        const int* pTaps = anTaps.data() + size_t(nRegular) * 8;
        for (int nPair = nRegular; nPair < nPairs; ++nPair, pTaps += 8, pOut += 4)
        {
            pOut[0] = Average4(pRowA[pTaps[0]], pRowA[pTaps[1]], pRowB[pTaps[0]], pRowB[pTaps[1]]);
            pOut[1] = Average4(pRowA[pTaps[4]], pRowA[pTaps[5]], pRowB[pTaps[4]], pRowB[pTaps[5]]);
            pOut[2] = Average4(pRowA[pTaps[2]], pRowA[pTaps[3]], pRowB[pTaps[2]], pRowB[pTaps[3]]);
            pOut[3] = Average4(YuyvByte(pRowA, pTaps[6]), YuyvByte(pRowA, pTaps[7]), YuyvByte(pRowB, pTaps[6]),
                               YuyvByte(pRowB, pTaps[7]));
        }
    }
}

bool CYuyvDecimator::Plan(int nSrcWidth, int nFactorX)
{
    if (nSrcWidth == m_nPlanWidth && nFactorX == m_nPlanFactor)
        return m_bGrouped;
    m_nPlanWidth = nSrcWidth;
    m_nPlanFactor = nFactorX;
    const int nDstWidth = nSrcWidth / nFactorX;
    const int nPairs = (nDstWidth + 1) / 2;
    std::vector<int> anFirst(static_cast<size_t>(nDstWidth));
    std::vector<int> anSecond(static_cast<size_t>(nDstWidth));
    for (int x = 0; x < nDstWidth; ++x)
    {
        anFirst[size_t(x)] = FirstTap(x, nFactorX);
        anSecond[size_t(x)] = SecondTap(x, nFactorX);
    }
    // A pair's chroma: the first tap of its left pixel, the second of its
    // right one, which a lone last pixel is itself; as words of the row.
    std::vector<int> anFirstU(static_cast<size_t>(nPairs));
    std::vector<int> anSecondU(static_cast<size_t>(nPairs));
    std::vector<int> anFirstV(static_cast<size_t>(nPairs));
    std::vector<int> anSecondV(static_cast<size_t>(nPairs));
    auto word = CYuyvTapGroups::WordOf;
    for (int nPair = 0; nPair < nPairs; ++nPair)
    {
        const int xa = anFirst[2 * size_t(nPair)];
        const int xb = anSecond[size_t(std::min(2 * nPair + 1, nDstWidth - 1))];
        anFirstU[size_t(nPair)] = word(YuyvUOffset(xa));
        anSecondU[size_t(nPair)] = word(YuyvUOffset(xb));
        anFirstV[size_t(nPair)] = word(YuyvVOffset(nSrcWidth, xa));
        anSecondV[size_t(nPair)] = word(YuyvVOffset(nSrcWidth, xb));
    }
    m_bGrouped = m_luma.BuildLuma(anFirst, anSecond, nSrcWidth) &&
                 m_chroma.BuildChroma(anFirstU, anSecondU, anFirstV, anSecondV, nSrcWidth);
    m_abRow.resize(size_t(nDstWidth) + 1 + 2 * size_t(nPairs));
    return m_bGrouped;
}

void CYuyvDecimator::Decimate(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, int nFactorX,
                              int nFactorY, uint8_t* pDst, int nDstStride)
{
    if (!pSrc || !pDst || nFactorX < 1 || nFactorY < 1 || !Plan(nSrcWidth, nFactorX))
    {
        DecimateYuyv(pSrc, nSrcStride, nSrcWidth, nSrcHeight, nFactorX, nFactorY, pDst, nDstStride);
        return;
    }
    const int nDstWidth = nSrcWidth / nFactorX;
    const int nDstHeight = nSrcHeight / nFactorY;
    const int nPairs = (nDstWidth + 1) / 2;
    uint8_t* pY = m_abRow.data();
    uint8_t* pU = pY + nDstWidth + 1;
    uint8_t* pV = pU + nPairs;
    auto sourceRow = [pSrc, nSrcStride, nFactorY](int y, int nTap) {
        return pSrc + size_t(y * nFactorY + (nTap * nFactorY) / 4) * size_t(nSrcStride);
    };
    for (int y = 0; y < nDstHeight; ++y)
    {
        const uint8_t* pRowA = sourceRow(y, 1);
        const uint8_t* pRowB = sourceRow(y, 3);
        const int yNext = std::min(y + 1, nDstHeight - 1);
        m_luma.RunLuma(pRowA, pRowB, pY, sourceRow(yNext, 1), sourceRow(yNext, 3));
        m_chroma.RunChroma(pRowA, pRowB, pU, pV);
        // A lone last pixel is its own partner.
        pY[nDstWidth] = pY[nDstWidth - 1];
        uint8_t* pOut = pDst + size_t(y) * size_t(nDstStride);
        InterleaveYuyv(pY, pU, pV, nPairs, pOut);
    }
}
}
