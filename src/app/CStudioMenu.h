// The Studio menu: the mode switch, Take and Cut, and a key per camera to
// put it alone in Preview or on air. Its shortcuts work whichever tab has
// the focus; a text field being typed in keeps its digits and spaces.
#pragma once

#include <QObject>

#include <vector>

class CMainWnd;
class QAction;
class QMenu;

class CStudioMenu : public QObject
{
    Q_OBJECT

public:
    // Fills pMenu, which owns it.
    CStudioMenu(CMainWnd* pMainWnd, QMenu* pMenu);

    QAction* GetStudioAction() const { return m_pActionStudio; }
    QAction* GetTakeAction() const { return m_pActionTake; }

private:
    void OnStudioModeChanged(bool bOn);

    CMainWnd* const m_pMainWnd;
    QAction* m_pActionStudio = nullptr;
    QAction* m_pActionTake = nullptr;
    QAction* m_pActionCut = nullptr;
    // Only in studio mode: Take, Cut and the keys that fill Preview.
    std::vector<QAction*> m_vecStudioOnly;
};
