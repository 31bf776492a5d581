// Whole-factor reduction of packed YUYV, done before a picture is converted
// for a small window: libswscale then filters a picture at most twice the
// size it shows instead of the full frame, which cost most of the time the
// previews took.
#pragma once

#include "media/image/YuyvTapGroups.h"

#include <cstdint>
#include <vector>

namespace KVMedia
{
// The largest whole factor that leaves at least nTarget of nSource; 1 when
// the target is as large as the source or larger.
int DecimationFactor(int nSource, int nTarget);

// Bytes a row of a reduced picture nWidth pixels wide takes: whole pairs,
// also at an odd width, so that libswscale may read its last pair.
inline int PairedRowBytes(int nWidth)
{
    return 4 * ((nWidth + 1) / 2);
}

// Writes (nSrcWidth / nFactorX) x (nSrcHeight / nFactorY) pixels to pDst,
// rows nDstStride >= PairedRowBytes apart. Each pixel averages two lines and
// two columns spread over its block, which keeps fine patterns from turning
// into moiré at a fraction of the cost of reading the whole block. Reads only
// the nSrcWidth pixels of each source row (see YuyvLayout.h for odd widths).
void DecimateYuyv(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, int nFactorX, int nFactorY,
                  uint8_t* pDst, int nDstStride);

// The same, eight pixels at a time where the processor can and the factor
// across is small enough for CYuyvTapGroups (up to six), with
// the taps of the last row width kept between frames: a camera's preview
// reduced by three across cost more than all the rest of its conversion.
class CYuyvDecimator
{
public:
    void Decimate(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, int nFactorX, int nFactorY,
                  uint8_t* pDst, int nDstStride);

private:
    // Groups for rows of nSrcWidth reduced by nFactorX; false when they
    // cannot be had.
    bool Plan(int nSrcWidth, int nFactorX);

    int m_nPlanWidth = 0;
    int m_nPlanFactor = 0;
    bool m_bGrouped = false;
    CYuyvTapGroups m_luma;
    CYuyvTapGroups m_chroma;
    // One reduced row as planes: lumas, then U and V per pair.
    std::vector<uint8_t> m_abRow;
};
}
