// MP4 file fed straight from the encoders. Written as fragments of about a
// second that reach the disk as they are made, so a crash or power loss
// costs only the last seconds of a recording. A write that fails (disk full,
// I/O error, disk removed) ends the file after its last whole fragment, where
// it stays readable, and every later packet is refused.
#pragma once

#include "media/core/AvPtr.h"
#include "media/encoder/CAacEncoder.h"
#include "media/encoder/CH264Encoder.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

extern "C"
{
#include <libavformat/avformat.h>
}

namespace KVMedia
{
class CMp4Muxer : public IPacketSink
{
public:
    CMp4Muxer() = default;
    ~CMp4Muxer() override;

    // Writes the header and attaches to the encoders; pAac may be null.
    bool Open(const QString& strPath, std::shared_ptr<CH264Encoder> pH264, std::shared_ptr<CAacEncoder> pAac);
    // Drains and ends the attached encoders, detaches from them and finishes
    // the file. False when the file could not be completed.
    bool Close();
    // Bytes in the file, and bytes of the packets that wait for the next
    // fragment: the two make what the recording takes on the disk so far.
    int64_t GetBytesWritten() const { return m_nBytesWritten.load(); }
    int64_t GetBytesPending() const { return m_nBytesPending.load(); }

    bool OnPacket(const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info) override;

private:
    static int WritePacket(void* pOpaque, uint8_t* pBuffer, int nSize);
    static int64_t Seek(void* pOpaque, int64_t nOffset, int nWhence);
    AVStream* AddStream(const AVCodecContext* pContext, const std::vector<uint8_t>& vecExtraData);
    bool SyncIfDue(bool bForce);
    // Under m_mutex: hands one packet to libavformat and flushes it.
    bool WriteLocked(const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info);
    // Under m_mutex: no more writes, and the file cut back to its last
    // whole fragment.
    void Fail(const QString& strWhy);

    std::shared_ptr<CH264Encoder> m_pH264;
    std::shared_ptr<CAacEncoder> m_pAac;
    std::mutex m_mutex;
    // Let go of by Close, after the trailer. The format context's pb is
    // m_pIo, marked as custom I/O, so freeing the context leaves it alone.
    AvOutputPtr m_pFormat;
    AvCustomIoPtr m_pIo;
    int m_nFile = -1;
    int m_nVideoStream = -1;
    int m_nAudioStream = -1;
    bool m_bHeader = false;
    bool m_bFailed = false;
    bool m_bClosed = false;
    int64_t m_nLastSyncMs = 0;
    // Where the last whole fragment ends.
    int64_t m_nGoodEnd = 0;
    std::atomic<int64_t> m_nBytesWritten{0};
    std::atomic<int64_t> m_nBytesPending{0};

    // Sound that came before the first picture. An encoder that reorders
    // frames gives its first picture a decoding time before zero, and the
    // file's common shift is fixed by the first packet written: sound
    // written first (a slow encoder, over a second behind) would leave that
    // picture negative, which libavformat answers by aborting the process.
    struct SHeldPacket
    {
        std::vector<uint8_t> abData;
        KVE_PACKET_INFO info;
    };
    std::vector<SHeldPacket> m_vecHeldAudio;
    bool m_bVideoStarted = false;
};
}
