// The Device tab: six channel boxes, each with the channel's position in the
// current layout, a button for the device dialog and a live preview. It keeps
// the channel table of the settings, the engine's open channels and the
// mixer's rectangles consistent with one another.
#pragma once

#include "ui/tabs/ChannelPlacement.h"
#include "ui/tabs/IDeviceCallback.h"
#include "ui/windows/IVideoWndCallback.h"

#include <QWidget>

class CVideoWnd;
class QComboBox;
class QGroupBox;
class QPushButton;
class QRect;

class CTabPreview : public QWidget, public IVideoWndCallback, public IDeviceCallback
{
    Q_OBJECT

public:
    // Preview and tooltip of every channel follow what the engine really
    // does: a channel shows pictures only while it captures, and a channel
    // with a device but no picture, or not in the output, says so.
    void RefreshChannelStatus();
    enum
    {
        CHANNEL_COUNT = 6,
        NAME_MAX_LENGTH = 8
    };

    explicit CTabPreview(QWidget* pParent);

    // Set while recording or streaming runs; the device dialog decides what
    // may change meanwhile.
    void SetBusy(bool bBusy) { m_bBusy = bBusy; }
    bool IsBusy() const { return m_bBusy; }

    // For the tab window and for tests.
    QComboBox* GetPositionCombo(int nChannel) const;
    QPushButton* GetListButton(int nChannel) const;
    QGroupBox* GetChannelBox(int nChannel) const;
    CVideoWnd* GetVideoWnd(int nChannel) const;

    // IVideoWndCallback: the previews of this tab take no clicks.
    void OnVideoWndClicked(uint32_t nValue) override;
    void OnVideoWndDoubleClicked(uint32_t nValue) override;

    // IDeviceCallback
    void SetChannelTitle(int nChannel, const QString& strTitle) override;
    void OnDeviceSelected(int nChannel, int nDevice) override;
    void OnLayoutChanged(int nLayout) override;
    void SetPositionIndex(int nChannel, int nIndex) override;
    QString GetChannelTitle(int nChannel) override;
    void ApplyChannelRects() override;
    // Shows the stored positions without placing anything (the mixer has
    // them already).
    void ShowStoredPositions();
    void GetSignalStatus(int nChannel, int& nNoSignal, int& nInputType) override;
    bool GetChannelRates(int nChannel, float afRates[2]) override;
    void ResetUnassignedChannels() override;

    // Layout chosen on a first run from the number of usable devices.
    static int FirstRunLayout(int nDeviceCount);

private slots:
    void OnButtonList();
    void OnPositionChanged(int nIndex);

private:
    // "No signal" on the channel's preview and its camera named in the
    // status bar while the camera is gone; both taken back when it is not.
    void ReportLostCamera(int nChannel, bool bLost);
    struct ChannelControls
    {
        QGroupBox* pBox = nullptr;
        QComboBox* pPosition = nullptr;
        QPushButton* pList = nullptr;
        CVideoWnd* pVideo = nullptr;
        // The last open asked of the engine found no usable device.
        bool bOpenFailed = false;
    };

    void CreateChannelBox(int nChannel, int nLayout, int nPositionCount);
    // Fills a position list for a layout: "(Not set position)", then one
    // item per position.
    void FillPositions(QComboBox* pCombo, int nPositionCount) const;
    void RefreshPositionTexts(int nLayout);
    void ConnectPosition(int nChannel);
    void DisconnectPosition(int nChannel);

    // Channel rectangle of position nPosition in the current output; false
    // when the layout cannot give one.
    static bool GetRect(int nLayout, int nPosition, QRect& rect);
    void PlaceChannel(int nChannel, int nLayout, int nPosition, int bInset);
    // Gives nFirst (position 0) to the mixer before nSecond (position 1), so
    // that the inset lies over the main picture.
    void ReplacePair(int nLayout, int nFirst, int nSecond);
    static bool EngineHasDevice(int nDevice);
    static int FrameDuration();
    static ChannelPlacement::ChannelTable CurrentChannelTable();
    static ChannelPlacement::SLayout CurrentLayoutFacts(int nLayout);
    // Stored positions and their lists; the lists change without asking for
    // another move.
    void ApplyPositions(const std::vector<ChannelPlacement::SPositionChange>& vecChanges);
    void ApplyMixerSteps(int nLayout, const std::vector<ChannelPlacement::SMixerStep>& vecSteps);
    void RunDeviceDialog(int nChannel);
    // Opens the engine channel into the channel's preview and notes whether
    // the device could be had at all.
    void OpenChannel(int nChannel, int nDevice);
    QString ChannelStatusText(int nChannel) const;

    ChannelControls m_aChannels[CHANNEL_COUNT];
    // Per channel, the position a layout switch took from it for want of
    // room (-1: none), so that a layout with room gives it back rather than
    // leaving a hole in the picture. Forgotten once the channel is moved or
    // gets another device.
    ChannelPlacement::PositionList m_anTakenPositions;
    bool m_bBusy = false;
};
