// Lets the files of this process grow only to a given size while it lives:
// a write beyond fails (EFBIG) as on a full disk, without the signal that
// would end the process.
#pragma once

#include <csignal>
#include <sys/resource.h>

class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(long long nBytes)
    {
        m_pfnOld = std::signal(SIGXFSZ, SIG_IGN);
        m_bSet = getrlimit(RLIMIT_FSIZE, &m_old) == 0;
        rlimit limit = m_old;
        limit.rlim_cur = rlim_t(nBytes);
        m_bSet = m_bSet && setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CFileSizeLimit()
    {
        if (m_bSet)
            setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_pfnOld);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

    bool IsSet() const { return m_bSet; }

private:
    rlimit m_old{};
    void (*m_pfnOld)(int) = nullptr;
    bool m_bSet = false;
};
