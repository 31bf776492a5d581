// The "Settings" page: output format, encoder, audio, recording and RTMP
// choices. Every change is stored at once; a new output format is also
// applied at once to the engine and the other views, the rest takes effect
// with the next session.
#pragma once

#include <QWidget>

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
// "rtmp://" + address + ":" + port + "/live/" + stream.
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
    void OnCkbRtmp(int nState);
    void OnBtnRtmpTest();
    void OnEdtRtmpTextChanged(const QString& strText);
    void OnBtnRtmpKeyShow(bool bShow);

private:
    QGroupBox* CreateVideoGroup();
    QGroupBox* CreateAudioGroup();
    QGroupBox* CreateMp4Group();
    QGroupBox* CreateRtmpGroup();
    void ConnectControls();
    void RefreshDiskFree(const QString& strPath);
    // Shows the first problem of the RTMP fields; true when there is none
    // or pushing is off.
    bool ValidateRtmpFields();
    // A "," would break the stored record: the edit holding one gets its
    // last stored text back and the user that field's message. True then.
    bool RejectUnstorableRtmpText();
    void StoreRtmp();
    void ShowRtmpUrl();
    void SetRtmpFieldsEnabled(bool bEnable);
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

    QCheckBox* m_pCkbRtmp = nullptr;
    QLabel* m_pLblRtmpIp = nullptr;
    QLineEdit* m_pEdtRtmpIp = nullptr;
    QLabel* m_pLblRtmpPort = nullptr;
    QLineEdit* m_pEdtRtmpPort = nullptr;
    QLabel* m_pLblRtmpStream = nullptr;
    QLineEdit* m_pEdtRtmpStream = nullptr;
    QLabel* m_pLblRtmpUrl = nullptr;
    QLineEdit* m_pEdtRtmpUrl = nullptr;
    QToolButton* m_pBtnRtmpKeyShow = nullptr;
    // The composed address in clear; the field shows it masked unless the
    // key is shown.
    QString m_strRtmpUrl;
    QPushButton* m_pBtnRtmpTest = nullptr;
};
