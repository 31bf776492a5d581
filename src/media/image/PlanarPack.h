// Planar 4:2:2 or 4:2:0 pictures packed into YUYV of the same size, with the
// full range of JPEG pictures narrowed to the video range on the way. This
// is what every camera picture decoded at exactly its channel's size needs,
// and libswscale takes its slow general path for it as soon as the ranges
// differ (about eight times slower on 1080p than this loop).
#pragma once

#include <cstdint>

namespace KVMedia
{
// eFormat: AV_PIX_FMT_YUV422P or AV_PIX_FMT_YUV420P. False, and nothing
// written, for any other format or an odd width (which libswscale handles).
bool PackPlanarToYuyv(const uint8_t* const apSrc[4], const int anSrcStride[4], int eFormat, int nWidth, int nHeight,
                      bool bFullRange, uint8_t* pDst, int nDstStride);
}
