#include "engine/CPreviewPacer.h"

bool CPreviewPacer::Admit(int64_t nNowUs)
{
    const int64_t nInterval = m_nIntervalUs.load();
    if (nInterval <= 0)
        return true;
    if (m_bStarted && nNowUs + nInterval / 4 < m_nNextUs)
        return false;
    // On the grid while frames keep up with it; after a pause (or a clock
    // far ahead of it) the grid starts again from this frame, rather than
    // letting a burst through to catch up.
    if (m_bStarted && nNowUs - m_nNextUs < nInterval)
        m_nNextUs += nInterval;
    else
        m_nNextUs = nNowUs + nInterval;
    m_bStarted = true;
    return true;
}
