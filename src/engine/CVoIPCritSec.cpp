#include "engine/CVoIPCritSec.h"

#ifdef VISTREL_LOCK_ORDER_CHECKS
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
// The ranked locks this thread holds, in the order it took them; a lock
// taken again recursively appears again.
thread_local std::vector<const CVoIPCritSec*> t_apHeld;

void CheckOrder(const CVoIPCritSec* pTaking)
{
    if (pTaking->GetRank() == 0)
        return;
    if (std::find(t_apHeld.begin(), t_apHeld.end(), pTaking) != t_apHeld.end())
        return;
    for (const CVoIPCritSec* pHeld : t_apHeld)
    {
        if (pHeld->GetRank() >= pTaking->GetRank())
        {
            // Written straight to stderr: the process is about to abort, and a
            // deadlock this allows would otherwise show only as a hang.
            std::fprintf(stderr, "Lock order inversion: taking %s (rank %d) while holding %s (rank %d)\n",
                         pTaking->GetName(), pTaking->GetRank(), pHeld->GetName(), pHeld->GetRank());
            std::fflush(stderr);
            std::abort();
        }
    }
}
}
#endif

CVoIPCritSec::CVoIPCritSec(int nRank, const char* pszName)
    : m_nRank(nRank)
    , m_pszName(pszName)
{
}

void CVoIPCritSec::Lock()
{
#ifdef VISTREL_LOCK_ORDER_CHECKS
    CheckOrder(this);
#endif
    m_mutex.lock();
#ifdef VISTREL_LOCK_ORDER_CHECKS
    if (m_nRank != 0)
        t_apHeld.push_back(this);
#endif
}

void CVoIPCritSec::Unlock()
{
#ifdef VISTREL_LOCK_ORDER_CHECKS
    if (m_nRank != 0)
    {
        // Scoped locks leave in reverse order, but nothing requires it.
        auto it = std::find(t_apHeld.rbegin(), t_apHeld.rend(), this);
        if (it != t_apHeld.rend())
            t_apHeld.erase(std::next(it).base());
    }
#endif
    m_mutex.unlock();
}
