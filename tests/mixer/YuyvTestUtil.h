// Small helpers for pixel checks on packed YUYV frames.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// Chroma of pixel x as the layer defines it for any width: the unpaired
// last pixel of an odd width has its own U and the V of the pair on its left
// (128 without one).
inline int YuyvUAt(const uint8_t* pRow, int x)
{
    return pRow[4 * (x / 2) + 1];
}
inline int YuyvVAt(const uint8_t* pRow, int nWidth, int x)
{
    if (x / 2 * 2 + 1 < nWidth)
        return pRow[4 * (x / 2) + 3];
    return x >= 2 ? pRow[4 * (x / 2) - 1] : 128;
}

struct YuyvFrame
{
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint8_t> abData;

    YuyvFrame() = default;
    YuyvFrame(int w, int h, int y = 16, int u = 128, int v = 128)
        : nWidth(w)
        , nHeight(h)
        , abData(size_t(w) * 2 * h)
    {
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x)
                SetPixel(x, row, y, u, v);
    }

    int Stride() const { return nWidth * 2; }
    uint8_t* Row(int y) { return abData.data() + size_t(y) * Stride(); }
    const uint8_t* Row(int y) const { return abData.data() + size_t(y) * Stride(); }
    int Y(int x, int y) const { return Row(y)[2 * x]; }
    int U(int x, int y) const { return YuyvUAt(Row(y), x); }
    int V(int x, int y) const { return YuyvVAt(Row(y), nWidth, x); }
    // The V of an odd width's unpaired last pixel is the one it borrows and
    // is not written.
    void SetPixel(int x, int y, int nY, int nU, int nV)
    {
        uint8_t* p = Row(y);
        p[2 * x] = uint8_t(nY);
        p[4 * (x / 2) + 1] = uint8_t(nU);
        if (x / 2 * 2 + 1 < nWidth)
            p[4 * (x / 2) + 3] = uint8_t(nV);
    }
};

// A frame buffer with canary bytes on every side and in the stride padding,
// so a write outside the frame shows up.
class GuardedFrame
{
public:
    static constexpr int GUARD_ROWS = 4;
    static constexpr int GUARD_BYTES = 64;
    static constexpr uint8_t CANARY = 0xA5;

    GuardedFrame(int w, int h)
        : m_nWidth(w)
        , m_nHeight(h)
        , m_nStride(w * 2 + 2 * GUARD_BYTES)
        , m_abData(size_t(m_nStride) * (h + 2 * GUARD_ROWS), CANARY)
    {
        for (int y = 0; y < h; ++y)
            std::memset(Row(y), 0x33, size_t(w) * 2); // defined, recognisable content
    }

    uint8_t* Frame() { return Row(0); }
    int Stride() const { return m_nStride; }
    uint8_t* Row(int y) { return m_abData.data() + size_t(y + GUARD_ROWS) * m_nStride + GUARD_BYTES; }
    const uint8_t* Row(int y) const { return m_abData.data() + size_t(y + GUARD_ROWS) * m_nStride + GUARD_BYTES; }
    int Y(int x, int y) const { return Row(y)[2 * x]; }
    int U(int x, int y) const { return YuyvUAt(Row(y), x); }
    int V(int x, int y) const { return YuyvVAt(Row(y), m_nWidth, x); }

    // True when every byte outside the frame still holds the canary.
    bool CanariesIntact() const
    {
        for (size_t i = 0; i < m_abData.size(); ++i)
        {
            const long nRow = long(i / size_t(m_nStride)) - GUARD_ROWS;
            const long nCol = long(i % size_t(m_nStride)) - GUARD_BYTES;
            const bool bInside = nRow >= 0 && nRow < m_nHeight && nCol >= 0 && nCol < m_nWidth * 2;
            if (!bInside && m_abData[i] != CANARY)
                return false;
        }
        return true;
    }

    // Copy of the frame itself, for comparisons.
    YuyvFrame ToFrame() const
    {
        YuyvFrame frame(m_nWidth, m_nHeight);
        for (int y = 0; y < m_nHeight; ++y)
            std::memcpy(frame.Row(y), Row(y), size_t(m_nWidth) * 2);
        return frame;
    }

private:
    int m_nWidth;
    int m_nHeight;
    int m_nStride;
    std::vector<uint8_t> m_abData;
};
