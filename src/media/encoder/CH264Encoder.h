// H.264 encoder on its own thread. PutFrame converts the packed YUYV picture
// on the caller's thread and queues it; the encoder thread encodes and hands
// the packets on. A full queue makes PutFrame wait: a recording never loses a
// frame silently.
#pragma once

#include "media/core/AvPtr.h"
#include "media/encoder/CPacketOutput.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

extern "C"
{
#include <libavcodec/avcodec.h>
}

namespace KVMedia
{
class CH264Encoder
{
public:
    CH264Encoder(KVE_OUTPUT_CALLBACK pfnCallback, void* pUser);
    ~CH264Encoder();

    bool Open(int nType, const KVE_H264_PARAM& param);
    // nTime (100 ns) places the frame; see KVE_H264EncoderPutFrame.
    bool PutFrame(const uint8_t* pFrame, int64_t nTime);
    // The last frame put again at nTime, without converting it again.
    bool RepeatLastFrame(int64_t nTime);
    // The next frame put becomes a key frame.
    void RequestKeyFrame() { m_bKeyFrameWanted.store(true); }
    // Drains the delayed packets and ends the thread; later puts fail.
    void Close();

    // Valid after Open: what the muxer copies into its stream.
    const AVCodecContext* GetContext() const { return m_pContext.get(); }
    const std::vector<uint8_t>& GetExtraData() const { return m_vecExtraData; }
    CPacketOutput& GetOutput() { return m_output; }

    // Packed YUYV to planar 4:2:0, each chroma sample the rounded-up mean of
    // the two lines it covers, as libswscale's vector code computes it (its
    // code for a line's last few pixels rounds down instead). nWidth and
    // nHeight are even.
    static void ConvertYuyvToI420(const uint8_t* pSource, int nSourceStride, int nWidth, int nHeight,
                                  uint8_t* const apPlane[3], const int anStride[3]);

private:
    bool OpenCodec(const char* pszName, const KVE_H264_PARAM& param);
    static AvBufferPtr CreateVaapiFrames(const KVE_H264_PARAM& param);
    void Run();
    bool Encode(AVFrame* pFrame);
    // Under m_mutexPut: stamps the picture and waits for room in the queue.
    bool EnqueueLocked(AvFramePtr pPicture, int64_t nTime);

    enum
    {
        QUEUE_LIMIT = 4
    };

    CPacketOutput m_output;
    AvCodecContextPtr m_pContext;
    SwsContextPtr m_pScale;  // hardware encoders' NV12 only
    AvBufferPtr m_pHwFrames; // hardware encoders only
    // Pictures for the queue, reused once the encoder lets go of them:
    // a new 3 MB buffer per frame costs the kernel a page clear each time.
    AvBufferPoolPtr m_pPicturePool;
    // Under m_mutexPut: the last picture put, for RepeatLastFrame.
    AvFramePtr m_pLastPicture;
    AVPixelFormat m_softwareFormat = AV_PIX_FMT_YUV420P;
    std::vector<uint8_t> m_vecExtraData;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int64_t m_nDuration = 0;
    int64_t m_nNextPts = 0;

    std::mutex m_mutex;
    std::condition_variable m_cvQueue;
    std::deque<AvFramePtr> m_queFrames;
    bool m_bClosing = false;
    bool m_bFailed = false;
    // Set from any thread, taken by the next put.
    std::atomic<bool> m_bKeyFrameWanted{false};
    std::mutex m_mutexPut;
    std::thread m_thread;
};
}
