#include "media/audio/AudioMonitor.h"

#include <algorithm>

namespace KVMedia
{
namespace
{
const int g_nTimeoutMs = 1500;
}

CAudioMonitor::~CAudioMonitor()
{
    if (!m_pStream)
        return;
    CPulseLock lock(m_connection);
    pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
    pa_stream_disconnect(m_pStream);
    pa_stream_unref(m_pStream);
    m_pStream = nullptr;
}

bool CAudioMonitor::Open(int nBlockBytes)
{
    if (!m_connection.Connect("Vistrel monitor", g_nTimeoutMs))
        return false;
    CPulseLock lock(m_connection);
    const pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, 48000, 2};
    m_pStream = pa_stream_new(m_connection.Context(), "Vistrel monitor", &sampleFormat, nullptr);
    if (!m_pStream)
        return false;
    pa_stream_set_state_callback(m_pStream, &CAudioMonitor::OnStreamState, this);
    // A few blocks of buffer: enough to ride over scheduling jitter, little
    // enough that what one hears stays close to the input.
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(nBlockBytes * 4);
    attr.prebuf = uint32_t(nBlockBytes * 2);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    if (pa_stream_connect_playback(m_pStream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
        return false;
    const auto fnSettled = [this] {
        const pa_stream_state_t eState = pa_stream_get_state(m_pStream);
        return eState == PA_STREAM_READY || !PA_STREAM_IS_GOOD(eState);
    };
    m_connection.WaitFor(fnSettled, g_nTimeoutMs);
    return pa_stream_get_state(m_pStream) == PA_STREAM_READY;
}

void CAudioMonitor::Write(const uint8_t* pData, size_t nLength)
{
    CPulseLock lock(m_connection);
    if (!m_pStream || pa_stream_get_state(m_pStream) != PA_STREAM_READY)
        return;
    const size_t nWritable = pa_stream_writable_size(m_pStream);
    if (nWritable == size_t(-1))
        return;
    // Whole sample frames only, so the channels never swap.
    const size_t nBytes = std::min(nLength, nWritable) / 4 * 4;
    if (nBytes > 0)
        pa_stream_write(m_pStream, pData, nBytes, nullptr, 0, PA_SEEK_RELATIVE);
}

void CAudioMonitor::OnStreamState(pa_stream*, void* pUser)
{
    static_cast<CAudioMonitor*>(pUser)->m_connection.Signal();
}
}
