// Holds a CVoIPCritSec for the lifetime of a scope.
#pragma once

#include "engine/CVoIPCritSec.h"

class CVoIPAutoLock
{
public:
    explicit CVoIPAutoLock(CVoIPCritSec& csLock)
        : m_csLock(csLock)
    {
        m_csLock.Lock();
    }
    virtual ~CVoIPAutoLock() { m_csLock.Unlock(); }

    CVoIPAutoLock(const CVoIPAutoLock&) = delete;
    CVoIPAutoLock& operator=(const CVoIPAutoLock&) = delete;

private:
    CVoIPCritSec& m_csLock;
};
