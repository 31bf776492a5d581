#include "app/CTallyWatcher.h"

#include "engine/CKVCapture.h"
#include "ui/tabs/CTabPreview.h"
#include "ui/windows/CVideoWnd.h"

namespace
{
// Placements change from many places (tabs, keys, takes, device changes);
// looking five times a second catches them all at the cost of a few locks.
const int s_nInterval = 200;
}

CTallyWatcher::CTallyWatcher(CTabPreview* pDeviceTab, QObject* pParent)
    : QObject(pParent)
    , m_pDeviceTab(pDeviceTab)
{
    m_timer.setInterval(s_nInterval);
    connect(&m_timer, &QTimer::timeout, this, &CTallyWatcher::Refresh);
    m_timer.start();
    Refresh();
}

CTallyWatcher::~CTallyWatcher()
{
    if (m_bWritten)
        Tally::Remove();
}

void CTallyWatcher::Refresh()
{
    std::vector<Tally::EState> vecStates;
    for (int nChannel = 0; nChannel < CKVCapture::CHANNEL_COUNT; ++nChannel)
    {
        Tally::EState eState = Tally::STATE_OFF;
        if (g_capture.IsChannelOnProgram(nChannel))
            eState = Tally::STATE_PROGRAM;
        else if (g_capture.IsChannelOnPreview(nChannel))
            eState = Tally::STATE_PREVIEW;
        vecStates.push_back(eState);
    }
    const bool bStudio = g_capture.IsStudioMode();
    if (m_bKnown && vecStates == m_vecStates && bStudio == m_bStudio)
        return;
    m_bKnown = true;
    m_vecStates = vecStates;
    m_bStudio = bStudio;
    // The boxes look as they always did outside studio mode.
    for (int nChannel = 0; nChannel < CKVCapture::CHANNEL_COUNT; ++nChannel)
        if (CVideoWnd* pVideo = m_pDeviceTab ? m_pDeviceTab->GetVideoWnd(nChannel) : nullptr)
            pVideo->SetTally(bStudio ? vecStates[size_t(nChannel)] : Tally::STATE_OFF);
    // A folder that cannot be written is tried again at the next change.
    if (Tally::Write(vecStates))
        m_bWritten = true;
}
