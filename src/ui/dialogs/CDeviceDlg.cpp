#include "ui/dialogs/CDeviceDlg.h"

#include "config/CLayout.h"
#include "config/CSettings.h"
#include "engine/CKVCapture.h"
#include "ui/tabs/IDeviceCallback.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace
{
const int DIALOG_WIDTH = 550;
const int DIALOG_HEIGHT = 180;
const int RATE_INTERVAL_MS = 1000;
// Characters of a device name the device list shows when closed.
const int DEVICE_NAME_CHARS = 18;

// The input connectors as the capture library numbers them; names of
// connectors, shown as they are in every language.
const char* const s_apszInputTypes[] = {"HDMI", "VGA", "Component", "CVBS", "SVideo", "SDI", "Second Component"};

bool IsIdeograph(QChar ch)
{
    return ch.unicode() >= 0x4E00 && ch.unicode() <= 0x9FA5;
}

// The name limit once nIdeographs ideographs are in: it falls by two for
// every one or two of them.
int LimitForIdeographs(int nIdeographs)
{
    return qMax(0, (CDeviceDlg::NAME_MAX_LENGTH - nIdeographs) & ~1);
}
}

CDeviceDlg::CDeviceDlg(int nChannel, bool bBusy, IDeviceCallback* pDevice, QWidget* pParent)
    : QDialog(pParent)
    , m_nChannel(nChannel)
    , m_bBusy(bBusy)
    , m_pCallback(pDevice)
{
    // A dialog with a title and a close button only: there is nothing to
    // confirm or cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(tr("Video Option"));
    m_timer.setInterval(RATE_INTERVAL_MS);

    QHBoxLayout* pLayout = new QHBoxLayout(this);
    pLayout->addWidget(CreateDeviceGroup());
    pLayout->addWidget(CreateParamGroup());

    FillDevices();
    FillPositions();
    m_pName->setText(g_settings.GetChannelName(m_nChannel));

    // Asked of the device list itself: device numbers count every device,
    // usable or not, so comparing one with the number of usable devices
    // would turn the controls off for a device late in the list.
    if (g_capture.IsDeviceOrdered(g_settings.GetChannelDevice(m_nChannel)))
    {
        SetParamControlsEnabled(true);
        ReadSliders();
    }
    else
    {
        SetParamControlsEnabled(false);
        m_pPosition->setEnabled(false);
    }
    if (m_pDevice->currentIndex() > 0)
        UpdateSignalStatus();
    // While recording or streaming the dialog shows, but changes nothing.
    if (m_bBusy)
        setEnabled(false);

    ConnectControls();
    resize(DIALOG_WIDTH, DIALOG_HEIGHT);
}

QGroupBox* CDeviceDlg::CreateDeviceGroup()
{
    QGroupBox* pGroup = new QGroupBox(tr("Device"), this);
    m_pName = new QLineEdit(pGroup);
    m_pName->setMaxLength(NAME_MAX_LENGTH);
    m_pDevice = new QComboBox(pGroup);
    // A long device name must not stretch the dialog; the open list shows it whole.
    m_pDevice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pDevice->setMinimumContentsLength(DEVICE_NAME_CHARS);
    m_pPosition = new QComboBox(pGroup);
    m_pSignal = new QLabel(pGroup);
    m_pRate = new QLabel(pGroup);
    m_pAdvanced = new QPushButton(tr("Advanced"), pGroup);

    QGridLayout* pGrid = new QGridLayout(pGroup);
    pGrid->addWidget(new QLabel(tr("Name:"), pGroup), 0, 0);
    pGrid->addWidget(m_pName, 0, 1);
    pGrid->addWidget(new QLabel(tr("Device:"), pGroup), 1, 0);
    pGrid->addWidget(m_pDevice, 1, 1);
    pGrid->addWidget(new QLabel(tr("Position:"), pGroup), 2, 0);
    pGrid->addWidget(m_pPosition, 2, 1);

    QHBoxLayout* pStatus = new QHBoxLayout;
    pStatus->addWidget(m_pSignal);
    pStatus->addWidget(m_pRate);
    pStatus->addStretch(1);
    pGrid->addLayout(pStatus, 3, 0, 1, 2);
    pGrid->setRowStretch(4, 1);
    QHBoxLayout* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(m_pAdvanced);
    pGrid->addLayout(pButtons, 5, 0, 1, 2);
    pGrid->setColumnStretch(1, 1);
    return pGroup;
}

QGroupBox* CDeviceDlg::CreateParamGroup()
{
    QGroupBox* pGroup = new QGroupBox(tr("Video Params"), this);
    QGridLayout* pGrid = new QGridLayout;
    const struct
    {
        int nParam;
        QString strLabel;
    } aRows[] = {
        {PARAM_CONTRAST, tr("Contrast:")},
        {PARAM_BRIGHTNESS, tr("Brightness:")},
        {PARAM_HUE, tr("Hue:")},
        {PARAM_SATURATION, tr("Saturation:")},
    };
    int nRow = 0;
    for (const auto& row : aRows)
    {
        QSlider* pSlider = new QSlider(Qt::Horizontal, pGroup);
        m_apSlider[row.nParam] = pSlider;
        pGrid->addWidget(new QLabel(row.strLabel, pGroup), nRow, 0);
        pGrid->addWidget(pSlider, nRow, 1);
        ++nRow;
    }
    pGrid->setColumnStretch(1, 1);

    m_pDefault = new QPushButton(tr("Default"), pGroup);
    QHBoxLayout* pButtons = new QHBoxLayout;
    pButtons->addStretch(1);
    pButtons->addWidget(m_pDefault);

    QVBoxLayout* pLayout = new QVBoxLayout(pGroup);
    pLayout->addLayout(pGrid);
    pLayout->addLayout(pButtons);
    pLayout->addStretch(1);
    return pGroup;
}

void CDeviceDlg::FillDevices()
{
    const int nStored = g_settings.GetChannelDevice(m_nChannel);
    m_pDevice->addItem(tr("(Not set device)"), -1);
    for (int nEntry = 0; nEntry < g_capture.GetOrderedDeviceCount(); ++nEntry)
    {
        const int nDevice = g_capture.GetOrderedDevice(nEntry);
        // A device feeds one channel: those of the other channels are not offered.
        if (nDevice < 0 || (nDevice != nStored && g_capture.IsDeviceInUse(nDevice)))
            continue;
        QString strName;
        g_capture.GetDeviceName(true, nDevice, strName);
        m_pDevice->addItem(strName, nDevice);
        if (nDevice == nStored)
            m_pDevice->setCurrentIndex(m_pDevice->count() - 1);
    }
}

void CDeviceDlg::FillPositions()
{
    const int nCount = PositionCount();
    m_pPosition->addItem(tr("(Not set position)"));
    for (int nPosition = 0; nPosition < nCount; ++nPosition)
        m_pPosition->addItem(PositionText(nPosition + 1));

    const int nPosition = g_settings.GetChannelPosition(m_nChannel);
    if (nPosition < nCount && m_pDevice->currentIndex() > 0)
        m_pPosition->setCurrentIndex(nPosition + 1);
}

void CDeviceDlg::ConnectControls()
{
    connect(m_pDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CDeviceDlg::OnVideoDeviceChanged);
    connect(m_pPosition, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CDeviceDlg::OnVideoPosChanged);
    connect(m_pName, &QLineEdit::textChanged, this, &CDeviceDlg::OnTextChanged);
    connect(m_apSlider[PARAM_BRIGHTNESS], &QSlider::valueChanged, this, &CDeviceDlg::OnVideoBrightnessValueChanged);
    connect(m_apSlider[PARAM_CONTRAST], &QSlider::valueChanged, this, &CDeviceDlg::OnVideoContrastValueChanged);
    connect(m_apSlider[PARAM_HUE], &QSlider::valueChanged, this, &CDeviceDlg::OnVideoHueValueChanged);
    connect(m_apSlider[PARAM_SATURATION], &QSlider::valueChanged, this, &CDeviceDlg::OnVideoSaturationValueChanged);
    connect(m_pDefault, &QPushButton::pressed, this, &CDeviceDlg::OnVideoParamReset);
    connect(m_pAdvanced, &QPushButton::clicked, this, &CDeviceDlg::OnDevPropertSet);
    connect(&m_timer, &QTimer::timeout, this, &CDeviceDlg::OnTimeout);
}

int CDeviceDlg::PositionCount()
{
    return g_layout.GetPositionCount(g_settings.GetLayoutIndex());
}

QString CDeviceDlg::PositionText(int nItem)
{
    return tr("Position %1").arg(nItem);
}

QSlider* CDeviceDlg::GetSlider(int nParam) const
{
    return (nParam >= 0 && nParam < PARAM_COUNT) ? m_apSlider[nParam] : nullptr;
}

CKVChannel* CDeviceDlg::Channel() const
{
    return g_capture.GetChannel(m_nChannel);
}

// ---- Name ----

int CDeviceDlg::NameLimit(const QString& strName)
{
    int nIdeographs = 0;
    for (QChar ch : strName)
    {
        if (IsIdeograph(ch))
            ++nIdeographs;
    }
    return LimitForIdeographs(nIdeographs);
}

QString CDeviceDlg::FitName(const QString& strName)
{
    QString strClean = strName;
    strClean.remove(QLatin1Char(','));
    // The limit only falls as the name grows, so the first character that
    // breaks it ends the name.
    int nIdeographs = 0;
    int nLength = 0;
    while (nLength < strClean.length())
    {
        const QChar ch = strClean.at(nLength);
        int nNext = nLength + 1;
        if (ch.isHighSurrogate())
        {
            // Half a character, as a full edit leaves of a two-unit
            // character typed at its end, is dropped.
            if (nNext >= strClean.length() || !strClean.at(nNext).isLowSurrogate())
                break;
            ++nNext;
        }
        if (IsIdeograph(ch))
            ++nIdeographs;
        if (nNext > LimitForIdeographs(nIdeographs))
            break;
        nLength = nNext;
    }
    return strClean.left(nLength);
}

void CDeviceDlg::OnTextChanged(const QString& strText)
{
    const QString strName = FitName(strText);
    {
        const QSignalBlocker blocker(m_pName);
        if (strName != strText)
        {
            const int nCursor = m_pName->cursorPosition();
            m_pName->setText(strName);
            m_pName->setCursorPosition(qMin(nCursor, strName.length()));
        }
        m_pName->setMaxLength(NameLimit(strName));
    }
    if (m_pCallback)
        m_pCallback->SetChannelTitle(m_nChannel, strName);
    g_settings.SetChannelName(m_nChannel, strName);

    // The chosen position says whose it is.
    const int nItem = m_pPosition->currentIndex();
    if (nItem > 0)
        m_pPosition->setItemText(nItem, PositionText(nItem) + QStringLiteral(" (%1) ").arg(strName));
}

// ---- Device and position ----

void CDeviceDlg::OnVideoDeviceChanged(int nIndex)
{
    const int nDevice = m_pDevice->itemData(nIndex).toInt();
    if (nDevice == g_settings.GetChannelDevice(m_nChannel))
        return;

    SetParamControlsEnabled(nIndex != 0);
    const int nPosition = g_settings.GetChannelPosition(m_nChannel);
    const bool bKeepPosition = nIndex >= 1 && nPosition >= 0 && nPosition < PositionCount();
    m_pPosition->setCurrentIndex(bKeepPosition ? nPosition + 1 : 0);

    if (m_pCallback)
        m_pCallback->OnDeviceSelected(m_nChannel, nDevice);
    g_settings.SetChannelDevice(m_nChannel, nDevice);

    m_timer.stop();
    m_pSignal->clear();
    m_pRate->clear();
    if (nIndex >= 1)
    {
        ReadSliders();
        UpdateSignalStatus();
    }
    m_pPosition->setEnabled(nIndex != 0);
}

void CDeviceDlg::OnVideoPosChanged(int nIndex)
{
    if (m_pCallback)
        m_pCallback->SetPositionIndex(m_nChannel, nIndex);
    const int nCount = PositionCount();
    for (int nItem = 1; nItem <= nCount && nItem < m_pPosition->count(); ++nItem)
        m_pPosition->setItemText(nItem, PositionText(nItem));
}

// ---- Signal and rate ----

void CDeviceDlg::UpdateSignalStatus()
{
    ShowSignalStatus();
    OnTimeout();
    m_timer.start();
}

void CDeviceDlg::ShowSignalStatus()
{
    int nNoSignal = 0;
    int nInputType = -1;
    if (m_pCallback)
        m_pCallback->GetSignalStatus(m_nChannel, nNoSignal, nInputType);
    QString strText;
    if (nNoSignal)
        strText = tr("No signal");
    else if (nInputType >= 0 && nInputType < int(sizeof(s_apszInputTypes) / sizeof(s_apszInputTypes[0])))
        strText = QString::fromLatin1(s_apszInputTypes[nInputType]);
    m_pSignal->setText(QStringLiteral("%1: %2.").arg(tr("Capture signal status"), strText));
}

void CDeviceDlg::OnTimeout()
{
    float afRates[2] = {0.0f, 0.0f};
    if (m_pCallback)
        m_pCallback->GetChannelRates(m_nChannel, afRates);
    m_pRate->setText(QStringLiteral("%1 %2").arg(QString::asprintf("%.2f", double(afRates[0])), tr("FPS")));
    // A cable plugged in or pulled while the dialog is open shows as well.
    if (m_timer.isActive())
        ShowSignalStatus();
}

// ---- Picture controls ----

void CDeviceDlg::SetParamControlsEnabled(bool bEnable)
{
    m_pAdvanced->setEnabled(bEnable);
    for (QSlider* pSlider : m_apSlider)
        pSlider->setEnabled(bEnable);
    m_pDefault->setEnabled(bEnable);
}

void CDeviceDlg::ReadSliders()
{
    CKVChannel* pChannel = Channel();
    for (int nParam = 0; nParam < PARAM_COUNT; ++nParam)
    {
        QSlider* pSlider = m_apSlider[nParam];
        int nMin = 0;
        int nMax = 0;
        int nDefault = 0;
        int nValue = 0;
        const bool bKnown = pChannel && pChannel->GetVideoProcParamRange(nParam, nMin, nMax, nDefault) &&
                            pChannel->GetVideoProcParam(nParam, nValue);
        const QSignalBlocker blocker(pSlider);
        if (bKnown)
        {
            pSlider->setRange(nMin, nMax);
            pSlider->setValue(nValue);
        }
        // A control the device does not have, or a device that could not be
        // opened, leaves the slider inert rather than pretending to work.
        pSlider->setEnabled(bKnown);
    }
}

void CDeviceDlg::WriteParam(int nParam, int nValue)
{
    if (CKVChannel* pChannel = Channel())
        pChannel->SetVideoProcParam(nParam, nValue);
}

void CDeviceDlg::OnVideoBrightnessValueChanged(int nValue)
{
    WriteParam(PARAM_BRIGHTNESS, nValue);
}

void CDeviceDlg::OnVideoContrastValueChanged(int nValue)
{
    WriteParam(PARAM_CONTRAST, nValue);
}

void CDeviceDlg::OnVideoHueValueChanged(int nValue)
{
    WriteParam(PARAM_HUE, nValue);
}

void CDeviceDlg::OnVideoSaturationValueChanged(int nValue)
{
    WriteParam(PARAM_SATURATION, nValue);
}

void CDeviceDlg::OnVideoParamReset()
{
    CKVChannel* pChannel = Channel();
    if (!pChannel)
        return;
    for (int nParam : {PARAM_CONTRAST, PARAM_BRIGHTNESS, PARAM_HUE, PARAM_SATURATION})
    {
        int nMin = 0;
        int nMax = 0;
        int nDefault = 0;
        if (!pChannel->GetVideoProcParamRange(nParam, nMin, nMax, nDefault))
            continue;
        m_apSlider[nParam]->setValue(nDefault);
        // Also when the slider already stood there: the device may not.
        pChannel->SetVideoProcParam(nParam, nDefault);
    }
}

void CDeviceDlg::OnDevPropertSet()
{
    CKVChannel* pChannel = Channel();
    if (!pChannel)
        return;
    pChannel->ShowPropertyDialog(KVS_WINDOW(winId()));
    // The library's dialog sets the same controls; follow what it left.
    ReadSliders();
}
