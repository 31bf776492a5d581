// A recursive lock: recording start holds the encoder locks while it calls
// recording stop, which takes the same locks again.
//
// A lock may carry a rank. A thread that holds a ranked lock may only take
// ranked locks of a higher rank (or one it holds already), so the order the
// engine's locks are taken in is a checked rule, not a comment. Debug and
// sanitizer builds check it on every Lock and abort on an inversion, naming
// both locks; other builds skip the check. Rank 0 takes no part in it.
#pragma once

#include <mutex>

class CVoIPCritSec
{
public:
    explicit CVoIPCritSec(int nRank = 0, const char* pszName = "");
    virtual ~CVoIPCritSec() = default;

    CVoIPCritSec(const CVoIPCritSec&) = delete;
    CVoIPCritSec& operator=(const CVoIPCritSec&) = delete;

    void Lock();
    void Unlock();

    int GetRank() const { return m_nRank; }
    const char* GetName() const { return m_pszName; }

private:
    std::recursive_mutex m_mutex;
    const int m_nRank;
    const char* const m_pszName;
};
