// The sizes a JPEG decoder gives at 1/2, 1/4 and 1/8 of a picture: rounded
// up, as both libavcodec and libjpeg round them.
#pragma once

namespace KVMedia
{
inline int ReducedSize(int nSize, int nReduction)
{
    return -((-nSize) >> nReduction);
}

// The largest reduction n (1/2^n, at most nMaxReduction) whose picture still
// covers nDstWidth x nDstHeight; 0 when a size is unknown.
inline int ChooseReduction(int nSrcWidth, int nSrcHeight, int nDstWidth, int nDstHeight, int nMaxReduction)
{
    if (nSrcWidth <= 0 || nSrcHeight <= 0 || nDstWidth <= 0 || nDstHeight <= 0)
        return 0;
    int n = 0;
    while (n < nMaxReduction && ReducedSize(nSrcWidth, n + 1) >= nDstWidth &&
           ReducedSize(nSrcHeight, n + 1) >= nDstHeight)
        ++n;
    return n;
}
}
