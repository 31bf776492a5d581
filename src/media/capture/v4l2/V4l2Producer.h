// Frames of a real device through libavdevice's video4linux2 input, decoded
// when the device sends MJPEG and scaled, up or down, from the nearest size
// the device offers to exactly the requested one. Pictures are taken in as
// they come and decoded only when wanted (DeferredProducer.h).
#pragma once

#include "media/capture/DeferredProducer.h"
#include "media/capture/PacketDecoder.h"
#include "media/core/AvPtr.h"

#include <QString>

namespace KVMedia
{
class CV4l2Producer : public IDeferredProducer
{
public:
    explicit CV4l2Producer(const QString& strNode);
    ~CV4l2Producer() override;

    bool Open(int nWidth, int nHeight, int nDuration) override;
    int Receive(CStopSignal& stop) override;
    bool DecodePending(uint8_t* pDst, int nStride) override;

private:
    void Close();

    QString m_strNode;
    AvInputPtr m_pFormat;
    AvPacketPtr m_pPacket;
    CPacketDecoder m_decoder;
};
}
