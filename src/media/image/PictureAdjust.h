// Brightness, contrast, hue and saturation applied to packed YUYV through
// lookup tables, so applying them costs one table read per byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KVMedia
{
class CPictureAdjust
{
public:
    CPictureAdjust();

    // Each 0..255 with 128 meaning "unchanged".
    void Set(int nBrightness, int nContrast, int nHue, int nSaturation);
    bool IsIdentity() const { return m_bIdentity; }

    uint8_t AdjustY(uint8_t nY) const { return m_abLutY[nY]; }
    // nPairs YUYV pixel pairs (4 bytes each) from pSrc to pDst; they may be
    // the same buffer.
    void Apply(const uint8_t* pSrc, uint8_t* pDst, size_t nPairs) const;
    // A whole tightly packed picture of any width; rows of an odd width do
    // not start on a pair boundary of the buffer, so they are taken one by one.
    void ApplyPicture(const uint8_t* pSrc, uint8_t* pDst, int nWidth, int nHeight) const;

private:
    uint8_t m_abLutY[256];
    std::vector<uint16_t> m_vecLutUV; // (U << 8 | V) -> (U' << 8 | V')
    bool m_bIdentity = true;
};
}
