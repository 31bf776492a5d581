// Packed YUYV pictures of any width, as every capture, mixer and renderer of
// this layer stores them.
//
// A row is 2 x width bytes. Pixels 2k and 2k + 1 form a pair that shares one
// chroma sample, stored Y0 U Y1 V. When the width is odd the last pixel has no
// partner: its two bytes are its own Y and its U, and its V is that of the
// pair on its left (neutral 128 in a row one pixel wide). Chroma is already
// shared between neighbours, so the borrowed V is as close to the truth as a
// pair's own; what matters is that writers never touch a byte past 2 x width
// and readers never read one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace KVMedia
{
// Anything larger is taken for a corrupt request: it would cost gigabytes.
constexpr int MAX_FRAME_SIDE = 8192;

// Bytes kept free behind every frame buffer that libswscale reads: its SIMD
// readers fetch whole vectors, past the end of the last row when a row is
// not a multiple of their width (1368 x 768 reads beyond it), and a frame of
// a few megabytes ends at the end of its memory mapping.
constexpr size_t FRAME_READ_PADDING = 64;

inline bool IsFrameSizeAllowed(int nWidth, int nHeight)
{
    return nWidth > 0 && nHeight > 0 && nWidth <= MAX_FRAME_SIDE && nHeight <= MAX_FRAME_SIDE;
}

inline int YuyvU(const uint8_t* pRow, int x)
{
    return pRow[4 * (x >> 1) + 1];
}

inline int YuyvV(const uint8_t* pRow, int nWidth, int x)
{
    const int nPair = x >> 1;
    if (2 * nPair + 1 < nWidth)
        return pRow[4 * nPair + 3];
    return nPair > 0 ? pRow[4 * nPair - 1] : 128;
}

// Where YuyvU and YuyvV find pixel x's chroma in its row, for code that
// works the offsets out once for many rows; -1 for the V of a row one
// pixel wide, which YuyvByte reads as neutral.
inline int YuyvUOffset(int x)
{
    return 4 * (x >> 1) + 1;
}

inline int YuyvVOffset(int nWidth, int x)
{
    const int nPair = x >> 1;
    if (2 * nPair + 1 < nWidth)
        return 4 * nPair + 3;
    return nPair > 0 ? 4 * nPair - 1 : -1;
}

inline int YuyvByte(const uint8_t* pRow, int nOffset)
{
    return nOffset >= 0 ? pRow[nOffset] : 128;
}

// Copies a row of nWidth pixels to pDst and, for an odd width, completes its
// last pixel into a whole pair (a copy of it, with the V it borrows), so that
// code working in whole pairs can read 2 x nWidth + 2 bytes.
void PadYuyvRow(const uint8_t* pSrc, int nWidth, uint8_t* pDst);
}
