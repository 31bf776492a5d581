// One client connection to the sound server on its own threaded main loop.
// Never starts a server (no autospawn) and never waits longer than the
// time-out it is given, so a machine without a server costs little.
#pragma once

#include <pulse/pulseaudio.h>

#include <functional>

namespace KVMedia
{
class CPulseConnection
{
public:
    CPulseConnection() = default;
    ~CPulseConnection();
    CPulseConnection(const CPulseConnection&) = delete;
    CPulseConnection& operator=(const CPulseConnection&) = delete;

    // Connects to the default server (PULSE_SERVER or the session's).
    bool Connect(const char* pszClientName, int nTimeoutMs);

    pa_context* Context() const { return m_pContext; }
    pa_threaded_mainloop* Mainloop() const { return m_pMainloop; }

    // The main-loop lock; every pa_* call outside the loop's own callbacks
    // needs it.
    void Lock();
    void Unlock();

    // With the lock held: waits until fnDone() is true or the time-out
    // passes; returns fnDone(). Callbacks that change what fnDone reads
    // must call Signal().
    bool WaitFor(const std::function<bool()>& fnDone, int nTimeoutMs);
    void Signal();

private:
    static void OnContextState(pa_context* pContext, void* pUser);

    pa_threaded_mainloop* m_pMainloop = nullptr;
    pa_context* m_pContext = nullptr;
};

// The mutual-exclusion helper for the main-loop lock.
class CPulseLock
{
public:
    explicit CPulseLock(CPulseConnection& connection)
        : m_connection(connection)
    {
        m_connection.Lock();
    }
    ~CPulseLock() { m_connection.Unlock(); }
    CPulseLock(const CPulseLock&) = delete;
    CPulseLock& operator=(const CPulseLock&) = delete;

private:
    CPulseConnection& m_connection;
};
}
