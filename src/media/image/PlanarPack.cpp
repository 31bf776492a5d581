#include "media/image/PlanarPack.h"

extern "C"
{
#include <libavutil/pixfmt.h>
}

#include <array>
#include <cstddef>

namespace KVMedia
{
namespace
{
struct SRangeTables
{
    std::array<uint8_t, 256> abLuma{};
    std::array<uint8_t, 256> abChroma{};

    explicit SRangeTables(bool bFullRange)
    {
        for (int i = 0; i < 256; ++i)
        {
            // 0..255 to 16..235 and 16..240, rounded to nearest.
            abLuma[size_t(i)] = uint8_t(bFullRange ? 16 + (i * 219 + 127) / 255 : i);
            const int nChroma = bFullRange ? 128 + ((i - 128) * 224 + (i >= 128 ? 127 : -127)) / 255 : i;
            abChroma[size_t(i)] = uint8_t(nChroma);
        }
    }
};

const SRangeTables& Tables(bool bFullRange)
{
    static const SRangeTables full(true);
    static const SRangeTables video(false);
    return bFullRange ? full : video;
}

void PackRow(const uint8_t* pY, const uint8_t* pU, const uint8_t* pV, int nPairs, const SRangeTables& tables,
             uint8_t* pDst)
{
    const uint8_t* pLuma = tables.abLuma.data();
    const uint8_t* pChroma = tables.abChroma.data();
    for (int x = 0; x < nPairs; ++x)
    {
        pDst[4 * x] = pLuma[pY[2 * x]];
        pDst[4 * x + 1] = pChroma[pU[x]];
        pDst[4 * x + 2] = pLuma[pY[2 * x + 1]];
        pDst[4 * x + 3] = pChroma[pV[x]];
    }
}
}

bool PackPlanarToYuyv(const uint8_t* const apSrc[4], const int anSrcStride[4], int eFormat, int nWidth, int nHeight,
                      bool bFullRange, uint8_t* pDst, int nDstStride)
{
    if ((eFormat != AV_PIX_FMT_YUV422P && eFormat != AV_PIX_FMT_YUV420P) || (nWidth & 1) || nWidth <= 0 ||
        nHeight <= 0 || !apSrc[0] || !apSrc[1] || !apSrc[2])
        return false;
    const int nChromaShift = eFormat == AV_PIX_FMT_YUV420P ? 1 : 0;
    const SRangeTables& tables = Tables(bFullRange);
    for (int y = 0; y < nHeight; ++y)
    {
        const int yc = y >> nChromaShift;
        PackRow(apSrc[0] + ptrdiff_t(y) * anSrcStride[0], apSrc[1] + ptrdiff_t(yc) * anSrcStride[1],
                apSrc[2] + ptrdiff_t(yc) * anSrcStride[2], nWidth / 2, tables, pDst + ptrdiff_t(y) * nDstStride);
    }
    return true;
}
}
