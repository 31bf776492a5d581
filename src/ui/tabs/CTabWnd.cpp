#include "CTabWnd.h"

#include "CKVCapture.h"
#include "CTabPreview.h"

#include <QGuiApplication>
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
    // Layout tab: new CTabLayout(m_pTabPreview, this).
    // Overlay tab: new CTabOverlay(this).
    // Settings tab: new CTabSettings(m_pNotify, m_pTabPreview, this).

    QVBoxLayout* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabWidget);
    connect(m_pTabWidget, &QTabWidget::currentChanged, this, &CTabWnd::OnTabCurrentChanged);

    m_pTabWidget->addTab(m_pTabPreview, tr("Device"));
    // addTab(m_pTabLayout, tr("Layout")), then addTab(m_pTabOverlay, tr("Overlay")).

    if (!QGuiApplication::screens().isEmpty())
    {
        // Here the Screen tab is created and added as tr("Screen"), its
        // preview window handed to g_capture.CreateScreenTabRenderer and the
        // tab to the Settings tab; m_nScreenTabIndex is its index.
    }

    // addTab(m_pTabSettings, tr("Settings")) comes last.
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
    // The Settings tab's SetControlsEnabled(bEnable) joins here.
    m_pTabPreview->SetBusy(!bEnable);
}

void CTabWnd::ReplaceChannels()
{
    m_pTabPreview->ApplyChannelRects();
}
