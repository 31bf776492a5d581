#include "media/mixer/COverlay.h"

#include "media/mixer/YuyvBlend.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
// Limited-range BT.601, the matrix the capture path converts with, applied
// to premultiplied RGB: the result is the premultiplied Y, U and V, so that
// pixels with partial alpha need no division.
struct PremulYuv
{
    float fY, fU, fV;
    int nAlpha;
};

PremulYuv ToPremulYuv(QRgb px)
{
    const float a = float(qAlpha(px));
    const float r = float(qRed(px)), g = float(qGreen(px)), b = float(qBlue(px));
    PremulYuv yuv;
    yuv.fY = 16.0f * a / 255.0f + 0.256788f * r + 0.504129f * g + 0.097906f * b;
    yuv.fU = 128.0f * a / 255.0f - 0.148223f * r - 0.290993f * g + 0.439216f * b;
    yuv.fV = 128.0f * a / 255.0f + 0.439216f * r - 0.367788f * g - 0.071427f * b;
    yuv.nAlpha = qAlpha(px);
    return yuv;
}

uint8_t ClampByte(float f)
{
    const long n = std::lround(f);
    return uint8_t(n < 0 ? 0 : n > 255 ? 255 : n);
}
}

std::shared_ptr<const COverlay> COverlay::FromImage(const QImage& image)
{
    const QImage premul = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::shared_ptr<COverlay> pOverlay(new COverlay());
    pOverlay->m_nWidth = premul.width();
    pOverlay->m_nHeight = premul.height();
    pOverlay->BuildVariant(premul, 0, pOverlay->m_variants[0]);
    pOverlay->BuildVariant(premul, 1, pOverlay->m_variants[1]);
    return pOverlay;
}

void COverlay::BuildVariant(const QImage& image, int nShift, Variant& variant)
{
    const int nWidth = image.width();
    const int nHeight = image.height();
    variant.nPairs = (nWidth + nShift + 1) / 2;
    const size_t nRowBytes = size_t(variant.nPairs) * 4;
    variant.abData.assign(nRowBytes * size_t(nHeight), 0);
    variant.abInvAlpha.assign(nRowBytes * size_t(nHeight), 255);
    variant.anRowRuns.assign(size_t(nHeight) + 1, 0);

    const PremulYuv transparent = {0.0f, 0.0f, 0.0f, 0};
    for (int y = 0; y < nHeight; ++y)
    {
        const QRgb* pLine = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint8_t* pData = variant.abData.data() + nRowBytes * size_t(y);
        uint8_t* pInv = variant.abInvAlpha.data() + nRowBytes * size_t(y);
        variant.anRowRuns[size_t(y)] = int32_t(variant.runs.size());
        for (int p = 0; p < variant.nPairs; ++p)
        {
            const int x0 = 2 * p - nShift;
            const int x1 = x0 + 1;
            const PremulYuv c0 = (x0 >= 0 && x0 < nWidth) ? ToPremulYuv(pLine[x0]) : transparent;
            const PremulYuv c1 = (x1 >= 0 && x1 < nWidth) ? ToPremulYuv(pLine[x1]) : transparent;
            // The shared chroma covers the pair with the average alpha, so
            // its premultiplied value is the average of the two.
            const int nAlphaC = (c0.nAlpha + c1.nAlpha + 1) >> 1;
            uint8_t* d = pData + 4 * p;
            uint8_t* ia = pInv + 4 * p;
            d[0] = ClampByte(c0.fY);
            d[1] = ClampByte((c0.fU + c1.fU) * 0.5f);
            d[2] = ClampByte(c1.fY);
            d[3] = ClampByte((c0.fV + c1.fV) * 0.5f);
            ia[0] = uint8_t(255 - c0.nAlpha);
            ia[1] = uint8_t(255 - nAlphaC);
            ia[2] = uint8_t(255 - c1.nAlpha);
            ia[3] = uint8_t(255 - nAlphaC);

            int nKind = -1; // transparent
            if (c0.nAlpha == 255 && c1.nAlpha == 255)
                nKind = RUN_COPY;
            else if (c0.nAlpha != 0 || c1.nAlpha != 0)
                nKind = RUN_BLEND;
            if (nKind < 0)
                continue;
            const bool bExtend = int32_t(variant.runs.size()) > variant.anRowRuns[size_t(y)] &&
                                 variant.runs.back().eKind == nKind &&
                                 variant.runs.back().nStartPair + variant.runs.back().nPairs == p;
            if (bExtend)
                ++variant.runs.back().nPairs;
            else
                variant.runs.push_back(Run{p, 1, ERunKind(nKind)});
        }
    }
    variant.anRowRuns[size_t(nHeight)] = int32_t(variant.runs.size());
}

void COverlay::Draw(uint8_t* pFrame, int nStride, int nFrameWidth, int nFrameHeight, int nX, int nY) const
{
    if (m_nWidth <= 0 || m_nHeight <= 0 || nFrameWidth <= 0 || nFrameHeight <= 0)
        return;
    // 64-bit so that positions near the int limits cannot overflow.
    const int nShift = int(nX & 1);
    const Variant& variant = m_variants[nShift];
    const int64_t nFirstPair = (int64_t(nX) - nShift) / 2; // output pair of overlay pair 0
    const int64_t nFramePairs = nFrameWidth / 2;
    const int64_t nPairFrom = std::max<int64_t>(0, -nFirstPair);
    const int64_t nPairTo = std::min<int64_t>(variant.nPairs, nFramePairs - nFirstPair);
    const int64_t nRowFrom = std::max<int64_t>(0, -int64_t(nY));
    const int64_t nRowTo = std::min<int64_t>(m_nHeight, int64_t(nFrameHeight) - nY);
    // An odd-width frame ends in half a pair, which only the first pixel of
    // the overlay pair falling there reaches.
    const int64_t nHalfPair = (nFrameWidth & 1) ? nFramePairs - nFirstPair : -1;
    const bool bHalfPair = nHalfPair >= 0 && nHalfPair < variant.nPairs;
    if ((nPairFrom >= nPairTo && !bHalfPair) || nRowFrom >= nRowTo)
        return;

    const size_t nRowBytes = size_t(variant.nPairs) * 4;
    for (int64_t r = nRowFrom; r < nRowTo; ++r)
    {
        uint8_t* pDstRow = pFrame + size_t(nY + r) * size_t(nStride);
        const uint8_t* pData = variant.abData.data() + nRowBytes * size_t(r);
        const uint8_t* pInv = variant.abInvAlpha.data() + nRowBytes * size_t(r);
        for (int32_t i = variant.anRowRuns[size_t(r)]; i < variant.anRowRuns[size_t(r) + 1]; ++i)
        {
            const Run& run = variant.runs[size_t(i)];
            const int64_t p0 = std::max<int64_t>(run.nStartPair, nPairFrom);
            const int64_t p1 = std::min<int64_t>(int64_t(run.nStartPair) + run.nPairs, nPairTo);
            if (p0 >= p1)
                continue;
            const size_t nOff = size_t(p0) * 4;
            uint8_t* pDst = pDstRow + size_t(nFirstPair + p0) * 4;
            const int nBytes = int(p1 - p0) * 4;
            if (run.eKind == RUN_COPY)
                std::memcpy(pDst, pData + nOff, size_t(nBytes));
            else
                YuyvBlend::BlendPremultiplied(pDst, pData + nOff, pInv + nOff, nBytes);
        }
        if (bHalfPair && PairInRuns(variant, int32_t(r), int32_t(nHalfPair)))
        {
            const size_t nOff = size_t(nHalfPair) * 4;
            YuyvBlend::BlendPremultiplied(pDstRow + size_t(nFrameWidth - 1) * 2, pData + nOff, pInv + nOff, 2);
        }
    }
}

bool COverlay::PairInRuns(const Variant& variant, int32_t nRow, int32_t nPair)
{
    for (int32_t i = variant.anRowRuns[size_t(nRow)]; i < variant.anRowRuns[size_t(nRow) + 1]; ++i)
    {
        const Run& run = variant.runs[size_t(i)];
        if (nPair >= run.nStartPair && nPair < run.nStartPair + run.nPairs)
            return true;
    }
    return false;
}
