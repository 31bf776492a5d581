#include "media/image/PictureAdjust.h"

#include "media/image/YuyvLayout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace KVMedia
{
namespace
{
uint8_t Clamp8(double dValue)
{
    return uint8_t(std::clamp(std::lround(dValue), 0L, 255L));
}
}

CPictureAdjust::CPictureAdjust()
{
    Set(128, 128, 128, 128);
}

void CPictureAdjust::Set(int nBrightness, int nContrast, int nHue, int nSaturation)
{
    m_bIdentity = nBrightness == 128 && nContrast == 128 && nHue == 128 && nSaturation == 128;

    // Contrast scales around mid grey, brightness shifts; both on luma only.
    const double dGain = nContrast / 128.0;
    const double dOffset = nBrightness - 128;
    for (int y = 0; y < 256; ++y)
        m_abLutY[y] = Clamp8((y - 128) * dGain + 128 + dOffset);

    if (m_bIdentity)
    {
        m_vecLutUV.clear();
        return;
    }
    // Hue turns the chroma vector (a full turn over the range), saturation
    // scales its length.
    const double dAngle = (nHue - 128) / 128.0 * 3.14159265358979323846;
    const double dScale = nSaturation / 128.0;
    const double dCos = std::cos(dAngle) * dScale;
    const double dSin = std::sin(dAngle) * dScale;
    m_vecLutUV.resize(65536);
    for (int u = 0; u < 256; ++u)
    {
        for (int v = 0; v < 256; ++v)
        {
            const double du = u - 128;
            const double dv = v - 128;
            const uint8_t nU = Clamp8(128 + du * dCos - dv * dSin);
            const uint8_t nV = Clamp8(128 + du * dSin + dv * dCos);
            m_vecLutUV[size_t(u << 8 | v)] = uint16_t(nU << 8 | nV);
        }
    }
}

void CPictureAdjust::Apply(const uint8_t* pSrc, uint8_t* pDst, size_t nPairs) const
{
    if (m_bIdentity)
    {
        if (pSrc != pDst)
            std::memcpy(pDst, pSrc, nPairs * 4);
        return;
    }
    const uint16_t* pLutUV = m_vecLutUV.data();
    for (size_t i = 0; i < nPairs; ++i, pSrc += 4, pDst += 4)
    {
        const uint16_t nUV = pLutUV[size_t(pSrc[1]) << 8 | pSrc[3]];
        const uint8_t nY0 = m_abLutY[pSrc[0]];
        const uint8_t nY1 = m_abLutY[pSrc[2]];
        pDst[0] = nY0;
        pDst[1] = uint8_t(nUV >> 8);
        pDst[2] = nY1;
        pDst[3] = uint8_t(nUV & 0xff);
    }
}

void CPictureAdjust::ApplyPicture(const uint8_t* pSrc, uint8_t* pDst, int nWidth, int nHeight) const
{
    if (nWidth <= 0 || nHeight <= 0)
        return;
    if (!(nWidth & 1))
    {
        Apply(pSrc, pDst, size_t(nWidth / 2) * size_t(nHeight));
        return;
    }
    const size_t nLine = size_t(nWidth) * 2;
    for (int y = 0; y < nHeight; ++y, pSrc += nLine, pDst += nLine)
    {
        // The unpaired last pixel turns its chroma with the V it borrows but
        // keeps only its U. Read before the row is written: pSrc may be pDst.
        const size_t nLast = nLine - 2;
        const int nV = YuyvV(pSrc, nWidth, nWidth - 1);
        const uint8_t nY = m_abLutY[pSrc[nLast]];
        const uint8_t nU =
            m_bIdentity ? pSrc[nLast + 1] : uint8_t(m_vecLutUV[size_t(pSrc[nLast + 1]) << 8 | size_t(nV)] >> 8);
        Apply(pSrc, pDst, size_t(nWidth / 2));
        pDst[nLast] = nY;
        pDst[nLast + 1] = nU;
    }
}
}
