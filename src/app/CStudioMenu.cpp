#include "app/CStudioMenu.h"

#include "app/CMainWnd.h"
#include "engine/CKVCapture.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

CStudioMenu::CStudioMenu(CMainWnd* pMainWnd, QMenu* pMenu)
    : QObject(pMenu)
    , m_pMainWnd(pMainWnd)
{
    m_pActionStudio = pMenu->addAction(tr("Studio &mode"));
    m_pActionStudio->setObjectName(QStringLiteral("actionStudioMode"));
    m_pActionStudio->setCheckable(true);
    m_pActionStudio->setChecked(pMainWnd->IsStudioMode());
    m_pActionStudio->setStatusTip(tr("Prepare the next shot in Preview, then take it"));
    connect(m_pActionStudio, &QAction::toggled, pMainWnd, &CMainWnd::SetStudioMode);
    pMenu->addSeparator();

    m_pActionTake = pMenu->addAction(tr("&Take"));
    m_pActionTake->setObjectName(QStringLiteral("actionTake"));
    m_pActionTake->setShortcut(QKeySequence(Qt::Key_Space));
    connect(m_pActionTake, &QAction::triggered, pMainWnd, &CMainWnd::Take);
    m_pActionCut = pMenu->addAction(tr("&Cut"));
    m_pActionCut->setObjectName(QStringLiteral("actionCut"));
    connect(m_pActionCut, &QAction::triggered, pMainWnd, &CMainWnd::Cut);
    m_vecStudioOnly = {m_pActionTake, m_pActionCut};
    pMenu->addSeparator();

    for (int nChannel = 0; nChannel < CKVCapture::CHANNEL_COUNT; ++nChannel)
    {
        QAction* pAction = pMenu->addAction(tr("Camera %1 to Preview").arg(nChannel + 1));
        pAction->setObjectName(QStringLiteral("actionPreviewCamera%1").arg(nChannel + 1));
        pAction->setShortcut(QKeySequence(Qt::Key_1 + nChannel));
        connect(pAction, &QAction::triggered, pMainWnd,
                [pMainWnd, nChannel] { pMainWnd->ShowChannelAlone(nChannel, false); });
        m_vecStudioOnly.push_back(pAction);
    }
    pMenu->addSeparator();
    for (int nChannel = 0; nChannel < CKVCapture::CHANNEL_COUNT; ++nChannel)
    {
        QAction* pAction = pMenu->addAction(tr("Camera %1 on air").arg(nChannel + 1));
        pAction->setObjectName(QStringLiteral("actionProgramCamera%1").arg(nChannel + 1));
        pAction->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_1 + nChannel));
        connect(pAction, &QAction::triggered, pMainWnd,
                [pMainWnd, nChannel] { pMainWnd->ShowChannelAlone(nChannel, true); });
    }

    connect(pMainWnd, &CMainWnd::signalStudioModeChanged, this, &CStudioMenu::OnStudioModeChanged);
    OnStudioModeChanged(pMainWnd->IsStudioMode());
}

void CStudioMenu::OnStudioModeChanged(bool bOn)
{
    if (m_pActionStudio->isChecked() != bOn)
        m_pActionStudio->setChecked(bOn);
    for (QAction* pAction : m_vecStudioOnly)
        pAction->setEnabled(bOn);
}
