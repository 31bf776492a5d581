// The animated test picture of a virtual device. The expensive part (pattern,
// name, conversion to YUYV) is done once per format; each frame is a copy of
// that background plus a moving bar and a frame counter drawn straight into
// the YUYV bytes, so a 1080p frame costs little more than a memcpy.
#pragma once

#include "media/image/PictureAdjust.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace KVMedia
{
class CVirtualPicture
{
public:
    // Renders both backgrounds (with signal, and the "No Signal" card) at
    // nWidth x nHeight. nPattern picks pattern and colour. Uses QPainter for
    // the text, so call it where Qt painting is allowed (not per frame).
    bool Build(const QString& strName, int nPattern, int nWidth, int nHeight);

    // Frame nFrameIndex of a stream whose frames last nDuration (100 ns).
    // adjust is re-applied to the background only when nAdjustVersion
    // differs from the one used last time.
    void Render(uint64_t nFrameIndex, int nDuration, bool bSignal, const CPictureAdjust& adjust,
                uint32_t nAdjustVersion, uint8_t* pDst, int nStride);

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }

private:
    struct SBackground
    {
        std::vector<uint8_t> vecRaw;      // as built, controls at default
        std::vector<uint8_t> vecAdjusted; // with the current controls
        uint32_t nVersion = 0;
        bool bAdjustedValid = false;
    };

    const std::vector<uint8_t>& Adjusted(SBackground& background, const CPictureAdjust& adjust, uint32_t nVersion);
    void DrawBar(uint64_t nFrameIndex, int nDuration, uint8_t nY, uint8_t* pDst, int nStride) const;
    void DrawCounter(uint64_t nFrameIndex, int nDuration, uint8_t nInk, uint8_t nPaper, uint8_t* pDst,
                     int nStride) const;

    int m_nWidth = 0;
    int m_nHeight = 0;
    SBackground m_signal;
    SBackground m_noSignal;
};
}
