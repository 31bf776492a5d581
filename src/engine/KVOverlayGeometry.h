// The arithmetic of composition: where logo and captions go, how large a
// logo is drawn and how opaque the two channels of a cross-fade are. Kept
// free of the mixer so that it can be checked on its own.
#pragma once

// Positions and sizes handed to the mixer are rounded up to even numbers so
// that overlays start on a YUYV pixel pair: v + 1 for odd v (negative too).
int EvenUp(int nValue);

// Logo size for the size setting nSize (0..100, 50 = natural size, 0 = half,
// 100 = one and a half): each dimension (nSize + 50) x natural / 100, evened
// up. At 50 the natural size is kept as it is. nSize is clamped to 0..100.
void LogoDrawSize(int nSize, int nNaturalWidth, int nNaturalHeight, int& nWidth, int& nHeight);

// Top-left corner of a logo of nWidth x nHeight in corner nCorner (0 top
// left, 1 top right, 2 bottom left, 3 bottom right), 10 pixels from the
// edges of an nOutputWidth x nOutputHeight output. Not evened up. Any other
// corner code places the logo at (10, 10).
void LogoPosition(int nCorner, int nOutputWidth, int nOutputHeight, int nWidth, int nHeight, int& nX, int& nY);

// Top-left corner of a caption of nWidth x nHeight at position code
// nPosition: 0..2 along the top (left, centre, right), 3..5 along the bottom,
// 10 pixels from the edges; centred and right/bottom values evened up. Any
// other code places the caption at (10, 10).
void CaptionPosition(int nPosition, int nOutputWidth, int nOutputHeight, int nWidth, int nHeight, int& nX, int& nY);

// A cross-fade runs from progress 0 to FADE_END (100-ns units).
enum
{
    FADE_END = 10000000
};

// Opacities of the outgoing and incoming channel at nProgress (0 <= nProgress
// < FADE_END): f = (FADE_END - nProgress) / FADE_END, outgoing f x 255 and
// incoming (1 - f) x 255, both truncated.
void FadeOpacities(int nProgress, int& nOutgoing, int& nIncoming);
