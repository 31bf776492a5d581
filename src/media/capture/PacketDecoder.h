// Turns the pictures a capture receives (JPEG or raw) into packed YUYV of
// exactly the requested size. A JPEG picture larger than needed is decoded
// at the smallest power-of-two reduction that still covers that size: the
// decoder then skips most of its inverse transform and the scaler reads a
// quarter of the pixels or less, which is most of the cost of a large frame.
// JPEG goes to CJpegDecoder, and to libavcodec only when that one cannot
// give the picture as planes. Not thread-safe: one decoder per capture
// thread.
#pragma once

#include "media/image/JpegDecoder.h"
#include "media/image/YuyvScaler.h"
#include "media/core/AvPtr.h"

#include <cstdint>
#include <memory>

struct AVCodecParameters;

namespace KVMedia
{
class CPacketDecoder
{
public:
    CPacketDecoder() = default;
    ~CPacketDecoder();
    CPacketDecoder(const CPacketDecoder&) = delete;
    CPacketDecoder& operator=(const CPacketDecoder&) = delete;

    // Pictures as pParams describes them (codec, and the size when known),
    // to nWidth x nHeight.
    bool Open(const AVCodecParameters* pParams, int nWidth, int nHeight);
    void Close();

    // Takes a picture over (pPacket is left empty) and forgets the one kept
    // before, undecoded: a newer picture makes it worthless.
    void Keep(AVPacket* pPacket);
    bool HasKept() const { return m_bHasKept; }
    // Decodes the kept picture into pDst, at most once; false when nothing
    // is kept or the picture is damaged.
    bool DecodeKept(uint8_t* pDst, int nStride);

    // The reduction of the last picture decoded, or the one foreseen from
    // the size given to Open before that.
    int GetLowres() const { return m_nLowres; }
    // Pictures decoded since Open.
    uint64_t GetDecodeCount() const { return m_nDecoded; }

private:
    bool Convert(const AVFrame* pFrame, uint8_t* pDst, int nStride);
    // CJpegDecoder's result for the kept picture, converted into pDst.
    int DecodeJpeg(uint8_t* pDst, int nStride);

    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nLowres = 0;
    uint64_t m_nDecoded = 0;
    bool m_bHasKept = false;
    AvCodecContextPtr m_pContext;
    AvPacketPtr m_pKept;
    AvFramePtr m_pFrame;
    CYuyvScaler m_scaler;
    std::unique_ptr<CJpegDecoder> m_pJpeg;
};
}
