// JPEG pictures decoded straight to their Y, Cb and Cr planes, at 1/2, 1/4
// or 1/8 size where asked. libjpeg-turbo decodes camera pictures about twice
// as fast as libavcodec's decoder at the same reduced size, and the planes
// go to the scaler without an upsampling or colour conversion pass. Pictures
// it cannot give as planes (CMYK, unusual subsampling) are left to the
// caller. Not thread-safe: one decoder per capture thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace KVMedia
{
class CJpegDecoder
{
public:
    enum EResult
    {
        DECODED,
        // Not a layout this decoder gives as planes; another decoder may.
        UNSUPPORTED,
        // Not a JPEG picture, or one damaged beyond use.
        DAMAGED,
    };

    CJpegDecoder();
    ~CJpegDecoder();
    CJpegDecoder(const CJpegDecoder&) = delete;
    CJpegDecoder& operator=(const CJpegDecoder&) = delete;

    // Decodes at the smallest of full, 1/2, 1/4 and 1/8 size that still
    // covers nMinWidth x nMinHeight. The planes stay valid until the next
    // call.
    EResult Decode(const uint8_t* pData, size_t nSize, int nMinWidth, int nMinHeight);

    // The decoded picture: a full-range AVPixelFormat (planar 4:2:0, 4:2:2,
    // 4:4:0, 4:4:4 or grey), its size, and its planes as libavutil lays
    // them out.
    int GetFormat() const { return m_eFormat; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    // The reduction of the last picture decoded: n for 1/2^n.
    int GetReduction() const { return m_nReduction; }
    const uint8_t* const* GetPlanes() const { return m_apPlanes; }
    const int* GetStrides() const { return m_anStrides; }

private:
    struct SState;
    EResult DecodeGuarded(const uint8_t* pData, size_t nSize, int nMinWidth, int nMinHeight);
    bool Layout();
    void ReadPlanes();

    // libjpeg's structures, which must not move once created.
    std::unique_ptr<SState> m_pState;
    std::vector<uint8_t> m_abPlanes[3];
    const uint8_t* m_apPlanes[4] = {};
    int m_anStrides[4] = {};
    int m_eFormat = -1;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nReduction = 0;
};
}
