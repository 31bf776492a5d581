#include "media/audio/PulseConnection.h"

#include <pulse/rtclock.h>

namespace KVMedia
{
namespace
{
struct STimeout
{
    pa_threaded_mainloop* pMainloop;
    bool bExpired;
};

void OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* pUser)
{
    auto* pTimeout = static_cast<STimeout*>(pUser);
    pTimeout->bExpired = true;
    pa_threaded_mainloop_signal(pTimeout->pMainloop, 0);
}
}

CPulseConnection::~CPulseConnection()
{
    // Stopping the loop first means no callback of ours runs while the
    // context goes away.
    if (m_pMainloop)
        pa_threaded_mainloop_stop(m_pMainloop);
    if (m_pContext)
    {
        pa_context_set_state_callback(m_pContext, nullptr, nullptr);
        pa_context_disconnect(m_pContext);
        pa_context_unref(m_pContext);
    }
    if (m_pMainloop)
        pa_threaded_mainloop_free(m_pMainloop);
}

bool CPulseConnection::Connect(const char* pszClientName, int nTimeoutMs)
{
    if (m_pContext)
        return false;
    m_pMainloop = pa_threaded_mainloop_new();
    if (!m_pMainloop)
        return false;
    m_pContext = pa_context_new(pa_threaded_mainloop_get_api(m_pMainloop), pszClientName);
    if (!m_pContext)
        return false;
    pa_context_set_state_callback(m_pContext, &CPulseConnection::OnContextState, this);
    if (pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    if (pa_threaded_mainloop_start(m_pMainloop) < 0)
        return false;

    CPulseLock lock(*this);
    const auto fnSettled = [this] {
        const pa_context_state_t eState = pa_context_get_state(m_pContext);
        return eState == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(eState);
    };
    WaitFor(fnSettled, nTimeoutMs);
    return pa_context_get_state(m_pContext) == PA_CONTEXT_READY;
}

void CPulseConnection::Lock()
{
    pa_threaded_mainloop_lock(m_pMainloop);
}

void CPulseConnection::Unlock()
{
    pa_threaded_mainloop_unlock(m_pMainloop);
}

bool CPulseConnection::WaitFor(const std::function<bool()>& fnDone, int nTimeoutMs)
{
    if (fnDone())
        return true;
    STimeout timeout{m_pMainloop, false};
    pa_time_event* pTimer = nullptr;
    if (m_pContext)
        pTimer =
            pa_context_rttime_new(m_pContext, pa_rtclock_now() + pa_usec_t(nTimeoutMs) * 1000, &OnTimeout, &timeout);
    if (!pTimer)
        return fnDone();
    while (!fnDone() && !timeout.bExpired)
        pa_threaded_mainloop_wait(m_pMainloop);
    pa_threaded_mainloop_get_api(m_pMainloop)->time_free(pTimer);
    return fnDone();
}

void CPulseConnection::Signal()
{
    pa_threaded_mainloop_signal(m_pMainloop, 0);
}

void CPulseConnection::OnContextState(pa_context*, void* pUser)
{
    static_cast<CPulseConnection*>(pUser)->Signal();
}
}
