// The Settings tab's stream box: up to four destinations, one shown at a
// time through a chooser. Each has its name, its on/off box, its server
// (an address or a platform's server URL), port, key (masked unless asked
// for), SRT latency and passphrase; the box also holds the certificate
// authorities rtmps servers are checked against. Every change is stored at
// once.
#pragma once

#include "config/CSettings.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

class CStreamGroup : public QGroupBox
{
    Q_OBJECT

public:
    explicit CStreamGroup(QWidget* pParent);

    // Whether any destination is switched on.
    bool IsStreaming() const;
    // False while a session runs; the shown address stays readable while
    // it is being streamed to.
    void SetControlsEnabled(bool bEnable);

signals:
    // A destination was switched on or off.
    void signalStreamingChanged();

private slots:
    void OnDestinationChosen(int nIndex);
    void OnCkbRtmp(int nState);
    void OnEdtTextChanged(const QString& strText);
    void OnSrtLatencyChanged(int nValue);
    void OnBtnKeyShow(bool bShow);
    void OnBtnTest();
    void OnBtnTlsCa();
    void OnTlsCaEdited();

private:
    QWidget* CreateFields();
    // Puts the chosen destination's fields on screen without storing them.
    void ShowDestination();
    // A "," would break the stored record: the edit holding one gets its
    // last stored text back and the user that field's message. True then.
    bool RejectUnstorableText();
    // Takes the fields into the chosen destination, composes its address
    // and stores it.
    void StoreDestination();
    void ShowUrl();
    void RefreshChooserText(int nIndex);
    void SetFieldsEnabled(bool bEnable);
    // Shows the first problem of a switched-on destination; true when there
    // is none.
    bool ValidateDestinations();

    SStreamDestination m_aDestinations[CSettings::STREAM_DESTINATION_COUNT];
    int m_nCurrent = 0;
    bool m_bControlsEnabled = true;

    QComboBox* m_pCmbDestination = nullptr;
    QLineEdit* m_pEdtName = nullptr;
    QCheckBox* m_pCkbRtmp = nullptr;
    QLabel* m_pLblRtmpIp = nullptr;
    QLineEdit* m_pEdtRtmpIp = nullptr;
    QLabel* m_pLblRtmpPort = nullptr;
    QLineEdit* m_pEdtRtmpPort = nullptr;
    QLabel* m_pLblRtmpStream = nullptr;
    QLineEdit* m_pEdtRtmpStream = nullptr;
    QToolButton* m_pBtnRtmpKeyShow = nullptr;
    QLabel* m_pLblSrtLatency = nullptr;
    QSpinBox* m_pSpnSrtLatency = nullptr;
    QLabel* m_pLblSrtPassphrase = nullptr;
    QLineEdit* m_pEdtSrtPassphrase = nullptr;
    QLabel* m_pLblRtmpUrl = nullptr;
    QLineEdit* m_pEdtRtmpUrl = nullptr;
    QPushButton* m_pBtnRtmpTest = nullptr;
    QLineEdit* m_pEdtTlsCa = nullptr;
    QToolButton* m_pBtnTlsCa = nullptr;
};
