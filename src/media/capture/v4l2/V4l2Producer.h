// Frames of a real device through libavdevice's video4linux2 input, decoded
// when the device sends MJPEG and scaled, up or down, from the nearest size
// the device offers to exactly the requested one.
#pragma once

#include "media/capture/FrameProducer.h"
#include "media/capture/YuyvScaler.h"

#include <QString>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace KVMedia
{
class CV4l2Producer : public IFrameProducer
{
public:
    explicit CV4l2Producer(const QString& strNode);
    ~CV4l2Producer() override;

    bool Open(int nWidth, int nHeight, int nDuration) override;
    int Produce(uint8_t* pDst, int nStride, CStopSignal& stop) override;

private:
    void Close();
    bool Convert(const AVFrame* pFrame, uint8_t* pDst, int nStride);

    QString m_strNode;
    int m_nWidth = 0;
    int m_nHeight = 0;
    AVFormatContext* m_pFormat = nullptr;
    AVCodecContext* m_pDecoder = nullptr;
    AVPacket* m_pPacket = nullptr;
    AVFrame* m_pFrame = nullptr;
    CYuyvScaler m_scaler;
};
}
