// A recursive lock: recording start holds the encoder locks while it calls
// recording stop, which takes the same locks again.
#pragma once

#include <mutex>

class CVoIPCritSec
{
public:
    CVoIPCritSec() = default;
    virtual ~CVoIPCritSec() = default;

    CVoIPCritSec(const CVoIPCritSec&) = delete;
    CVoIPCritSec& operator=(const CVoIPCritSec&) = delete;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }

private:
    std::recursive_mutex m_mutex;
};
