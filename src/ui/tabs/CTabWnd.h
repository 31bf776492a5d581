// The control side of the main window: one tab widget with the Device,
// Layout, Overlay, Screen and Settings tabs, in this order. The Screen tab
// exists only when at least one screen is reported.
#pragma once

#include <QWidget>

class CTabLayout;
class CTabOverlay;
class CTabPreview;
class CTabScreen;
class CTabSettings;
class IDeviceCallback;
class IKVRecordNotify;
class QTabWidget;

class CTabWnd : public QWidget
{
    Q_OBJECT

public:
    // pNotify is the main window's, handed on to the Settings tab.
    CTabWnd(IKVRecordNotify* pNotify, QWidget* pParent);

    // False while recording or streaming runs: the settings that would
    // change the output are locked and the Device tab knows it is busy.
    void SetControlsEnabled(bool bEnable);

    // Places every assigned channel again; call after the mixer was rebuilt,
    // since a new mixer starts without channels.
    void ReplaceChannels();
    // After a take the settings hold the scene now in Preview: the tabs show
    // it without applying anything.
    void ShowStoredScene();
    // Puts a channel alone in the picture as the user would: the first
    // layout of one position, the channel in it. False when the layout file
    // has no such layout or the channel could not be placed.
    bool ShowChannelAlone(int nChannel);

    QTabWidget* GetTabWidget() const { return m_pTabWidget; }
    CTabPreview* GetDeviceTab() const { return m_pTabPreview; }
    IDeviceCallback* GetDeviceCallback() const;
    CTabSettings* GetSettingsTab() const { return m_pTabSettings; }
    CTabOverlay* GetOverlayTab() const { return m_pTabOverlay; }

    // Null when no screen was reported.
    CTabScreen* GetScreenTab() const { return m_pTabScreen; }

private slots:
    void OnTabCurrentChanged(int nIndex);

private:
    QWidget* InScrollArea(QWidget* pPage);
    void AddScreenTab(QWidget* pSettingsPage);

    IKVRecordNotify* const m_pNotify;
    QTabWidget* m_pTabWidget = nullptr;
    CTabPreview* m_pTabPreview = nullptr;
    // The other tabs are built by their own classes and join here as they
    // are added: Layout and Overlay after Device, then Screen (only with a
    // screen), then Settings last.
    CTabLayout* m_pTabLayout = nullptr;
    CTabOverlay* m_pTabOverlay = nullptr;
    CTabSettings* m_pTabSettings = nullptr;
    CTabScreen* m_pTabScreen = nullptr;
    // Index of the Screen tab in the tab widget; -1 without it.
    int m_nScreenTabIndex = -1;
    int m_nPreviousIndex = -1;
};
