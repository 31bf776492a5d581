#include "media/encoder/CPacketOutput.h"

#include <algorithm>

namespace KVMedia
{
CPacketOutput::CPacketOutput(KVE_OUTPUT_CALLBACK pfnCallback, void* pUser)
    : m_pfnCallback(pfnCallback)
    , m_pUser(pUser)
{
}

void CPacketOutput::Attach(IPacketSink* pSink)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (std::find(m_vecSinks.begin(), m_vecSinks.end(), pSink) == m_vecSinks.end())
        m_vecSinks.push_back(pSink);
}

void CPacketOutput::Detach(IPacketSink* pSink)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecSinks.erase(std::remove(m_vecSinks.begin(), m_vecSinks.end(), pSink), m_vecSinks.end());
}

void CPacketOutput::Deliver(const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info)
{
    if (m_pfnCallback)
        m_pfnCallback(pData, nLength, &info, static_cast<int>(sizeof(info)), m_pUser);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (IPacketSink* pSink : m_vecSinks)
    {
        if (!pSink->OnPacket(pData, nLength, info))
            m_bSinkFailed.store(true);
    }
}
}
