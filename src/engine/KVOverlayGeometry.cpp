#include "engine/KVOverlayGeometry.h"

#include <algorithm>

namespace
{
// Distance of overlays from the output's edges.
const int EDGE_MARGIN = 10;
const int NATURAL_LOGO_SIZE = 50;
}

int EvenUp(int nValue)
{
    // % keeps the sign in C++, so -5 % 2 is -1 and -5 becomes -4.
    return nValue % 2 != 0 ? nValue + 1 : nValue;
}

void LogoDrawSize(int nSize, int nNaturalWidth, int nNaturalHeight, int& nWidth, int& nHeight)
{
    nSize = std::max(0, std::min(nSize, 100));
    if (nSize == NATURAL_LOGO_SIZE)
    {
        nWidth = nNaturalWidth;
        nHeight = nNaturalHeight;
        return;
    }
    // 64-bit so that a huge image cannot overflow the product.
    nWidth = EvenUp(static_cast<int>(static_cast<long long>(nSize + 50) * nNaturalWidth / 100));
    nHeight = EvenUp(static_cast<int>(static_cast<long long>(nSize + 50) * nNaturalHeight / 100));
}

void LogoPosition(int nCorner, int nOutputWidth, int nOutputHeight, int nWidth, int nHeight, int& nX, int& nY)
{
    const int nRight = nOutputWidth - nWidth - EDGE_MARGIN;
    const int nBottom = nOutputHeight - nHeight - EDGE_MARGIN;
    switch (nCorner)
    {
    case 1:
        nX = nRight;
        nY = EDGE_MARGIN;
        break;
    case 2:
        nX = EDGE_MARGIN;
        nY = nBottom;
        break;
    case 3:
        nX = nRight;
        nY = nBottom;
        break;
    default:
        nX = EDGE_MARGIN;
        nY = EDGE_MARGIN;
        break;
    }
}

void CaptionPosition(int nPosition, int nOutputWidth, int nOutputHeight, int nWidth, int nHeight, int& nX, int& nY)
{
    if (nPosition < 0 || nPosition > 5)
    {
        nX = EDGE_MARGIN;
        nY = EDGE_MARGIN;
        return;
    }
    switch (nPosition % 3)
    {
    case 0:
        nX = EDGE_MARGIN;
        break;
    case 1:
        nX = EvenUp((nOutputWidth - nWidth) / 2);
        break;
    default:
        nX = EvenUp(nOutputWidth - nWidth - EDGE_MARGIN);
        break;
    }
    nY = nPosition < 3 ? EDGE_MARGIN : EvenUp(nOutputHeight - EDGE_MARGIN - nHeight);
}

void FadeOpacities(int nProgress, int& nOutgoing, int& nIncoming)
{
    const double f = static_cast<double>(FADE_END - nProgress) / FADE_END;
    nOutgoing = static_cast<int>(f * 255);
    nIncoming = static_cast<int>((1 - f) * 255);
}
