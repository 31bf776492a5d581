// Hands an encoder's packets to the user's callback and to the attached
// sinks. Attaching and detaching may happen on any thread; a detach waits for
// a delivery in progress, so a sink may be freed right after it returns. A
// sink that refused a packet is remembered until the output ends.
#pragma once

#include "media/encoder/IPacketSink.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

struct AVCodecContext;
struct AVPacket;

namespace KVMedia
{
class CPacketOutput
{
public:
    CPacketOutput(KVE_OUTPUT_CALLBACK pfnCallback, void* pUser);

    void Attach(IPacketSink* pSink);
    void Detach(IPacketSink* pSink);
    void Deliver(const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info);
    // Takes every packet the encoder has ready and hands each to fnPacket,
    // which describes and delivers it. False, with a diagnostic line naming
    // pszCodec, when the encoder failed.
    bool Drain(AVCodecContext* pContext, const char* pszCodec, const std::function<void(const AVPacket&)>& fnPacket);
    bool HasFailedSink() const { return m_bSinkFailed.load(); }

private:
    KVE_OUTPUT_CALLBACK m_pfnCallback;
    void* m_pUser;
    std::mutex m_mutex;
    std::vector<IPacketSink*> m_vecSinks;
    std::atomic<bool> m_bSinkFailed{false};
};
}
