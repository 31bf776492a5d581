// "Video Option": the dialog of one channel of the Device tab. The user names
// the channel, chooses its device and layout position, watches the device's
// signal and frame rate, and sets its picture controls. Every change acts
// and is stored at once; the dialog has no OK or Cancel, only its close button.
#pragma once

#include <QDialog>
#include <QTimer>

class CKVChannel;
class IDeviceCallback;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

class CDeviceDlg : public QDialog
{
    Q_OBJECT

public:
    // The device's picture controls, numbered as the capture library does.
    enum
    {
        PARAM_BRIGHTNESS = 0,
        PARAM_CONTRAST = 1,
        PARAM_HUE = 2,
        PARAM_SATURATION = 3,
        PARAM_COUNT = 4
    };
    enum
    {
        NAME_MAX_LENGTH = 8
    };

    // bBusy: recording or streaming runs, so nothing may change. pDevice is
    // the Device tab's and is not owned.
    CDeviceDlg(int nChannel, bool bBusy, IDeviceCallback* pDevice, QWidget* pParent);

    // How many characters a name may have: ideographs take two places, so
    // the limit falls by two for every one or two of them.
    static int NameLimit(const QString& strName);
    // The longest beginning of strName that keeps within its limit, without
    // commas (the stored channel entry is comma-separated) and without
    // splitting a character.
    static QString FitName(const QString& strName);

    // For tests.
    QLineEdit* GetNameEdit() const { return m_pName; }
    QComboBox* GetDeviceCombo() const { return m_pDevice; }
    QComboBox* GetPositionCombo() const { return m_pPosition; }
    QLabel* GetSignalLabel() const { return m_pSignal; }
    QLabel* GetRateLabel() const { return m_pRate; }
    QPushButton* GetAdvancedButton() const { return m_pAdvanced; }
    QPushButton* GetDefaultButton() const { return m_pDefault; }
    QSlider* GetSlider(int nParam) const;
    bool IsTimerActive() const { return m_timer.isActive(); }

private slots:
    void OnVideoDeviceChanged(int nIndex);
    void OnVideoPosChanged(int nIndex);
    void OnTextChanged(const QString& strText);
    void OnVideoBrightnessValueChanged(int nValue);
    void OnVideoContrastValueChanged(int nValue);
    void OnVideoHueValueChanged(int nValue);
    void OnVideoSaturationValueChanged(int nValue);
    void OnVideoParamReset();
    void OnDevPropertSet();
    void OnTimeout();

private:
    QGroupBox* CreateDeviceGroup();
    QGroupBox* CreateParamGroup();
    void FillDevices();
    void FillPositions();
    void ConnectControls();
    static int PositionCount();
    static QString PositionText(int nItem);
    // The engine channel this dialog is for; null before the engine started.
    CKVChannel* Channel() const;
    void SetParamControlsEnabled(bool bEnable);
    // Range and value of every slider from the device, without writing
    // anything back.
    void ReadSliders();
    void WriteParam(int nParam, int nValue);
    // Shows the signal, measures the rate at once and then every second.
    void UpdateSignalStatus();
    void ShowSignalStatus();

    const int m_nChannel;
    const bool m_bBusy;
    IDeviceCallback* const m_pCallback;
    QTimer m_timer;

    QLineEdit* m_pName = nullptr;
    QComboBox* m_pDevice = nullptr;
    QComboBox* m_pPosition = nullptr;
    QLabel* m_pSignal = nullptr;
    QLabel* m_pRate = nullptr;
    QPushButton* m_pAdvanced = nullptr;
    QSlider* m_apSlider[PARAM_COUNT] = {};
    QPushButton* m_pDefault = nullptr;
};
