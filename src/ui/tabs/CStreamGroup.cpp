#include "ui/tabs/CStreamGroup.h"

#include "common/AppInfo.h"
#include "common/StreamDestination.h"
#include "common/StreamFields.h"
#include "engine/CKVCapture.h"
#include "engine/KVMediaError.h"
#include "media/KVStreamKey.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
const int s_nTestTimeout = 1000;
const int s_nMaxSrtLatency = 60000;
}

CStreamGroup::CStreamGroup(QWidget* pParent)
    : QGroupBox(tr("RTMP"), pParent)
{
    for (int i = 0; i < CSettings::STREAM_DESTINATION_COUNT; ++i)
        m_aDestinations[i] = g_settings.GetStreamDestination(i);

    QVBoxLayout* pBoxLayout = new QVBoxLayout(this);
    QHBoxLayout* pChooserRow = new QHBoxLayout;
    m_pCmbDestination = new QComboBox(this);
    m_pCmbDestination->setObjectName(QStringLiteral("cmbStreamDestination"));
    pChooserRow->addWidget(new QLabel(tr("Destination:"), this));
    pChooserRow->addWidget(m_pCmbDestination, 1);
    pBoxLayout->addLayout(pChooserRow);

    m_pCkbRtmp = new QCheckBox(tr("Push stream to RTMP server."), this);
    m_pCkbRtmp->setObjectName(QStringLiteral("ckbRtmp"));
    pBoxLayout->addWidget(m_pCkbRtmp);
    pBoxLayout->addWidget(CreateFields());
    QHBoxLayout* pTestRow = new QHBoxLayout;
    m_pBtnRtmpTest = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("Test Connect"), this);
    m_pBtnRtmpTest->setObjectName(QStringLiteral("btnRtmpTest"));
    m_pBtnRtmpTest->setToolTip(tr("Tests every destination that is switched on"));
    pTestRow->addStretch(1);
    pTestRow->addWidget(m_pBtnRtmpTest);
    pBoxLayout->addLayout(pTestRow);
    for (int i = 0; i < CSettings::STREAM_DESTINATION_COUNT; ++i)
    {
        m_pCmbDestination->addItem(QString());
        RefreshChooserText(i);
    }

    ShowDestination();

    connect(m_pCmbDestination, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CStreamGroup::OnDestinationChosen);
    connect(m_pCkbRtmp, &QCheckBox::stateChanged, this, &CStreamGroup::OnCkbRtmp);
    connect(m_pBtnRtmpTest, &QPushButton::clicked, this, &CStreamGroup::OnBtnTest);
    connect(m_pBtnRtmpKeyShow, &QToolButton::toggled, this, &CStreamGroup::OnBtnKeyShow);
    connect(m_pBtnTlsCa, &QToolButton::clicked, this, &CStreamGroup::OnBtnTlsCa);
    connect(m_pEdtTlsCa, &QLineEdit::editingFinished, this, &CStreamGroup::OnTlsCaEdited);
    connect(m_pSpnSrtLatency, QOverload<int>::of(&QSpinBox::valueChanged), this, &CStreamGroup::OnSrtLatencyChanged);
    for (QLineEdit* pEdit : {m_pEdtName, m_pEdtRtmpIp, m_pEdtRtmpPort, m_pEdtRtmpStream, m_pEdtSrtPassphrase})
        connect(pEdit, &QLineEdit::textChanged, this, &CStreamGroup::OnEdtTextChanged);
}

QWidget* CStreamGroup::CreateFields()
{
    QWidget* pFields = new QWidget(this);
    QGridLayout* pGrid = new QGridLayout;
    pGrid->setContentsMargins(0, 0, 0, 0);
    auto addRow = [&](int nRow, const QString& strLabel, QWidget* pField, QLabel** ppLabel) {
        QLabel* pLabel = new QLabel(strLabel, pFields);
        pGrid->addWidget(pLabel, nRow, 0);
        pGrid->addWidget(pField, nRow, 1);
        if (ppLabel)
            *ppLabel = pLabel;
    };
    auto newEdit = [&](const char* pszName) {
        QLineEdit* pEdit = new QLineEdit(pFields);
        pEdit->setObjectName(QLatin1String(pszName));
        return pEdit;
    };
    m_pEdtName = newEdit("edtStreamName");
    addRow(0, tr("Name:"), m_pEdtName, nullptr);
    m_pEdtRtmpIp = newEdit("edtRtmpIp");
    m_pEdtRtmpIp->setToolTip(tr("An IP address, or the server URL a platform gives (rtmp://, rtmps:// or srt://)"));
    addRow(1, tr("IP Address:"), m_pEdtRtmpIp, &m_pLblRtmpIp);
    m_pEdtRtmpPort = newEdit("edtRtmpPort");
    addRow(2, tr("Port:"), m_pEdtRtmpPort, &m_pLblRtmpPort);
    m_pEdtRtmpStream = newEdit("edtRtmpStream");
    m_pEdtRtmpStream->setToolTip(tr("The stream name, or the stream key a platform gives"));
    // The stream name is the platform's stream key: whoever has it can
    // stream in the user's name, so it stays hidden unless asked for.
    m_pEdtRtmpStream->setEchoMode(QLineEdit::Password);
    addRow(3, tr("Stream Name:"), m_pEdtRtmpStream, &m_pLblRtmpStream);
    m_pBtnRtmpKeyShow = new QToolButton(pFields);
    m_pBtnRtmpKeyShow->setObjectName(QStringLiteral("btnRtmpKeyShow"));
    m_pBtnRtmpKeyShow->setCheckable(true);
    m_pBtnRtmpKeyShow->setText(QStringLiteral("\u25c9"));
    m_pBtnRtmpKeyShow->setToolTip(tr("Show the stream key"));
    pGrid->addWidget(m_pBtnRtmpKeyShow, 3, 2);

    m_pSpnSrtLatency = new QSpinBox(pFields);
    m_pSpnSrtLatency->setObjectName(QStringLiteral("spnSrtLatency"));
    m_pSpnSrtLatency->setRange(0, s_nMaxSrtLatency);
    m_pSpnSrtLatency->setSpecialValueText(tr("Default"));
    addRow(4, tr("SRT latency (ms):"), m_pSpnSrtLatency, &m_pLblSrtLatency);
    m_pEdtSrtPassphrase = newEdit("edtSrtPassphrase");
    m_pEdtSrtPassphrase->setEchoMode(QLineEdit::Password);
    addRow(5, tr("SRT passphrase:"), m_pEdtSrtPassphrase, &m_pLblSrtPassphrase);
    m_pEdtRtmpUrl = newEdit("edtRtmpUrl");
    m_pEdtRtmpUrl->setReadOnly(true);
    addRow(6, tr("Complete URL:"), m_pEdtRtmpUrl, &m_pLblRtmpUrl);

    m_pEdtTlsCa = newEdit("edtTlsCa");
    m_pEdtTlsCa->setText(QDir::toNativeSeparators(g_settings.GetTlsCaFile()));
    // Emptied, the system's certificates alone are trusted again.
    m_pEdtTlsCa->setClearButtonEnabled(true);
    m_pEdtTlsCa->setPlaceholderText(tr("The system's certificates"));
    m_pEdtTlsCa->setToolTip(tr("A PEM file of further certificate authorities for rtmps servers"));
    addRow(7, tr("CA certificates:"), m_pEdtTlsCa, nullptr);
    m_pBtnTlsCa = new QToolButton(pFields);
    m_pBtnTlsCa->setText(QStringLiteral("..."));
    m_pBtnTlsCa->setToolTip(tr("Choose a certificate file"));
    m_pBtnTlsCa->setObjectName(QStringLiteral("btnTlsCa"));
    pGrid->addWidget(m_pBtnTlsCa, 7, 2);

    pFields->setLayout(pGrid);
    return pFields;
}

bool CStreamGroup::IsStreaming() const
{
    for (const SStreamDestination& destination : m_aDestinations)
    {
        if (destination.bEnabled)
            return true;
    }
    return false;
}

void CStreamGroup::SetControlsEnabled(bool bEnable)
{
    m_bControlsEnabled = bEnable;
    for (QWidget* pWidget :
         {static_cast<QWidget*>(m_pEdtName), static_cast<QWidget*>(m_pCkbRtmp), static_cast<QWidget*>(m_pLblRtmpIp),
          static_cast<QWidget*>(m_pLblRtmpPort), static_cast<QWidget*>(m_pLblRtmpStream),
          static_cast<QWidget*>(m_pLblSrtLatency), static_cast<QWidget*>(m_pLblSrtPassphrase),
          static_cast<QWidget*>(m_pEdtTlsCa), static_cast<QWidget*>(m_pBtnTlsCa)})
        pWidget->setEnabled(bEnable);
    SetFieldsEnabled(bEnable && m_pCkbRtmp->isChecked());
    // The stream's address stays readable while it is being pushed to, and
    // the chooser, to read the others'.
    m_pLblRtmpUrl->setEnabled(m_pCkbRtmp->isChecked());
    m_pEdtRtmpUrl->setEnabled(m_pCkbRtmp->isChecked());
}

void CStreamGroup::SetFieldsEnabled(bool bEnable)
{
    const bool bUrlServer = IsStreamServerUrl(m_pEdtRtmpIp->text());
    const bool bSrt = IsSrtServerUrl(m_pEdtRtmpIp->text());
    m_pEdtRtmpIp->setEnabled(bEnable);
    // A server URL carries its own port.
    m_pEdtRtmpPort->setEnabled(bEnable && !bUrlServer);
    m_pEdtRtmpStream->setEnabled(bEnable);
    m_pSpnSrtLatency->setEnabled(bEnable && bSrt);
    m_pEdtSrtPassphrase->setEnabled(bEnable && bSrt);
    m_pLblRtmpUrl->setEnabled(bEnable);
    m_pEdtRtmpUrl->setEnabled(bEnable);
    m_pBtnRtmpTest->setEnabled(bEnable);
}

void CStreamGroup::ShowDestination()
{
    const SStreamDestination& destination = m_aDestinations[m_nCurrent];
    {
        const QSignalBlocker blockName(m_pEdtName);
        const QSignalBlocker blockPush(m_pCkbRtmp);
        const QSignalBlocker blockIp(m_pEdtRtmpIp);
        const QSignalBlocker blockPort(m_pEdtRtmpPort);
        const QSignalBlocker blockStream(m_pEdtRtmpStream);
        const QSignalBlocker blockLatency(m_pSpnSrtLatency);
        const QSignalBlocker blockPassphrase(m_pEdtSrtPassphrase);
        m_pEdtName->setText(destination.strName);
        m_pEdtName->setPlaceholderText(GetStreamDestinationName(SStreamDestination(), m_nCurrent));
        m_pCkbRtmp->setChecked(destination.bEnabled);
        m_pEdtRtmpIp->setText(destination.strServer);
        m_pEdtRtmpPort->setText(destination.strPort);
        m_pEdtRtmpStream->setText(destination.strKey);
        m_pSpnSrtLatency->setValue(destination.nSrtLatencyMs);
        m_pEdtSrtPassphrase->setText(destination.strSrtPassphrase);
    }
    ShowUrl();
    SetControlsEnabled(m_bControlsEnabled);
}

void CStreamGroup::OnDestinationChosen(int nIndex)
{
    if (nIndex < 0 || nIndex >= CSettings::STREAM_DESTINATION_COUNT)
        return;
    m_nCurrent = nIndex;
    ShowDestination();
}

void CStreamGroup::OnCkbRtmp(int nState)
{
    m_aDestinations[m_nCurrent].bEnabled = nState == Qt::Checked;
    SetFieldsEnabled(m_bControlsEnabled && nState == Qt::Checked);
    StoreDestination();
    emit signalStreamingChanged();
}

void CStreamGroup::OnEdtTextChanged(const QString& strText)
{
    Q_UNUSED(strText);
    if (RejectUnstorableText())
        return;
    SStreamDestination& destination = m_aDestinations[m_nCurrent];
    destination.strName = m_pEdtName->text();
    destination.strServer = m_pEdtRtmpIp->text();
    destination.strPort = m_pEdtRtmpPort->text();
    destination.strKey = m_pEdtRtmpStream->text();
    destination.strSrtPassphrase = m_pEdtSrtPassphrase->text();
    SetFieldsEnabled(m_bControlsEnabled && destination.bEnabled);
    StoreDestination();
}

void CStreamGroup::OnSrtLatencyChanged(int nValue)
{
    m_aDestinations[m_nCurrent].nSrtLatencyMs = nValue;
    StoreDestination();
}

bool CStreamGroup::RejectUnstorableText()
{
    const SStreamDestination& stored = m_aDestinations[m_nCurrent];
    const QString astrStored[] = {stored.strServer, stored.strPort, stored.strKey};
    QLineEdit* const apEdits[] = {m_pEdtRtmpIp, m_pEdtRtmpPort, m_pEdtRtmpStream};
    const ERtmpField aeFields[] = {RTMP_FIELD_ADDRESS, RTMP_FIELD_PORT, RTMP_FIELD_STREAM};
    for (int i = 0; i < 3; ++i)
    {
        QLineEdit* pEdit = apEdits[i];
        if (CSettings::IsRtmpTextStorable(pEdit->text()))
            continue;
        // The stored text is the last one accepted; taking it back (without
        // storing again) keeps the record readable.
        {
            const QSignalBlocker blocker(pEdit);
            pEdit->setText(astrStored[i]);
        }
        ShowCriticalMessageYes(nullptr, GetRtmpFieldMessage(aeFields[i]));
        return true;
    }
    return false;
}

void CStreamGroup::StoreDestination()
{
    SStreamDestination& destination = m_aDestinations[m_nCurrent];
    destination.strUrl = ComposeStreamUrl(destination);
    g_settings.SetStreamDestination(m_nCurrent, destination);
    ShowUrl();
    RefreshChooserText(m_nCurrent);
}

void CStreamGroup::ShowUrl()
{
    const QString& strUrl = m_aDestinations[m_nCurrent].strUrl;
    m_pEdtRtmpUrl->setText(m_pBtnRtmpKeyShow->isChecked() ? strUrl : MaskStreamKey(strUrl));
}

void CStreamGroup::RefreshChooserText(int nIndex)
{
    const SStreamDestination& destination = m_aDestinations[nIndex];
    const QString strName = GetStreamDestinationName(destination, nIndex);
    m_pCmbDestination->setItemText(nIndex,
                                   destination.bEnabled ? tr("%1 (on)").arg(strName) : tr("%1 (off)").arg(strName));
}

void CStreamGroup::OnBtnKeyShow(bool bShow)
{
    m_pEdtRtmpStream->setEchoMode(bShow ? QLineEdit::Normal : QLineEdit::Password);
    m_pEdtSrtPassphrase->setEchoMode(bShow ? QLineEdit::Normal : QLineEdit::Password);
    m_pBtnRtmpKeyShow->setToolTip(bShow ? tr("Hide the stream key") : tr("Show the stream key"));
    ShowUrl();
}

bool CStreamGroup::ValidateDestinations()
{
    // Every change is stored at once, so the stored ones are the ones shown.
    const QString strError = GetEnabledStreamDestinationsError();
    if (strError.isEmpty())
        return true;
    ShowCriticalMessageYes(nullptr, strError);
    return false;
}

void CStreamGroup::OnBtnTest()
{
    if (!ValidateDestinations())
        return;
    g_capture.ApplyStoredTlsCaFile();
    // Blocks the window for at most the time limit per destination, as a
    // deliberate test the user is waiting for.
    QStringList astrLines;
    QString strSingle;
    for (int i = 0; i < CSettings::STREAM_DESTINATION_COUNT; ++i)
    {
        const SStreamDestination& destination = m_aDestinations[i];
        if (!destination.bEnabled || destination.strUrl.isEmpty())
            continue;
        QString strReason;
        const bool bPassed = TestRtmpServer(destination.strUrl, s_nTestTimeout, strReason);
        strSingle = bPassed ? tr("Test successful!") : tr("Test fail!") + QLatin1Char('\n') + strReason;
        const QString strResult = bPassed ? tr("Test successful!") : tr("Test fail!") + QLatin1Char(' ') + strReason;
        astrLines << tr("%1: %2").arg(GetStreamDestinationName(destination, i), strResult);
    }
    if (astrLines.isEmpty())
        return;
    // One destination reads as the single stream always did.
    ShowInformationMessageYes(this, astrLines.size() == 1 ? strSingle : astrLines.join(QLatin1Char('\n')));
}

void CStreamGroup::OnBtnTlsCa()
{
    const QString strPath = QFileDialog::getOpenFileName(this, tr("Certificate authorities"), m_pEdtTlsCa->text(),
                                                         tr("Certificates (*.pem *.crt);;All files (*)"));
    if (strPath.isEmpty())
        return;
    m_pEdtTlsCa->setText(QDir::toNativeSeparators(strPath));
    OnTlsCaEdited();
}

void CStreamGroup::OnTlsCaEdited()
{
    g_settings.SetTlsCaFile(QDir::fromNativeSeparators(m_pEdtTlsCa->text().trimmed()));
}
