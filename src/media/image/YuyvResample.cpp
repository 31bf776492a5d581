#include "media/image/YuyvResample.h"

#include "media/image/YuyvLayout.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace KVMedia
{
namespace
{
// The two source positions of output position n of nCount spread over
// nSource, each block of nUnit output positions taken together: a quarter
// and three quarters into the block's span.
void Taps(int n, int nUnit, int nCount, int nSource, int* pnFirst, int* pnSecond)
{
    const int64_t nDen = 4 * int64_t(nCount);
    const int64_t nStart = 4 * int64_t(n) * nUnit;
    *pnFirst = int(std::min<int64_t>(nSource - 1, (nStart + nUnit) * nSource / nDen));
    *pnSecond = int(std::min<int64_t>(nSource - 1, (nStart + 3 * int64_t(nUnit)) * nSource / nDen));
}

inline uint8_t Average4(int n1, int n2, int n3, int n4)
{
    return uint8_t((n1 + n2 + n3 + n4 + 2) >> 2);
}

}

bool ResampleYuyvTo420p(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, uint8_t* const apDst[3],
                        const int anDstStride[3], int nDstWidth, int nDstHeight)
{
    if (!pSrc || nDstWidth <= 0 || nDstHeight <= 0 || nDstWidth > nSrcWidth || nDstHeight > nSrcHeight)
        return false;
    const int nChromaWidth = (nDstWidth + 1) / 2;
    const int nChromaHeight = (nDstHeight + 1) / 2;

    // The columns are the same for every row: worked out once.
    std::vector<int> anLuma(size_t(nDstWidth) * 2);
    for (int x = 0; x < nDstWidth; ++x)
    {
        int nFirst = 0;
        int nSecond = 0;
        Taps(x, 1, nDstWidth, nSrcWidth, &nFirst, &nSecond);
        anLuma[size_t(x) * 2] = 2 * nFirst;
        anLuma[size_t(x) * 2 + 1] = 2 * nSecond;
    }
    std::vector<int> anChroma(size_t(nChromaWidth) * 4);
    for (int x = 0; x < nChromaWidth; ++x)
    {
        int nFirst = 0;
        int nSecond = 0;
        Taps(x, 2, nDstWidth, nSrcWidth, &nFirst, &nSecond);
        anChroma[size_t(x) * 4] = YuyvUOffset(nFirst);
        anChroma[size_t(x) * 4 + 1] = YuyvUOffset(nSecond);
        anChroma[size_t(x) * 4 + 2] = YuyvVOffset(nSrcWidth, nFirst);
        anChroma[size_t(x) * 4 + 3] = YuyvVOffset(nSrcWidth, nSecond);
    }

    for (int y = 0; y < nDstHeight; ++y)
    {
        int nFirst = 0;
        int nSecond = 0;
        Taps(y, 1, nDstHeight, nSrcHeight, &nFirst, &nSecond);
        const uint8_t* pRowA = pSrc + size_t(nFirst) * size_t(nSrcStride);
        const uint8_t* pRowB = pSrc + size_t(nSecond) * size_t(nSrcStride);
        uint8_t* pOut = apDst[0] + size_t(y) * size_t(anDstStride[0]);
        const int* pTap = anLuma.data();
        for (int x = 0; x < nDstWidth; ++x, pTap += 2)
            pOut[x] = Average4(pRowA[pTap[0]], pRowA[pTap[1]], pRowB[pTap[0]], pRowB[pTap[1]]);
    }
    for (int y = 0; y < nChromaHeight; ++y)
    {
        int nFirst = 0;
        int nSecond = 0;
        Taps(y, 2, nDstHeight, nSrcHeight, &nFirst, &nSecond);
        const uint8_t* pRowA = pSrc + size_t(nFirst) * size_t(nSrcStride);
        const uint8_t* pRowB = pSrc + size_t(nSecond) * size_t(nSrcStride);
        uint8_t* pU = apDst[1] + size_t(y) * size_t(anDstStride[1]);
        uint8_t* pV = apDst[2] + size_t(y) * size_t(anDstStride[2]);
        const int* pTap = anChroma.data();
        for (int x = 0; x < nChromaWidth; ++x, pTap += 4)
        {
            pU[x] = Average4(pRowA[pTap[0]], pRowA[pTap[1]], pRowB[pTap[0]], pRowB[pTap[1]]);
            pV[x] = Average4(YuyvByte(pRowA, pTap[2]), YuyvByte(pRowA, pTap[3]), YuyvByte(pRowB, pTap[2]),
                             YuyvByte(pRowB, pTap[3]));
        }
    }
    return true;
}
}
