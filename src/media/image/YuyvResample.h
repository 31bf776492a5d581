// Packed YUYV resampled to planar 4:2:0 of exactly the size a window shows,
// from a source less than four times that size on either side (larger ones
// go through the whole-factor reduction of YuyvDecimate.h first). Each pixel
// averages two lines and two columns spread over the part of the source it
// covers, a box filter where the source is at most twice the size. libswscale then only
// converts the colours at the same size: its same-size 4:2:0 converter is
// vectorised, whereas its scaling path took thirty times as long for the
// output preview's picture.
#pragma once

#include "media/image/YuyvTapGroups.h"

#include <cstdint>
#include <vector>

namespace KVMedia
{
// Keeps the taps of the last size it resampled: worked out with a division
// each, they cost a small preview more than its pixels.
class CYuyvResampler
{
public:
    // nDstWidth <= nSrcWidth and nDstHeight <= nSrcHeight. The chroma planes
    // are (nDstWidth + 1) / 2 x (nDstHeight + 1) / 2. Reads only the nSrcWidth
    // pixels of each of the nSrcHeight rows (see YuyvLayout.h for odd widths).
    bool Resample(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, uint8_t* const apDst[3],
                  const int anDstStride[3], int nDstWidth, int nDstHeight);

private:
    void Plan(int nSrcWidth, int nSrcHeight, int nDstWidth, int nDstHeight);

    int m_anSize[4] = {};
    // Byte offsets in a row: two lumas per output pixel; U, U, V, V per
    // chroma sample.
    std::vector<int> m_anLuma;
    std::vector<int> m_anChroma;
    // Source lines, two per output line.
    std::vector<int> m_anLines;
    CYuyvTapGroups m_lumaGroups;
    CYuyvTapGroups m_chromaGroups;
};

// The same for one picture.
bool ResampleYuyvTo420p(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, uint8_t* const apDst[3],
                        const int anDstStride[3], int nDstWidth, int nDstHeight);
}
