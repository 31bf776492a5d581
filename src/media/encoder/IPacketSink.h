// A consumer of encoded packets besides the user's callback (the MP4 muxer).
// Called on the encoder's thread with the same data the callback receives.
// A sink that can take no more packets (its file failed) answers false; the
// encoder's put operations then report it to their caller.
#pragma once

#include "media/KVEncoder.h"

namespace KVMedia
{
class IPacketSink
{
public:
    virtual ~IPacketSink() = default;
    virtual bool OnPacket(const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info) = 0;
};
}
