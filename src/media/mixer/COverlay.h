// A picture prepared once for blending over YUYV frames every tick: converted
// to premultiplied YUYV with a per-byte inverse alpha, for both pixel parities
// (a pair of YUYV pixels shares its chroma, so an overlay at an odd x needs its
// pixels regrouped into pairs differently), with each row split into runs that
// are skipped, copied or blended.
#pragma once

#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

class COverlay
{
public:
    // Any QImage format; alpha is honoured. A null image gives an overlay
    // that draws nothing.
    static std::shared_ptr<const COverlay> FromImage(const QImage& image);

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }

    // Blends the overlay with its top-left pixel at (nX, nY) into a frame of
    // nFrameWidth (any, YuyvLayout.h) x nFrameHeight; whatever falls outside
    // is dropped.
    void Draw(uint8_t* pFrame, int nStride, int nFrameWidth, int nFrameHeight, int nX, int nY) const;

private:
    enum ERunKind : uint8_t
    {
        RUN_COPY,
        RUN_BLEND
    };

    struct Run
    {
        int32_t nStartPair;
        int32_t nPairs;
        ERunKind eKind;
    };

    // The overlay regrouped into pairs starting at pixel -nShift (0 or 1).
    struct Variant
    {
        int nPairs = 0;                  // pairs per row
        std::vector<uint8_t> abData;     // premultiplied Y U Y V, nPairs * 4 per row
        std::vector<uint8_t> abInvAlpha; // 255 - alpha for each byte of abData
        std::vector<Run> runs;           // transparent pairs appear in no run
        std::vector<int32_t> anRowRuns;  // runs of row r: [anRowRuns[r], anRowRuns[r + 1])
    };

    COverlay() = default;
    // Whether pair nPair of row nRow is drawn at all (transparent pairs are
    // in no run).
    static bool PairInRuns(const Variant& variant, int32_t nRow, int32_t nPair);
    void BuildVariant(const QImage& image, int nShift, Variant& variant);

    int m_nWidth = 0;
    int m_nHeight = 0;
    Variant m_variants[2];
};
