#include "media/image/YuyvDecimate.h"

#include "media/image/YuyvLayout.h"

#include <algorithm>
#include <cstddef>
#include <vector>

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
}
