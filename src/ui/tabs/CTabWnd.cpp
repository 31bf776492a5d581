#include "ui/tabs/CTabWnd.h"

#include "engine/CKVCapture.h"
#include "ui/tabs/CTabOverlay.h"
#include "ui/tabs/CTabPreview.h"
#include "ui/tabs/CTabSettings.h"

#include <QGuiApplication>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

CTabWnd::CTabWnd(IKVRecordNotify* pNotify, QWidget* pParent)
    : QWidget(pParent)
    , m_pNotify(pNotify)
{
    m_pTabWidget = new QTabWidget(this);
    // The Device tab opens and places the channels as it is built; the
    // mixer must exist by now.
    m_pTabPreview = new CTabPreview(this);
    // TODO(#10): the Layout tab, new CTabLayout(m_pTabPreview, this).
    m_pTabOverlay = new CTabOverlay(this);
    m_pTabSettings = new CTabSettings(m_pNotify, m_pTabPreview, this);

    QVBoxLayout* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabWidget);
    connect(m_pTabWidget, &QTabWidget::currentChanged, this, &CTabWnd::OnTabCurrentChanged);

    m_pTabWidget->addTab(m_pTabPreview, tr("Device"));
    // TODO(#10): addTab(m_pTabLayout, tr("Layout")).
    // Like the settings, the overlay controls are taller than a small
    // screen leaves for the window.
    QScrollArea* pOverlayArea = new QScrollArea(this);
    pOverlayArea->setWidgetResizable(true);
    pOverlayArea->setFrameShape(QFrame::NoFrame);
    pOverlayArea->setWidget(m_pTabOverlay);
    m_pTabWidget->addTab(pOverlayArea, tr("Overlay"));

    if (!QGuiApplication::screens().isEmpty())
    {
        // TODO(#11): create the Screen tab and add it as tr("Screen"), its
        // preview window handed to g_capture.CreateScreenTabRenderer and the
        // tab to the Settings tab; m_nScreenTabIndex is its index.
    }

    // The settings are taller than a small screen leaves for the window; a
    // scroll area keeps them from forcing the window's height.
    QScrollArea* pSettingsArea = new QScrollArea(this);
    pSettingsArea->setWidgetResizable(true);
    pSettingsArea->setFrameShape(QFrame::NoFrame);
    pSettingsArea->setWidget(m_pTabSettings);
    m_pTabWidget->addTab(pSettingsArea, tr("Settings"));
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
