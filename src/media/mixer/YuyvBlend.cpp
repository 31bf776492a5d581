#include "media/mixer/YuyvBlend.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace YuyvBlend
{
void FillBlack(uint8_t* pDst, int nPairs)
{
    static const uint8_t abPair[4] = {16, 128, 16, 128};
    uint32_t nPattern;
    std::memcpy(&nPattern, abPair, 4);
    for (int i = 0; i < nPairs; ++i)
        std::memcpy(pDst + 4 * i, &nPattern, 4);
}

void FillBlackPixels(uint8_t* pDst, size_t nPixels)
{
    FillBlack(pDst, int(nPixels / 2));
    if (nPixels & 1)
    {
        pDst[2 * (nPixels - 1)] = 16;
        pDst[2 * (nPixels - 1) + 1] = 128;
    }
}

#if defined(__SSE2__)
// (t + 128) / 255 rounded, on eight 16-bit lanes holding at most 255 * 255.
static inline __m128i Div255Epu16(__m128i t)
{
    t = _mm_add_epi16(t, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}
#endif

void BlendConst(uint8_t* pDst, const uint8_t* pSrc, int nBytes, int nAlpha)
{
    const int nInv = 255 - nAlpha;
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_set1_epi16(short(nAlpha));
    const __m128i ia = _mm_set1_epi16(short(nInv));
    for (; i + 16 <= nBytes; i += 16)
    {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pDst + i));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), a),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), ia));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), a),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), ia));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + i), _mm_packus_epi16(Div255Epu16(lo), Div255Epu16(hi)));
    }
#endif
    for (; i < nBytes; ++i)
        pDst[i] = uint8_t(Div255(pSrc[i] * nAlpha + pDst[i] * nInv));
}

void BlendPremultiplied(uint8_t* pDst, const uint8_t* pSrc, const uint8_t* pInvAlpha, int nBytes)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= nBytes; i += 16)
    {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pSrc + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pDst + i));
        const __m128i ia = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pInvAlpha + i));
        __m128i lo = _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(ia, zero));
        __m128i hi = _mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(ia, zero));
        const __m128i kept = _mm_packus_epi16(Div255Epu16(lo), Div255Epu16(hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pDst + i), _mm_adds_epu8(s, kept));
    }
#endif
    for (; i < nBytes; ++i)
    {
        const int n = pSrc[i] + Div255(pDst[i] * pInvAlpha[i]);
        pDst[i] = uint8_t(n > 255 ? 255 : n);
    }
}

void BlendPair(uint8_t* pPair, int nY0, int nY1, int nU, int nV, int nAlpha0, int nAlpha1)
{
    const int nAlphaC = (nAlpha0 + nAlpha1 + 1) >> 1;
    if (nAlpha0 > 0)
        pPair[0] = uint8_t(Div255(nY0 * nAlpha0 + pPair[0] * (255 - nAlpha0)));
    if (nAlpha1 > 0)
        pPair[2] = uint8_t(Div255(nY1 * nAlpha1 + pPair[2] * (255 - nAlpha1)));
    if (nAlphaC > 0)
    {
        pPair[1] = uint8_t(Div255(nU * nAlphaC + pPair[1] * (255 - nAlphaC)));
        pPair[3] = uint8_t(Div255(nV * nAlphaC + pPair[3] * (255 - nAlphaC)));
    }
}

void BlendLastPixel(uint8_t* pPixel, int nY, int nU, int nAlpha)
{
    if (nAlpha <= 0)
        return;
    pPixel[0] = uint8_t(Div255(nY * nAlpha + pPixel[0] * (255 - nAlpha)));
    pPixel[1] = uint8_t(Div255(nU * nAlpha + pPixel[1] * (255 - nAlpha)));
}
}
