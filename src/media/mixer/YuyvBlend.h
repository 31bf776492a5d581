// Row primitives of the compositor on packed YUYV (Y0 U Y1 V per pixel pair).
// All arithmetic is integer; alpha 255 is opaque.
#pragma once

#include <cstddef>
#include <cstdint>

namespace YuyvBlend
{
// Black in limited-range YUV: Y 16, U and V 128.
void FillBlack(uint8_t* pDst, int nPairs);
// The same for a run of pixels that may end in half a pair (every pixel of
// black is Y 16 followed by a chroma 128, whichever byte that chroma is).
void FillBlackPixels(uint8_t* pDst, size_t nPixels);

// pDst = pSrc * nAlpha + pDst * (255 - nAlpha), byte by byte (Y, U and V share
// one alpha, so the bytes need no decoding).
void BlendConst(uint8_t* pDst, const uint8_t* pSrc, int nBytes, int nAlpha);

// pDst = pSrc + pDst * pInvAlpha / 255 with a premultiplied source: the way a
// prepared overlay is laid over the picture (pInvAlpha is 255 - alpha per byte).
void BlendPremultiplied(uint8_t* pDst, const uint8_t* pSrc, const uint8_t* pInvAlpha, int nBytes);

// One pixel pair where the two pixels have their own coverage: each Y with its
// own alpha, the shared chroma with the pair's average alpha.
void BlendPair(uint8_t* pPair, int nY0, int nY1, int nU, int nV, int nAlpha0, int nAlpha1);

// The unpaired last pixel of an odd-width row: its Y and the U it stores,
// both with its own alpha.
void BlendLastPixel(uint8_t* pPixel, int nY, int nU, int nAlpha);

// Rounded x / 255 for 0 <= x <= 255 * 255.
inline int Div255(int x)
{
    x += 128;
    return (x + (x >> 8)) >> 8;
}
}
