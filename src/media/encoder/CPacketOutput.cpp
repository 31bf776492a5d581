#include "media/encoder/CPacketOutput.h"

#include "media/core/AvPtr.h"
#include "platform/Log.h"

#include <algorithm>

extern "C"
{
#include <libavcodec/avcodec.h>
}

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

bool CPacketOutput::Drain(AVCodecContext* pContext, const char* pszCodec,
                          const std::function<void(const AVPacket&)>& fnPacket)
{
    AvPacketPtr pPacket(av_packet_alloc());
    if (!pPacket)
        return false;
    bool bOk = true;
    for (;;)
    {
        const int nResult = avcodec_receive_packet(pContext, pPacket.get());
        if (nResult == AVERROR(EAGAIN) || nResult == AVERROR_EOF)
            break;
        if (nResult < 0)
        {
            char szText[AV_ERROR_MAX_STRING_SIZE] = {};
            av_strerror(nResult, szText, sizeof(szText));
            Log::Error(
                "encoder",
                QStringLiteral("%1 encoding failed: %2").arg(QLatin1String(pszCodec), QString::fromLocal8Bit(szText)));
            bOk = false;
            break;
        }
        fnPacket(*pPacket);
        av_packet_unref(pPacket.get());
    }
    return bOk;
}
}
