#include "ui/tabs/CTabWnd.h"

#include "config/CLayout.h"
#include "config/CSettings.h"
#include "engine/CKVCapture.h"
#include "ui/tabs/CTabLayout.h"
#include "ui/tabs/CTabOverlay.h"
#include "ui/tabs/CTabPreview.h"
#include "ui/tabs/CTabScreen.h"
#include "ui/tabs/CTabSettings.h"
#include "ui/tabs/CWheelGuard.h"

#include <QGuiApplication>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

// The Overlay, Screen and Settings pages are taller than a small screen
// leaves for the window; a scroll area keeps them from forcing its height.
QWidget* CTabWnd::InScrollArea(QWidget* pPage)
{
    QScrollArea* pArea = new QScrollArea(this);
    pArea->setWidgetResizable(true);
    pArea->setFrameShape(QFrame::NoFrame);
    pArea->setWidget(pPage);
    // Scrolling such a page passes the pointer over many controls.
    CWheelGuard::Install(pPage);
    return pArea;
}

CTabWnd::CTabWnd(IKVRecordNotify* pNotify, QWidget* pParent)
    : QWidget(pParent)
    , m_pNotify(pNotify)
{
    m_pTabWidget = new QTabWidget(this);
    // The Device tab opens and places the channels as it is built; the
    // mixer must exist by now.
    m_pTabPreview = new CTabPreview(this);
    m_pTabLayout = new CTabLayout(m_pTabPreview, this);
    m_pTabOverlay = new CTabOverlay(this);
    m_pTabSettings = new CTabSettings(m_pNotify, m_pTabPreview, this);

    QVBoxLayout* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabWidget);
    connect(m_pTabWidget, &QTabWidget::currentChanged, this, &CTabWnd::OnTabCurrentChanged);

    m_pTabWidget->addTab(m_pTabPreview, tr("Device"));
    m_pTabWidget->addTab(m_pTabLayout, tr("Layout"));
    m_pTabWidget->addTab(InScrollArea(m_pTabOverlay), tr("Overlay"));
    QWidget* pSettingsArea = InScrollArea(m_pTabSettings);
    m_pTabWidget->addTab(pSettingsArea, tr("Settings"));

    if (!QGuiApplication::screens().isEmpty())
        AddScreenTab(pSettingsArea);
}

void CTabWnd::AddScreenTab(QWidget* pSettingsPage)
{
    m_pTabScreen = new CTabScreen(this);
    // Right before Settings, wherever the tabs before it put Settings.
    const int nIndex = m_pTabWidget->indexOf(pSettingsPage);
    m_nScreenTabIndex = m_pTabWidget->insertTab(nIndex, InScrollArea(m_pTabScreen), tr("Screen"));
    g_capture.CreateScreenTabRenderer(m_pTabScreen->GetPreviewWindow());
    m_pTabSettings->SetScreenTab(m_pTabScreen);
}

IDeviceCallback* CTabWnd::GetDeviceCallback() const
{
    return m_pTabPreview;
}

void CTabWnd::OnTabCurrentChanged(int nIndex)
{
    // The Screen tab's preview costs a conversion per frame; it is drawn
    // only while it can be seen.
    if (m_nScreenTabIndex >= 0 && nIndex == m_nScreenTabIndex)
    {
        g_capture.UpdateScreenTabRenderer();
        g_capture.EnableScreenTabDraw(true);
    }
    else
    {
        g_capture.EnableScreenTabDraw(false);
    }
    m_nPreviousIndex = nIndex;
}

void CTabWnd::SetControlsEnabled(bool bEnable)
{
    m_pTabSettings->SetControlsEnabled(bEnable);
    m_pTabPreview->SetBusy(!bEnable);
}

void CTabWnd::ReplaceChannels()
{
    m_pTabPreview->ApplyChannelRects();
}

bool CTabWnd::ShowChannelAlone(int nChannel)
{
    int nSingle = -1;
    for (int nLayout = 0; nLayout < g_layout.GetLayoutCount() && nSingle < 0; ++nLayout)
    {
        if (g_layout.GetPositionCount(nLayout) == 1)
            nSingle = nLayout;
    }
    if (nSingle < 0)
        return false;
    m_pTabLayout->SelectLayout(nSingle);
    if (g_settings.GetLayoutIndex() != nSingle)
        return false;
    m_pTabPreview->SetPositionIndex(nChannel, 1);
    return g_settings.GetChannelPosition(nChannel) == 0;
}

void CTabWnd::ShowStoredScene()
{
    m_pTabLayout->ShowStoredLayout();
    m_pTabPreview->ShowStoredPositions();
    m_pTabOverlay->ShowStoredScene();
}
