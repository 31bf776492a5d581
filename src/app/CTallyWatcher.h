// Follows which cameras are on Program and on Preview, and shows it on the
// channel boxes and in the tally file for outside tally lights.
#pragma once

#include "common/TallyFile.h"

#include <QObject>
#include <QTimer>

#include <vector>

class CTabPreview;

class CTallyWatcher : public QObject
{
    Q_OBJECT

public:
    CTallyWatcher(CTabPreview* pDeviceTab, QObject* pParent);
    // The file goes with the program, so that no light stays on.
    ~CTallyWatcher() override;

    // Looks at the engine now rather than at the next tick.
    void Refresh();

private:
    CTabPreview* const m_pDeviceTab;
    QTimer m_timer;
    std::vector<Tally::EState> m_vecStates;
    bool m_bStudio = false;
    bool m_bKnown = false;
    bool m_bWritten = false;
};
