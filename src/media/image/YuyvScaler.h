// libswscale for packed YUYV of any width. libswscale reads and writes YUYV
// in whole pairs, that is one pixel past the end of an odd-width row (past
// the end of the buffer on the last one); odd rows are staged through padded
// scratch rows here instead. Not thread-safe: one scaler per thread.
#pragma once

#include "media/core/AvPtr.h"

#include <cstdint>
#include <vector>

namespace KVMedia
{
class CYuyvScaler
{
public:
    // bSmooth: bilinear, for pictures that change size; otherwise nearest
    // neighbour, for conversions at the same size.
    explicit CYuyvScaler(bool bSmooth = true);
    CYuyvScaler(const CYuyvScaler&) = delete;
    CYuyvScaler& operator=(const CYuyvScaler&) = delete;

    // A picture of any format libswscale reads (an AVPixelFormat; planes and
    // strides as libavutil lays them out) to packed YUYV of nDstWidth x
    // nDstHeight. bFullRange: the source uses the full 0..255 range.
    bool ToYuyv(const uint8_t* const apSrc[4], const int anSrcStride[4], int eSrcFormat, int nSrcWidth, int nSrcHeight,
                bool bFullRange, uint8_t* pDst, int nDstStride, int nDstWidth, int nDstHeight);

    // Packed YUYV of any size to a one-plane picture of eDstFormat.
    bool FromYuyv(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, uint8_t* pDst, int nDstStride,
                  int eDstFormat, int nDstWidth, int nDstHeight);
    // Planar 4:2:0 to a one-plane picture of eDstFormat at the same size.
    // For an even height libswscale picks its vectorised converter, which
    // writes whole groups of eight pixels: nDstStride must have room for
    // the width rounded up to eight.
    bool FromYuv420p(const uint8_t* const apSrc[3], const int anSrcStride[3], int nWidth, int nHeight, uint8_t* pDst,
                     int nDstStride, int eDstFormat);

private:
    static bool IsPlanarYuv(int eFormat);
    bool ScalePlanarToYuyv(const uint8_t* const apSrc[4], const int anSrcStride[4], int eSrcFormat, int nSrcWidth,
                           int nSrcHeight, bool bFullRange, uint8_t* pDst, int nDstStride, int nDstWidth,
                           int nDstHeight);
    // Where libswscale may read an odd-width YUYV source safely.
    const uint8_t* PaddedSource(const uint8_t* pSrc, int nSrcStride, int nWidth, int nHeight, int* pnStride);
    // A context for this conversion, made anew only when it changes.
    bool Prepare(int eSrcFormat, int nSrcWidth, int nSrcHeight, bool bFullRange, int eDstFormat, int nDstWidth,
                 int nDstHeight);
    bool Run(const uint8_t* const apSrc[4], const int anSrcStride[4], int eSrcFormat, int nSrcWidth, int nSrcHeight,
             bool bFullRange, uint8_t* pDst, int nDstStride, int eDstFormat, int nDstWidth, int nDstHeight);

    const int m_nFlags;
    SwsContextPtr m_pSws;
    int m_anParams[7] = {};
    std::vector<uint8_t> m_abSource;
    std::vector<uint8_t> m_abTarget;
    std::vector<uint8_t> m_abPlanar;
};
}
