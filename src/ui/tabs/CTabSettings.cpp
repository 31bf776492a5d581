#include "ui/tabs/CTabSettings.h"

#include "common/AppInfo.h"
#include "engine/KVMediaError.h"
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "common/DiskSpace.h"
#include "common/Formatting.h"
#include "common/StreamDestination.h"
#include "ui/projection/CProjectionController.h"
#include "ui/tabs/CStreamGroup.h"
#include "ui/tabs/CTabScreen.h"
#include "ui/tabs/IDeviceCallback.h"
#include "ui/windows/CLastingMessages.h"
#include "engine/IKVRecordNotify.h"
#include "platform/Log.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
const char* const s_szAudioMessageKey = "audio";
const int s_nSmallWidth = 768;
const int s_nSmallHeight = 576;

// Bitrate table entries the output size suggests.
const int s_nBitrate4000 = 2;
const int s_nBitrate2000 = 3;
const int s_nBitrate1000 = 4;
const int s_nBitrate800 = 5;

// Selects the item whose data is nData; the first one when none has it.
void SelectByData(QComboBox* pCombo, int nData)
{
    const int nItem = pCombo->findData(nData);
    pCombo->setCurrentIndex(nItem >= 0 ? nItem : 0);
}

int SelectedData(const QComboBox* pCombo)
{
    return pCombo->currentData().toInt();
}

// The tab window is narrow: two labels and two lists side by side do not
// fit it in any language, so each pair is a label above its list, two pairs
// to a row (nRow, nColumn count pairs).
QGridLayout* CreatePairGrid()
{
    QGridLayout* pGrid = new QGridLayout;
    pGrid->setColumnStretch(0, 1);
    pGrid->setColumnStretch(1, 1);
    return pGrid;
}

QComboBox* AddComboPair(QGridLayout* pGrid, int nRow, int nColumn, const QString& strLabel, QWidget* pParent,
                        const char* pszName, QLabel** ppLabel = nullptr, int nColumnSpan = 1)
{
    QLabel* pLabel = new QLabel(strLabel, pParent);
    QComboBox* pCombo = new QComboBox(pParent);
    pCombo->setObjectName(QLatin1String(pszName));
    pLabel->setBuddy(pCombo);
    pGrid->addWidget(pLabel, 2 * nRow, nColumn, 1, nColumnSpan);
    pGrid->addWidget(pCombo, 2 * nRow + 1, nColumn, 1, nColumnSpan);
    if (ppLabel)
        *ppLabel = pLabel;
    return pCombo;
}
}

int BitrateIndexForSize(int nWidth, int nHeight)
{
    if (nWidth >= 1440 && nHeight >= 900)
        return s_nBitrate4000;
    if (nWidth >= 1024 && nHeight >= 720)
        return s_nBitrate2000;
    if (nWidth >= 720 && nHeight >= 480)
        return s_nBitrate1000;
    return s_nBitrate800;
}

QString ComposeRtmpUrl(const QString& strAddress, const QString& strPort, const QString& strStream)
{
    SStreamDestination destination;
    destination.strServer = strAddress;
    destination.strPort = strPort;
    destination.strKey = strStream;
    return ComposeStreamUrl(destination);
}

CTabSettings::CTabSettings(IKVRecordNotify* pNotify, IDeviceCallback* pDevice, QWidget* pParent)
    : QWidget(pParent)
    , m_pNotify(pNotify)
    , m_pDevice(pDevice)
{
    QVBoxLayout* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(CreateVideoGroup());
    pLayout->addWidget(CreateAudioGroup());
    pLayout->addWidget(CreateMp4Group());
    m_pGroupStream = new CStreamGroup(this);
    pLayout->addWidget(m_pGroupStream);
    pLayout->addStretch();
    ConnectControls();
}

QGroupBox* CTabSettings::CreateVideoGroup()
{
    m_pGroupVideo = new QGroupBox(tr("Video"), this);
    QGridLayout* pGrid = CreatePairGrid();
    m_pGroupVideo->setLayout(pGrid);
    QWidget* pBox = m_pGroupVideo;

    m_pCmbVideoSize = AddComboPair(pGrid, 0, 0, tr("Video Size:"), pBox, "cmbVideoSize");
    m_pCmbFrameRate = AddComboPair(pGrid, 0, 1, tr("Frame Rate:"), pBox, "cmbFrameRate");
    m_pCmbH264Encoder = AddComboPair(pGrid, 1, 0, tr("H.264 Encoder:"), pBox, "cmbH264Encoder");
    m_pCmbH264Mode = AddComboPair(pGrid, 1, 1, tr("H.264 Mode:"), pBox, "cmbH264Mode");
    m_pCmbH264Profile = AddComboPair(pGrid, 2, 0, tr("H.264 Profile:"), pBox, "cmbH264Profile");
    m_pCmbH264Quality = AddComboPair(pGrid, 2, 1, tr("H.264 Quality:"), pBox, "cmbH264Quality");
    m_pCmbH264Bitrate = AddComboPair(pGrid, 3, 0, tr("H.264 Bitrate:"), pBox, "cmbH264Bitrate");
    QLabel* pLblKeyFrame = nullptr;
    m_pCmbKeyFrame = AddComboPair(pGrid, 3, 1, tr("Key Frame:"), pBox, "cmbKeyFrame", &pLblKeyFrame);
    // The setting counts for recordings alone; a stream gets a shorter
    // interval where needed (see BuildH264Param), which the user should not
    // mistake for the setting being ignored.
    const QString strKeyFrameNote = tr("While streaming, a key frame comes at least every 2 seconds.");
    m_pCmbKeyFrame->setToolTip(strKeyFrameNote);
    pLblKeyFrame->setToolTip(strKeyFrameNote);

    for (int i = 0; i < GetVideoSizeCount(); ++i)
        m_pCmbVideoSize->addItem(QString::asprintf("%4d x %4d", GetVideoWidth(i), GetVideoHeight(i)), i);
    // Fastest first; each row carries the table index that is stored.
    for (int nRank = 0; nRank < GetFrameRateCount(); ++nRank)
    {
        const int nIndex = GetFrameRateIndexByRate(nRank);
        m_pCmbFrameRate->addItem(GetFrameRateText(nIndex), nIndex);
    }
    m_pCmbH264Encoder->addItem(tr("Software"), ENCODER_KIND_SOFTWARE);
    if (g_capture.IsH264HardwareSupported())
        m_pCmbH264Encoder->addItem(tr("Hardware"), ENCODER_KIND_HARDWARE);
    for (int i = 0; i < GetModeCount(); ++i)
        m_pCmbH264Mode->addItem(GetModeText(i), i);
    for (int i = 0; i < GetProfileCount(); ++i)
        m_pCmbH264Profile->addItem(GetProfileText(i), i);
    for (int i = 0; i < GetQualityCount(); ++i)
        m_pCmbH264Quality->addItem(GetQualityText(i), i);
    for (int i = 0; i < GetBitrateCount(); ++i)
        m_pCmbH264Bitrate->addItem(GetBitrateText(i), i);
    for (int i = 0; i < GetKeyFrameCount(); ++i)
        m_pCmbKeyFrame->addItem(QString::number(GetKeyFrame(i)), i);

    int nSizeIndex = 0;
    int nRateIndex = 0;
    g_settings.GetOutputFormat(nSizeIndex, nRateIndex);
    SelectByData(m_pCmbVideoSize, nSizeIndex);
    SelectByData(m_pCmbFrameRate, nRateIndex);
    m_bSmallFormat = ComputeSmallFormat(nSizeIndex);

    SEncoderParam param = g_settings.GetEncoderParamRecord();
    // A hardware encoder chosen on another machine, or one that no longer
    // opens: record what will actually be used.
    if (param.nEncoderKind < 0 || param.nEncoderKind >= m_pCmbH264Encoder->count())
    {
        param.nEncoderKind = ENCODER_KIND_SOFTWARE;
        g_settings.SetEncoderParamRecord(param);
    }
    SelectByData(m_pCmbH264Encoder, param.nEncoderKind);
    SelectByData(m_pCmbH264Mode, param.nMode);
    SelectByData(m_pCmbH264Profile, param.nProfile);
    SelectByData(m_pCmbH264Quality, param.nQuality);
    SelectByData(m_pCmbH264Bitrate, param.nBitrate);
    SelectByData(m_pCmbKeyFrame, param.nKeyFrame);
    return m_pGroupVideo;
}

QGroupBox* CTabSettings::CreateAudioGroup()
{
    QGroupBox* pGroup = new QGroupBox(tr("Audio"), this);
    QVBoxLayout* pBoxLayout = new QVBoxLayout(pGroup);
    QGridLayout* pGrid = CreatePairGrid();
    pBoxLayout->addLayout(pGrid);

    m_pCmbAudioDevice = AddComboPair(pGrid, 0, 0, tr("Audio Device:"), pGroup, "cmbAudioDevice", &m_pLblAudioDevice, 2);
    // A sound server's source names can be long; the list shows them in
    // full, the closed box cuts them rather than widening the tab.
    m_pCmbAudioDevice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pCmbAudioDevice->setMinimumContentsLength(16);
    m_pCmbAudioBitrate =
        AddComboPair(pGrid, 1, 0, tr("Audio Bitrate:"), pGroup, "cmbAudioBitrate", &m_pLblAudioBitrate);
    m_pCmbAudioQuality =
        AddComboPair(pGrid, 1, 1, tr("Encoder Quality:"), pGroup, "cmbAudioQuality", &m_pLblAudioQuality);
    m_pCkbMonitor = new QCheckBox(tr("Monitor audio device."), pGroup);
    m_pCkbMonitor->setObjectName(QStringLiteral("ckbMonitor"));
    pBoxLayout->addWidget(m_pCkbMonitor);

    m_pCmbAudioDevice->addItem(tr("(Not set device)"));
    const int nAudioCount = g_capture.GetDeviceCount(false);
    for (int i = 0; i < nAudioCount; ++i)
    {
        QString strName;
        g_capture.GetDeviceName(false, i, strName);
        m_pCmbAudioDevice->addItem(strName);
    }
    for (int i = 0; i < GetAudioBitrateCount(); ++i)
        m_pCmbAudioBitrate->addItem(GetAudioBitrateText(i), i);
    for (int i = 0; i < GetAudioQualityCount(); ++i)
        m_pCmbAudioQuality->addItem(QString::asprintf("%3d", GetAudioQuality(i)), i);

    const SEncoderParam param = g_settings.GetEncoderParamRecord();
    SelectByData(m_pCmbAudioBitrate, param.nAudioBitrate);
    SelectByData(m_pCmbAudioQuality, param.nAudioQuality);

    int nStored = -1;
    int nMonitor = 0;
    g_settings.GetAudioDevice(nStored, nMonitor);
    // A device that is gone since it was chosen counts as none; the record
    // stays, so that the device is found again once it is back.
    const int nDevice = g_capture.FindStoredAudioDevice();
    if (nStored >= 0 && nDevice < 0)
        ReportMissingAudioDevice(g_settings.GetAudioDeviceName());
    m_pCmbAudioDevice->setCurrentIndex(nDevice + 1);
    m_pCkbMonitor->setChecked(nMonitor != 0);
    const bool bHasDevice = nDevice != -1;
    m_pCmbAudioBitrate->setEnabled(bHasDevice);
    m_pCmbAudioQuality->setEnabled(bHasDevice);
    m_pCkbMonitor->setEnabled(bHasDevice);
    if (bHasDevice)
    {
        if (!g_capture.OpenAudioDevice(nDevice))
            Log::Warning("ui", QStringLiteral("audio device %1 could not be opened").arg(nDevice));
        g_capture.SetAudioMonitor(nMonitor != 0);
    }
    return pGroup;
}

QGroupBox* CTabSettings::CreateMp4Group()
{
    m_pGroupMp4 = new QGroupBox(tr("MP4"), this);
    QGridLayout* pGrid = new QGridLayout(m_pGroupMp4);

    m_pCkbRecord = new QCheckBox(tr("Record output to file."), m_pGroupMp4);
    m_pCkbRecord->setObjectName(QStringLiteral("ckbRecord"));
    pGrid->addWidget(m_pCkbRecord, 0, 0, 1, 2);

    QLabel* pLblPath = new QLabel(tr("Path:"), m_pGroupMp4);
    m_pEdtDataStorage = new QLineEdit(m_pGroupMp4);
    m_pEdtDataStorage->setObjectName(QStringLiteral("edtDataStorage"));
    m_pEdtDataStorage->setReadOnly(true);
    m_pBtnDataStorage = new QPushButton(style()->standardIcon(QStyle::SP_DirIcon), QString(), m_pGroupMp4);
    m_pBtnDataStorage->setObjectName(QStringLiteral("btnDataStorage"));
    m_pBtnDataStorage->setToolTip(tr("Change storage path"));
    QHBoxLayout* pPathRow = new QHBoxLayout;
    pPathRow->addWidget(m_pEdtDataStorage, 1);
    pPathRow->addWidget(m_pBtnDataStorage, 0);
    pGrid->addWidget(pLblPath, 1, 0);
    pGrid->addLayout(pPathRow, 1, 1);

    m_pLblDiskFree = new QLabel(tr("* Disk space is *.* GB."), m_pGroupMp4);
    m_pLblDiskFree->setObjectName(QStringLiteral("lblDiskFree"));
    pGrid->addWidget(m_pLblDiskFree, 2, 0, 1, 2);

    const bool bRecord = g_settings.GetRecord();
    m_pCkbRecord->setChecked(bRecord);
    m_pEdtDataStorage->setText(QDir::toNativeSeparators(g_settings.GetDataStorage()));
    m_pEdtDataStorage->setEnabled(bRecord);
    m_pBtnDataStorage->setEnabled(bRecord);
    RefreshDiskFree(QString());
    return m_pGroupMp4;
}

void CTabSettings::ConnectControls()
{
    connect(m_pCmbVideoSize, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CTabSettings::OnButtonApplyFormat);
    connect(m_pCmbFrameRate, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CTabSettings::OnButtonApplyFormat);
    for (QComboBox* pCombo : {m_pCmbH264Profile, m_pCmbH264Quality, m_pCmbH264Bitrate, m_pCmbH264Mode, m_pCmbKeyFrame,
                              m_pCmbH264Encoder, m_pCmbAudioBitrate, m_pCmbAudioQuality})
        connect(pCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CTabSettings::OnButtonApply);
    connect(m_pCmbAudioDevice, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CTabSettings::OnAudioDeviceChanged);
    connect(m_pCkbMonitor, &QCheckBox::stateChanged, this, &CTabSettings::OnAudioMonitorChanged);
    connect(m_pCkbRecord, &QCheckBox::stateChanged, this, &CTabSettings::OnCkbRecord);
    connect(m_pBtnDataStorage, &QPushButton::clicked, this, &CTabSettings::OnBtnDataStorageDir);
    connect(m_pGroupStream, &CStreamGroup::signalStreamingChanged, this, &CTabSettings::UpdateStartEnabled);
}

int CTabSettings::ComputeSmallFormat(int nSizeIndex)
{
    return (GetVideoWidth(nSizeIndex) <= s_nSmallWidth && GetVideoHeight(nSizeIndex) <= s_nSmallHeight) ? 1 : 0;
}

void CTabSettings::ReportMissingAudioDevice(const QString& strName)
{
    const QString strMessage = strName.isEmpty()
                                   ? tr("The chosen audio device is not available. No audio device is open.")
                                   : tr("Audio device \"%1\" is not available. No audio device is open.").arg(strName);
    Log::Warning("ui", strMessage);
    // Until another choice is made: a passing message would be gone with
    // the first menu the pointer crosses.
    CLastingMessages::Set(this, QLatin1String(s_szAudioMessageKey), strMessage);
}

void CTabSettings::SetControlsEnabled(bool bEnable)
{
    m_pGroupVideo->setEnabled(bEnable);
    for (QWidget* pWidget : {static_cast<QWidget*>(m_pLblAudioDevice), static_cast<QWidget*>(m_pCmbAudioDevice),
                             static_cast<QWidget*>(m_pLblAudioBitrate), static_cast<QWidget*>(m_pCmbAudioBitrate),
                             static_cast<QWidget*>(m_pLblAudioQuality), static_cast<QWidget*>(m_pCmbAudioQuality),
                             static_cast<QWidget*>(m_pGroupMp4)})
        pWidget->setEnabled(bEnable);
    m_pGroupStream->SetControlsEnabled(bEnable);
    if (!bEnable)
        return;
    // Unlocked, the controls follow their own boxes again: no audio
    // encoding without a device, no RTMP fields without pushing.
    const bool bHasDevice = m_pCmbAudioDevice->currentIndex() != 0;
    m_pCmbAudioBitrate->setEnabled(bHasDevice);
    m_pCmbAudioQuality->setEnabled(bHasDevice);
}

void CTabSettings::OnButtonApplyFormat()
{
    const int nSizeIndex = SelectedData(m_pCmbVideoSize);
    OnVideoSizeChanged(nSizeIndex);

    const int nRateIndex = SelectedData(m_pCmbFrameRate);
    int nStoredSize = 0;
    int nStoredRate = 0;
    g_settings.GetOutputFormat(nStoredSize, nStoredRate);
    if (nSizeIndex == nStoredSize && nRateIndex == nStoredRate)
        return;

    g_settings.SetOutputFormat(nSizeIndex, nRateIndex);
    g_capture.DestroyMixer();
    g_capture.RestartChannels();

    const int bSmallFormat = ComputeSmallFormat(nSizeIndex);
    const bool bSmallChanged = bSmallFormat != m_bSmallFormat;
    m_bSmallFormat = bSmallFormat;

    if (nSizeIndex != nStoredSize)
    {
        if (m_pTabScreen)
            m_pTabScreen->OnOutputSizeChanged();
        // The renderers were made for the old size.
        if (CProjectionController* pProjection = CProjectionController::GetPublished())
        {
            pProjection->Close();
            pProjection->Apply();
        }
    }

    if (m_pNotify)
        m_pNotify->RefreshOutput();

    if (bSmallChanged)
    {
        g_capture.BuildDeviceOrder();
        if (!m_bSmallFormat && m_pDevice)
            m_pDevice->ResetUnassignedChannels();
    }
    if (m_pDevice)
        m_pDevice->ApplyChannelRects();
}

void CTabSettings::OnButtonApply()
{
    g_settings.SetEncoderParam(SelectedData(m_pCmbH264Profile), SelectedData(m_pCmbH264Quality),
                               SelectedData(m_pCmbH264Bitrate), SelectedData(m_pCmbH264Mode),
                               SelectedData(m_pCmbKeyFrame), SelectedData(m_pCmbH264Encoder),
                               SelectedData(m_pCmbAudioBitrate), SelectedData(m_pCmbAudioQuality));
}

void CTabSettings::OnVideoSizeChanged(int nIndex)
{
    SelectByData(m_pCmbH264Bitrate, BitrateIndexForSize(GetVideoWidth(nIndex), GetVideoHeight(nIndex)));
}

void CTabSettings::OnSettingsChanged(int nIndex)
{
    Q_UNUSED(nIndex);
}

void CTabSettings::OnAudioDeviceChanged(int nIndex)
{
    const bool bHasDevice = nIndex != 0;
    m_pCmbAudioBitrate->setEnabled(bHasDevice);
    m_pCmbAudioQuality->setEnabled(bHasDevice);
    m_pCkbMonitor->setEnabled(bHasDevice);

    CLastingMessages::Clear(this, QLatin1String(s_szAudioMessageKey));
    const int nDevice = nIndex - 1;
    if (nDevice != g_capture.FindStoredAudioDevice())
    {
        if (nDevice >= 0)
            g_capture.OpenAudioDevice(nDevice);
        else
            g_capture.CloseAudio();
    }
    g_capture.SetAudioMonitor(m_pCkbMonitor->isChecked());
    StoreAudioDevice();
}

void CTabSettings::OnAudioMonitorChanged(int nState)
{
    Q_UNUSED(nState);
    g_capture.SetAudioMonitor(m_pCkbMonitor->isChecked());
    StoreAudioDevice();
}

void CTabSettings::StoreAudioDevice()
{
    const int nDevice = m_pCmbAudioDevice->currentIndex() - 1;
    // The list shows the engine's names in its order, so the item text is
    // the name the device is found by at the next start.
    g_settings.SetAudioDevice(nDevice, m_pCkbMonitor->isChecked() ? 1 : 0,
                              nDevice >= 0 ? m_pCmbAudioDevice->currentText() : QString());
}

void CTabSettings::UpdateStartEnabled()
{
    if (m_pNotify)
        m_pNotify->EnableStart(m_pCkbRecord->isChecked() || m_pGroupStream->IsStreaming());
}

void CTabSettings::OnCkbRecord(int nState)
{
    const bool bChecked = nState == Qt::Checked;
    m_pEdtDataStorage->setEnabled(bChecked);
    m_pBtnDataStorage->setEnabled(bChecked);
    g_settings.SetRecord(m_pCkbRecord->isChecked());
    UpdateStartEnabled();
}

void CTabSettings::RefreshDiskFree(const QString& strPath)
{
    // The folder itself is asked: it may sit on any mounted file system.
    const QString strFolder = strPath.isEmpty() ? g_settings.GetDataStorage() : strPath;
    m_pLblDiskFree->setText(tr("* Disk free space: ") + FormatSize(qint64(GetFreeDiskSpace(strFolder))));
}

void CTabSettings::OnBtnDataStorageDir()
{
    const QString strChosen = QFileDialog::getExistingDirectory(
        this, tr("Storage"), m_pEdtDataStorage->text(), QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (strChosen.isEmpty())
        return;
    const QString strPath = QDir::toNativeSeparators(strChosen);
    m_pEdtDataStorage->setText(strPath);
    RefreshDiskFree(strPath);
    g_settings.SetDataStorage(strPath);
}
