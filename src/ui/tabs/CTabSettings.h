// The "Settings" page: output format, encoder, audio, recording and RTMP
// choices. Every change is stored at once; a new output format is also
// applied at once to the engine and the other views, the rest takes effect
// with the next session.
#pragma once

#include <QWidget>

class CStreamGroup;
class CTabScreen;
class IDeviceCallback;
class IKVRecordNotify;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// The H.264 bitrate table index suited to an output of nWidth x nHeight.
int BitrateIndexForSize(int nWidth, int nHeight);
// "rtmp://" + address + ":" + port + "/live/" + stream, the address a bare
// IP address gives.
QString ComposeRtmpUrl(const QString& strAddress, const QString& strPort, const QString& strStream);

class CTabSettings : public QWidget
{
    Q_OBJECT

public:
    // pDevice may be null; both pointers are not owned.
    CTabSettings(IKVRecordNotify* pNotify, IDeviceCallback* pDevice, QWidget* pParent);

    // False while a session runs: everything that would change the output
    // is locked, except monitoring the audio.
    void SetControlsEnabled(bool bEnable);
    void SetScreenTab(CTabScreen* pTabScreen) { m_pTabScreen = pTabScreen; }

    bool IsSmallFormat() const { return m_bSmallFormat != 0; }

public slots:
    void OnButtonApplyFormat();
    void OnButtonApply();
    void OnVideoSizeChanged(int nIndex);
    void OnSettingsChanged(int nIndex);
    void OnAudioDeviceChanged(int nIndex);
    void OnAudioMonitorChanged(int nState);
    void OnCkbRecord(int nState);
    void OnBtnDataStorageDir();

private:
    QGroupBox* CreateVideoGroup();
    QGroupBox* CreateAudioGroup();
    QGroupBox* CreateMp4Group();
    void ConnectControls();
    void RefreshDiskFree(const QString& strPath);
    void StoreAudioDevice();
    // Tells the user, in the main window's status bar, that the stored
    // device is gone and none is open.
    void ReportMissingAudioDevice(const QString& strName);
    void UpdateStartEnabled();
    static int ComputeSmallFormat(int nSizeIndex);

    IKVRecordNotify* const m_pNotify;
    IDeviceCallback* const m_pDevice;
    CTabScreen* m_pTabScreen = nullptr;
    int m_bSmallFormat = 0;

    QGroupBox* m_pGroupVideo = nullptr;
    QComboBox* m_pCmbVideoSize = nullptr;
    QComboBox* m_pCmbFrameRate = nullptr;
    QComboBox* m_pCmbH264Encoder = nullptr;
    QComboBox* m_pCmbH264Mode = nullptr;
    QComboBox* m_pCmbH264Profile = nullptr;
    QComboBox* m_pCmbH264Quality = nullptr;
    QComboBox* m_pCmbH264Bitrate = nullptr;
    QComboBox* m_pCmbKeyFrame = nullptr;

    QLabel* m_pLblAudioDevice = nullptr;
    QComboBox* m_pCmbAudioDevice = nullptr;
    QLabel* m_pLblAudioBitrate = nullptr;
    QComboBox* m_pCmbAudioBitrate = nullptr;
    QLabel* m_pLblAudioQuality = nullptr;
    QComboBox* m_pCmbAudioQuality = nullptr;
    QCheckBox* m_pCkbMonitor = nullptr;

    QGroupBox* m_pGroupMp4 = nullptr;
    QCheckBox* m_pCkbRecord = nullptr;
    QLineEdit* m_pEdtDataStorage = nullptr;
    QPushButton* m_pBtnDataStorage = nullptr;
    QLabel* m_pLblDiskFree = nullptr;

    CStreamGroup* m_pGroupStream = nullptr;
};
