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
// The two taps of output column n in blocks of nFactor: a quarter and
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

inline uint8_t Average2(int n1, int n2)
{
    return uint8_t((n1 + n2 + 1) >> 1);
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
        // One line per block: reading the frame's lines is what costs, and
        // the resampling after this averages neighbouring lines again.
        const uint8_t* pRow = pSrc + size_t(y * nFactorY + nFactorY / 2) * size_t(nSrcStride);
        uint8_t* pOut = pDst + size_t(y) * size_t(nDstStride);
        const uint8_t* pBlock = pRow;
        for (int nPair = 0; nPair < nRegular; ++nPair, pBlock += nBlockBytes, pOut += 4)
        {
            pOut[0] = Average2(pBlock[anFirst[0]], pBlock[anFirst[1]]);
            pOut[1] = Average2(pBlock[anFirst[4]], pBlock[anFirst[5]]);
            pOut[2] = Average2(pBlock[anFirst[2]], pBlock[anFirst[3]]);
            pOut[3] = Average2(pBlock[anFirst[6]], pBlock[anFirst[7]]);
        }
        const int* pTaps = anTaps.data() + size_t(nRegular) * 8;
        for (int nPair = nRegular; nPair < nPairs; ++nPair, pTaps += 8, pOut += 4)
        {
            pOut[0] = Average2(pRow[pTaps[0]], pRow[pTaps[1]]);
            pOut[1] = Average2(pRow[pTaps[4]], pRow[pTaps[5]]);
            pOut[2] = Average2(pRow[pTaps[2]], pRow[pTaps[3]]);
            pOut[3] = Average2(YuyvByte(pRow, pTaps[6]), YuyvByte(pRow, pTaps[7]));
        }
    }
}
}
