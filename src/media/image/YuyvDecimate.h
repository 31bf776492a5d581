// Whole-factor reduction of packed YUYV, done before a picture is converted
// for a small window: libswscale then filters a picture at most twice the
// size it shows instead of the full frame, which cost most of the time the
// previews took.
#pragma once

#include <cstdint>

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
}
