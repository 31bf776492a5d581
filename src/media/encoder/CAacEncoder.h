// AAC encoder. Works on the caller's thread: encoding a block of audio takes
// far less than the block lasts, so the capture thread is not held up.
#pragma once

#include "media/core/AvPtr.h"
#include "media/encoder/CPacketOutput.h"

#include <mutex>
#include <vector>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

namespace KVMedia
{
class CAacEncoder
{
public:
    CAacEncoder(KVE_OUTPUT_CALLBACK pfnCallback, void* pUser);
    ~CAacEncoder();

    bool Open(int nSampleRate, const KVE_AAC_PARAM& param);
    // s16 interleaved stereo, any whole number of sample frames.
    bool PutFrame(const uint8_t* pData, int nLength);
    // Encodes what is left, drains the encoder; later puts fail.
    void Close();

    const AVCodecContext* GetContext() const { return m_pContext.get(); }
    const std::vector<uint8_t>& GetExtraData() const { return m_vecExtraData; }
    CPacketOutput& GetOutput() { return m_output; }

private:
    bool EncodeFifo(bool bFinal);
    bool Encode(AVFrame* pFrame);

    CPacketOutput m_output;
    std::mutex m_mutex;
    AvCodecContextPtr m_pContext;
    SwrContextPtr m_pResample;
    AvAudioFifoPtr m_pFifo;
    std::vector<uint8_t> m_vecExtraData;
    int64_t m_nSamples = 0;
    bool m_bClosed = false;
};
}
