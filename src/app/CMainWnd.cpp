#include "app/CMainWnd.h"

#include "app/CTallyWatcher.h"

#include "common/AppInfo.h"
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "config/CSettings.h"
#include "ui/tabs/CTabOverlay.h"
#include "ui/tabs/CTabWnd.h"
#include "ui/windows/CVideoWnd.h"
#include "common/DiskSpace.h"
#include "common/OutputPaths.h"
#include "common/StreamDestination.h"
#include "engine/IKVRecordNotify.h"
#include "engine/KVFrameDuration.h"
#include "app/OutputNames.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLCDNumber>
#include <QMessageBox>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QVBoxLayout>

#include <cmath>

namespace
{
const int s_nElapsedInterval = 500;
const int s_nVoiceInterval = 200;
const int s_nRateInterval = 1000;
// Long captures have been seen to lose the audio device; opening it again
// every few hours keeps them going.
const int s_nRestartDSoundInterval = 4 * 60 * 60 * 1000;
const int s_nMinRecordSeconds = 60;
const uint64_t s_nMinSnapshotBytes = 1000000;
const int s_nSnapshotQuality = 75;

// The default style sizes a group box title by its ink, which for a closing
// parenthesis falls short of the text's advance, and clips the rest: the
// output box's title lost its ")".
// Widgets in which Enter already does something keep it.
bool EnterHasMeaning(const QWidget* pFocus)
{
    return qobject_cast<const QLineEdit*>(pFocus) || qobject_cast<const QAbstractSpinBox*>(pFocus) ||
           qobject_cast<const QComboBox*>(pFocus) || qobject_cast<const QTextEdit*>(pFocus) ||
           qobject_cast<const QPlainTextEdit*>(pFocus) || qobject_cast<const QAbstractItemView*>(pFocus);
}

class CWholeTitleStyle : public QProxyStyle
{
public:
    QRect subControlRect(ComplexControl eControl, const QStyleOptionComplex* pOption, SubControl eSub,
                         const QWidget* pWidget) const override
    {
        QRect rect = QProxyStyle::subControlRect(eControl, pOption, eSub, pWidget);
        const auto* pBox = qstyleoption_cast<const QStyleOptionGroupBox*>(pOption);
        if (eControl == CC_GroupBox && eSub == SC_GroupBoxLabel && pBox)
        {
            const int nWidth = pBox->fontMetrics.size(Qt::TextShowMnemonic, pBox->text).width() + 2;
            if (rect.width() < nWidth)
                rect.setWidth(nWidth);
        }
        return rect;
    }
};

}

CMainWnd::CMainWnd(IKVRecordNotify* pNotify, QWidget* pParent)
    : QWidget(pParent)
    , m_pNotify(pNotify)
{
    int nSizeIndex = 0;
    int nRateIndex = 0;
    g_settings.GetOutputFormat(nSizeIndex, nRateIndex);

    m_pOutputBox = new QGroupBox(this);
    m_pOutputBox->setObjectName(QStringLiteral("outputBox"));
    m_pOutputBox->setMinimumWidth(540);
    SetOutputTitle(GetFrameRate(nRateIndex));

    m_pPreviewWnd = new CVideoWnd(CVideoWnd::OUTPUT_CHANNEL, m_pOutputBox);
    m_pPreviewWnd->setObjectName(QStringLiteral("programWnd"));
    m_pStudioWnd = new CVideoWnd(CVideoWnd::OUTPUT_CHANNEL, m_pOutputBox);
    m_pStudioWnd->setObjectName(QStringLiteral("previewWnd"));
    m_pLabelPreview = new QLabel(tr("Preview"), m_pOutputBox);
    m_pLabelProgram = new QLabel(tr("Program"), m_pOutputBox);
    m_pLabelPreview->setAlignment(Qt::AlignCenter);
    m_pLabelProgram->setAlignment(Qt::AlignCenter);
    ApplyOutputSettings();

    m_pTabWnd = new CTabWnd(m_pNotify, this);
    m_pTabWnd->setFixedWidth(TAB_WIDTH);
    new CTallyWatcher(m_pTabWnd->GetDeviceTab(), this);

    m_pLevelBar = new QProgressBar(m_pOutputBox);
    m_pLevelBar->setObjectName(QStringLiteral("levelBar"));
    m_pLevelBar->setRange(0, 100);
    m_pLevelBar->setValue(0);
    m_pLevelBar->setOrientation(Qt::Vertical);
    m_pLevelBar->setFormat(QString());
    m_pLevelBar->setTextVisible(false);

    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(s_nElapsedInterval);
    m_pTimerVoice = new QTimer(this);
    m_pTimerVoice->setInterval(s_nVoiceInterval);
    m_pTimerRestartDSound = new QTimer(this);
    m_pTimerRestartDSound->setInterval(s_nRestartDSoundInterval);

    QStyle* pStyle = style();
    m_pButtonRecord = CreateButton(pStyle->standardIcon(QStyle::SP_DialogNoButton), tr("Start"),
                                   tr("Start record or push streams"), "buttonStart");
    m_pButtonStop = CreateButton(pStyle->standardIcon(QStyle::SP_MediaStop), tr("Stop"),
                                 tr("Stop record or push streams"), "buttonStop");
    m_pButtonSnapshot = CreateButton(QIcon(QStringLiteral(":/images/snapshot.png")), tr("Snapshot"),
                                     tr("Create snapshot"), "buttonSnapshot");
    m_pButtonFullscreen = CreateButton(QIcon(QStringLiteral(":/images/fullscreen.png")), tr("Fullscreen"),
                                       tr("Show fullscreen"), "buttonFullscreen");

    m_pButtonStudio =
        CreateButton(QIcon(), tr("Studio mode"), tr("Prepare the next shot in Preview, then take it"), "buttonStudio");
    m_pButtonStudio->setCheckable(true);
    m_pStudioRow = new QWidget(m_pOutputBox);
    m_pButtonCut = new QPushButton(tr("Cut"), m_pStudioRow);
    m_pButtonCut->setObjectName(QStringLiteral("buttonCut"));
    m_pButtonCut->setToolTip(tr("Put Preview on air at once"));
    m_pButtonTake = new QPushButton(tr("Take"), m_pStudioRow);
    m_pButtonTake->setObjectName(QStringLiteral("buttonTake"));
    m_pButtonTake->setToolTip(tr("Put Preview on air with the transition"));
    m_pCmbTransition = new QComboBox(m_pStudioRow);
    m_pCmbTransition->setObjectName(QStringLiteral("comboTransition"));
    m_pCmbTransition->addItem(tr("Cut"));
    m_pCmbTransition->addItem(tr("Fade"));
    m_pCmbTransition->setCurrentIndex(g_settings.GetTakeFade() ? 1 : 0);
    m_pSpinDuration = new QDoubleSpinBox(m_pStudioRow);
    m_pSpinDuration->setObjectName(QStringLiteral("spinTakeDuration"));
    m_pSpinDuration->setRange(0.25, 2.0);
    m_pSpinDuration->setSingleStep(0.25);
    m_pSpinDuration->setDecimals(2);
    m_pSpinDuration->setSuffix(tr(" s"));
    m_pSpinDuration->setValue(g_settings.GetTakeDuration() / 1000.0);
    QHBoxLayout* pStudioLayout = new QHBoxLayout(m_pStudioRow);
    pStudioLayout->setContentsMargins(0, 0, 0, 0);
    pStudioLayout->addWidget(m_pCmbTransition);
    pStudioLayout->addWidget(m_pSpinDuration);
    pStudioLayout->addStretch();
    pStudioLayout->addWidget(m_pButtonCut);
    pStudioLayout->addWidget(m_pButtonTake);

    m_pElapsed = new QLCDNumber(10, m_pOutputBox);
    m_pElapsed->setObjectName(QStringLiteral("elapsed"));
    m_pElapsed->setMode(QLCDNumber::Dec);
    m_pElapsed->setSegmentStyle(QLCDNumber::Flat);
    m_pElapsed->display(FormatElapsed(0));

    m_timerRate.setInterval(s_nRateInterval);

    // A widget, not a layout, so that hiding it gives Program its room back.
    m_pPreviewColumn = new QWidget(m_pOutputBox);
    QVBoxLayout* pPreviewColumn = new QVBoxLayout(m_pPreviewColumn);
    pPreviewColumn->setContentsMargins(0, 0, 0, 0);
    pPreviewColumn->addWidget(m_pLabelPreview, 0);
    pPreviewColumn->addWidget(m_pStudioWnd, 1);
    QVBoxLayout* pProgramColumn = new QVBoxLayout;
    pProgramColumn->addWidget(m_pLabelProgram, 0);
    pProgramColumn->addWidget(m_pPreviewWnd, 1);
    QHBoxLayout* pPictureRow = new QHBoxLayout;
    pPictureRow->addWidget(m_pPreviewColumn, 1);
    pPictureRow->addLayout(pProgramColumn, 1);
    pPictureRow->addWidget(m_pLevelBar, 0);
    QHBoxLayout* pControlRow = new QHBoxLayout;
    pControlRow->addWidget(m_pButtonFullscreen);
    pControlRow->addWidget(m_pButtonSnapshot);
    pControlRow->addWidget(m_pButtonStudio);
    pControlRow->addStretch();
    pControlRow->addWidget(m_pElapsed);
    pControlRow->addStretch();
    pControlRow->addWidget(m_pButtonRecord);
    pControlRow->addWidget(m_pButtonStop);
    QVBoxLayout* pBoxLayout = new QVBoxLayout(m_pOutputBox);
    pBoxLayout->addLayout(pPictureRow, 1);
    pBoxLayout->addWidget(m_pStudioRow, 0);
    pBoxLayout->addLayout(pControlRow, 0);
    QHBoxLayout* pLayout = new QHBoxLayout(this);
    pLayout->addWidget(m_pOutputBox, 1);
    pLayout->addWidget(m_pTabWnd, 0);

    connect(m_pTimer, &QTimer::timeout, this, &CMainWnd::OnTimer);
    connect(m_pTimerVoice, &QTimer::timeout, this, &CMainWnd::OnTimerVoice);
    connect(m_pTimerRestartDSound, &QTimer::timeout, this, &CMainWnd::OnTimerRestartDSound);
    connect(&m_timerRate, &QTimer::timeout, this, &CMainWnd::OnTimeout);
    connect(m_pButtonRecord, &QPushButton::clicked, this, &CMainWnd::OnButtonRecord);
    connect(m_pButtonStop, &QPushButton::clicked, this, &CMainWnd::OnButtonStop);
    connect(m_pButtonSnapshot, &QPushButton::clicked, this, &CMainWnd::OnButtonSnapshot);
    connect(m_pButtonFullscreen, &QPushButton::clicked, this, &CMainWnd::OnButtonFullscreen);
    connect(m_pButtonStudio, &QPushButton::toggled, this, &CMainWnd::SetStudioMode);
    // Before the settings of the channels are written at the end.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &CMainWnd::StoreProgramScene);
    connect(m_pButtonTake, &QPushButton::clicked, this, &CMainWnd::Take);
    connect(m_pButtonCut, &QPushButton::clicked, this, &CMainWnd::Cut);
    connect(m_pCmbTransition, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this](int nIndex) {
        g_settings.SetTakeFade(nIndex == 1);
        UpdateStudioControls();
    });
    connect(m_pSpinDuration, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            [](double dSeconds) { g_settings.SetTakeDuration(int(std::lround(dSeconds * 1000))); });
    UpdateStudioControls();
    if (g_settings.GetStudioMode())
    {
        // Entered once start-up has put the stored scene on air.
        const QSignalBlocker blocker(m_pButtonStudio);
        m_pButtonStudio->setChecked(true);
        UpdateStudioControls();
    }

    m_pTimerVoice->start();
    m_pTimerRestartDSound->start();
    m_timerRate.start();
    m_pButtonStop->setEnabled(false);
}

CMainWnd::~CMainWnd()
{
    m_pTimer->stop();
    m_pTimerVoice->stop();
    m_timerRate.stop();
    StoreProgramScene();
}

void CMainWnd::StoreProgramScene()
{
    // The next start puts the stored scene on air: the one on air now, not
    // the one being prepared.
    if (m_bProgramSceneKept)
        WriteSceneSettings(g_settings, m_sceneProgram);
    m_bProgramSceneKept = false;
}

QPushButton* CMainWnd::CreateButton(const QIcon& icon, const QString& strText, const QString& strToolTip,
                                    const char* pszName)
{
    QPushButton* pButton = new QPushButton(icon, strText, m_pOutputBox);
    pButton->setObjectName(QLatin1String(pszName));
    pButton->setToolTip(strToolTip);
    pButton->setMinimumSize(34, 28);
    return pButton;
}

void CMainWnd::SetOutputTitle(double dFrameRate)
{
    if (!dynamic_cast<CWholeTitleStyle*>(m_pOutputBox->style()))
    {
        // Owned by the panel, which releases it after the box.
        CWholeTitleStyle* pStyle = new CWholeTitleStyle;
        pStyle->setParent(this);
        m_pOutputBox->setStyle(pStyle);
    }
    m_pOutputBox->setTitle(
        QStringLiteral("%1 (%2 %3)").arg(tr("Output"), QString::asprintf("%.2f", dFrameRate), tr("FPS")));
}

void CMainWnd::SetStartEnabled(bool bEnable)
{
    m_pButtonRecord->setEnabled(bEnable);
}

void CMainWnd::ApplyOutputSettings()
{
    g_capture.DestroyMixer();

    int nSizeIndex = 0;
    int nRateIndex = 0;
    g_settings.GetOutputFormat(nSizeIndex, nRateIndex);
    const int nWidth = GetVideoWidth(nSizeIndex);
    const int nHeight = GetVideoHeight(nSizeIndex);
    const int nDuration = FrameDurationFromRate(GetFrameRate(nRateIndex));
    if (!g_capture.CreateMixer(nWidth, nHeight, nDuration, m_pPreviewWnd->GetWindowHandle()))
    {
        // Nothing to put a logo or caption on; the preview stays black.
        Log::Error("app", QStringLiteral("no output mixer for %1x%2").arg(nWidth).arg(nHeight));
        return;
    }

    ApplyScene();
    // The mixer starts without a Preview: studio mode comes on again once
    // whoever rebuilt the output has put the channels on air.
    QTimer::singleShot(0, this, &CMainWnd::EnterStudioModeIfChosen);
    g_capture.UpdatePreviewRenderer();
}

void CMainWnd::ApplyScene()
{
    int nLogo = -1;
    int nCorner = 0;
    int nLogoSize = 0;
    g_settings.GetLogo(nLogo, nCorner, nLogoSize);
    // A logo the layout file does not have is the Overlay tab's to report.
    if (nLogo >= 0 && nLogo < g_layout.GetLogoCount() &&
        !g_capture.SetLogo(g_layout.GetLogoPath(nLogo), nCorner, nLogoSize))
        Log::Warning("app", QStringLiteral("logo %1 could not be shown").arg(nLogo));

    // The caption border and the clock's place depend on the output size.
    // The clock comes back with it.
    if (m_pTabWnd && m_pTabWnd->GetOverlayTab())
        m_pTabWnd->GetOverlayTab()->AdjustToOutputSize();

    const QString strCaption = g_settings.GetCaption();
    if (!strCaption.isEmpty())
    {
        const SCaptionData data = g_settings.GetCaptionDataRecord();
        if (!g_capture.SetCaption(strCaption, InstalledFontFamily(data.nFont), data.nBold != 0, data.nItalic != 0,
                                  data.nUnderline != 0, GetFontSize(data.nFontSize), data.nBorder, data.nPosition,
                                  g_settings.GetPackedColor(CSettings::COLOR_CAPTION_BORDER),
                                  g_settings.GetPackedColor(CSettings::COLOR_CAPTION_FONT)))
            Log::Warning("app", QStringLiteral("the caption could not be shown"));
    }
}

void CMainWnd::SetStudioMode(bool bOn)
{
    if (m_pButtonStudio->isChecked() != bOn)
    {
        // Comes back here through the button's signal.
        m_pButtonStudio->setChecked(bOn);
        return;
    }
    g_settings.SetStudioMode(bOn);
    if (bOn)
    {
        EnterStudioModeIfChosen();
    }
    else if (g_capture.IsStudioMode() && g_capture.SetStudioMode(false, 0))
    {
        // Program stays on air and is what the tabs edit from now on.
        WriteSceneSettings(g_settings, m_sceneProgram);
        m_bProgramSceneKept = false;
        if (m_pTabWnd)
            m_pTabWnd->ShowStoredScene();
    }
    UpdateStudioControls();
    emit signalStudioModeChanged(bOn);
}

void CMainWnd::EnterStudioModeIfChosen()
{
    if (!m_pButtonStudio || !m_pButtonStudio->isChecked() || g_capture.IsStudioMode())
        return;
    if (!g_capture.SetStudioMode(true, m_pStudioWnd->GetWindowHandle()))
        return;
    // Preview starts as the scene the tabs show, the one on air.
    ApplyScene();
    if (m_pTabWnd)
        m_pTabWnd->ReplaceChannels();
    m_sceneProgram = ReadSceneSettings(g_settings);
    m_bProgramSceneKept = true;
    g_capture.UpdatePreviewRenderer();
}

bool CMainWnd::IsStudioMode() const
{
    return m_pButtonStudio->isChecked();
}

void CMainWnd::UpdateStudioControls()
{
    const bool bOn = m_pButtonStudio->isChecked();
    m_pPreviewColumn->setVisible(bOn);
    m_pLabelProgram->setVisible(bOn);
    m_pStudioRow->setVisible(bOn);
    m_pSpinDuration->setEnabled(m_pCmbTransition->currentIndex() == 1);
    g_capture.UpdatePreviewRenderer();
}

void CMainWnd::Take()
{
    if (!g_capture.IsStudioMode())
        return;
    int nFrames = 0;
    if (m_pCmbTransition->currentIndex() == 1)
    {
        const int nDuration = std::max(1, g_capture.GetFrameDuration());
        nFrames = int((int64_t(g_settings.GetTakeDuration()) * 10000 + nDuration / 2) / nDuration);
    }
    if (g_capture.Take(nFrames))
        SwapSceneSettings();
}

void CMainWnd::Cut()
{
    if (g_capture.Take(0))
        SwapSceneSettings();
}

void CMainWnd::SwapSceneSettings()
{
    const SSceneSettings preview = ReadSceneSettings(g_settings);
    WriteSceneSettings(g_settings, m_sceneProgram);
    m_sceneProgram = preview;
    if (m_pTabWnd)
        m_pTabWnd->ShowStoredScene();
}

void CMainWnd::ShowChannelAlone(int nChannel, bool bToProgram)
{
    CKVChannel* pChannel = g_capture.GetChannel(nChannel);
    if (!pChannel || !pChannel->IsOpen() || !g_capture.HasMixer())
        return;
    // Through the tabs, so that they show what the picture holds and a take
    // keeps the right values for each scene.
    if (m_pTabWnd && m_pTabWnd->ShowChannelAlone(nChannel))
    {
        if (bToProgram && g_capture.IsStudioMode())
            Cut();
        return;
    }
    const int nWidth = g_capture.GetOutputWidth();
    const int nHeight = g_capture.GetOutputHeight();
    if (g_capture.IsStudioMode())
    {
        for (int n = 0; n < CKVCapture::CHANNEL_COUNT; ++n)
            if (n != nChannel)
                g_capture.RemoveMixerChannel(n);
        g_capture.PlaceChannel(nChannel, 0, 0, nWidth, nHeight, 255, 0);
        if (bToProgram)
            Cut();
        return;
    }
    // As choosing a camera in the single layout: the one on show fades out.
    int nOut = -1;
    for (int n = 0; n < CKVCapture::CHANNEL_COUNT; ++n)
    {
        if (n == nChannel || !g_capture.IsChannelPlaced(n))
            continue;
        if (nOut < 0)
            nOut = n;
        else
            g_capture.RemoveMixerChannel(n);
    }
    if (nOut < 0)
    {
        g_capture.PlaceChannel(nChannel, 0, 0, nWidth, nHeight, 255, 0);
        return;
    }
    g_capture.StartTransition(nOut, nChannel, 2 * g_capture.GetFrameDuration());
}

void CMainWnd::OnButtonRecord()
{
    QString strFilePath;
    const bool bRecord = g_settings.GetRecord();
    const QDateTime dtNow = QDateTime::currentDateTime();
    m_nStartTick = Platform::GetTickCount32();
    m_pElapsed->display(FormatElapsed(0));

    if (bRecord)
    {
        const QString strRoot = g_settings.GetDataStorage();
        if (strRoot.isEmpty() || !QDir(strRoot).exists())
        {
            ShowCriticalMessage(this, tr("Folder not exists.\nPlease reset saving path!"));
            return;
        }
        const QString strFolder = QDir(strRoot).filePath(QStringLiteral("Video"));
        QDir().mkpath(strFolder);
        // Such a folder also reads as no free space; the user must hear the
        // real reason.
        if (!IsFolderWritable(strFolder))
        {
            ShowFolderNotWritable(strFolder);
            return;
        }

        const SEncoderParam param = g_settings.GetEncoderParamRecord();
        // The folder itself is asked, not a drive letter: it may sit on any
        // mounted file system.
        if (!HasRoomForVideo(GetFreeDiskSpace(strFolder), GetBitrate(param.nBitrate), s_nMinRecordSeconds))
        {
            ShowCriticalMessage(this, tr("Disk space is not enough."));
            return;
        }
        strFilePath = MakeRecordFilePath(strRoot, MakeRecordFileName(dtNow));
    }

    const std::vector<SStreamTarget> vecStreams = GetEnabledStreamTargets();
    if (!bRecord && vecStreams.empty())
        return;

    // The field's own message is all the user needs: checked here, before
    // the engine asks again, so that no "Start error!" box follows it.
    const QString strStreamError = vecStreams.empty() ? QString() : GetEnabledStreamDestinationsError();
    if (!strStreamError.isEmpty())
    {
        ShowCriticalMessageYes(nullptr, strStreamError);
        return;
    }
    QString strReason;
    if (!g_capture.StartRecord(strFilePath, vecStreams, strReason))
    {
        ShowCriticalMessage(this, StartErrorText(strReason));
        return;
    }
    m_strRecordFolder = bRecord ? QFileInfo(strFilePath).absolutePath() : QString();
    // Also when only streaming: the main window names the session by it.
    EnterRunningState(MakeRecordFileName(dtNow));
}

void CMainWnd::EnterRunningState(const QString& strFileName)
{
    m_pTimer->start();
    m_pButtonRecord->setEnabled(false);
    m_pButtonStop->setEnabled(true);
    m_bRunning = true;
    if (m_pNotify)
        m_pNotify->OnRecordStarted(strFileName);
    m_pTabWnd->SetControlsEnabled(false);
}

void CMainWnd::OnButtonStop()
{
    StopSession(true);
}

void CMainWnd::StopWithoutFinishCheck()
{
    StopSession(false);
}

void CMainWnd::StopSession(bool bCheckRoom)
{
    // The completion question runs an event loop of its own, in which the
    // disk guard, an engine error or a second click may ask to stop again.
    if (m_bStopping)
        return;
    m_bStopping = true;
    bool bFolderUsable = true;
    if (m_bRunning && !m_strRecordFolder.isEmpty())
    {
        StopElapsedTimer();
        // The guard must not fire again while the question is open.
        if (m_pNotify)
            m_pNotify->StopStatusTimer();
        g_capture.SetRecordingStopped();
        if (bCheckRoom)
            bFolderUsable = WaitForRoomToFinish();
    }
    const QString strFolder = m_strRecordFolder;
    EndSession();
    m_bStopping = false;
    if (!bFolderUsable)
        ShowFolderLost(strFolder);
}

bool CMainWnd::WaitForRoomToFinish()
{
    // The file's index is written at the end; without room for it the whole
    // recording would be unplayable. Only a folder that still takes files is
    // worth waiting for.
    for (;;)
    {
        switch (CheckRoomToFinish(m_strRecordFolder, g_capture.GetFinishReserve()))
        {
        case EFinishRoom::Enough:
            return true;
        case EFinishRoom::FolderUnusable:
            return false;
        case EFinishRoom::Short:
            if (!AskRetryFinish())
                return true;
            break;
        }
    }
}

bool CMainWnd::AskRetryFinish()
{
    QMessageBox box(QMessageBox::Question, GetAppTitle(),
                    tr("Disk space is not enough to complete mp4 file.\nDelete some other files and retry?\n"),
                    QMessageBox::NoButton, window());
    QPushButton* pYes = box.addButton(tr("Yes"), QMessageBox::YesRole);
    QPushButton* pNo = box.addButton(tr("No"), QMessageBox::NoRole);
    box.setDefaultButton(pYes);
    box.exec();
    return box.clickedButton() != pNo;
}

void CMainWnd::EndSession()
{
    g_capture.StopRecord();

    m_bRunning = false;
    m_strRecordFolder.clear();
    if (m_pNotify)
        m_pNotify->OnRecordStopped();
    if (m_pTimer->isActive())
        m_pTimer->stop();
    // A recording keeps its final duration on display.
    if (!g_settings.GetRecord())
        m_pElapsed->display(FormatElapsed(0));
    m_pButtonRecord->setEnabled(true);
    m_pButtonStop->setEnabled(false);
    m_pTabWnd->SetControlsEnabled(true);
}

void CMainWnd::ShowFolderNotWritable(const QString& strFolder)
{
    ShowCriticalMessage(
        this, tr("Folder cannot be written:\n%1\nPlease reset saving path!").arg(QDir::toNativeSeparators(strFolder)));
}

void CMainWnd::ShowFolderLost(const QString& strFolder)
{
    const QString strText = QDir(strFolder).exists() ? tr("Folder cannot be written:\n%1\nRecording has been stopped.")
                                                     : tr("Folder is gone:\n%1\nRecording has been stopped.");
    ShowCriticalMessage(window(), strText.arg(QDir::toNativeSeparators(strFolder)));
}

void CMainWnd::OnButtonSnapshot()
{
    const QDateTime dtNow = QDateTime::currentDateTime();
    const QString strRoot = g_settings.GetDataStorage();
    if (strRoot.isEmpty() || !QDir(strRoot).exists())
    {
        ShowCriticalMessage(this, tr("Folder not exists.\nPlease reset saving path!"));
        return;
    }
    const QString strFolder = QDir(strRoot).filePath(QStringLiteral("Snapshot"));
    QDir().mkpath(strFolder);
    if (!IsFolderWritable(strFolder))
    {
        ShowFolderNotWritable(strFolder);
        return;
    }
    if (GetFreeDiskSpace(strFolder) < s_nMinSnapshotBytes)
    {
        ShowCriticalMessage(this, tr("Disk space is not enough."));
        return;
    }

    // A name still being written has no file yet, but is taken all the same.
    const QString strFileName = MakeFreeSnapshotFileName(dtNow, [&strRoot](const QString& strName) {
        const QString strPath = MakeSnapshotFilePath(strRoot, strName);
        return QFileInfo::exists(strPath) || g_capture.IsSnapshotPending(strPath);
    });
    const QString strPath = MakeSnapshotFilePath(strRoot, strFileName);
    // The main window hears how the file fared from the engine once it is
    // written; a request that is refused will never be written.
    if (strFileName.isEmpty() || !g_capture.Snapshot(strPath, s_nSnapshotQuality))
    {
        Log::Error("app", QStringLiteral("snapshot %1 was not taken").arg(strPath));
        if (m_pNotify)
            m_pNotify->OnSnapshotFinished(strPath, false);
    }
}

void CMainWnd::OnButtonFullscreen()
{
    // The window leaves full screen by itself too (keys, double click).
    m_pPreviewWnd->ToggleFullScreen();
}

void CMainWnd::StopElapsedTimer()
{
    if (m_pTimer->isActive())
        m_pTimer->stop();
}

void CMainWnd::OnTimer()
{
    m_pElapsed->display(FormatElapsed((Platform::GetTickCount32() - m_nStartTick) / 1000));
}

void CMainWnd::OnTimerVoice()
{
    m_pLevelBar->setValue(g_capture.GetAudioLevel());
}

void CMainWnd::OnTimeout()
{
    float fByteRate = 0;
    float fFrameRate = 0;
    if (g_capture.GetStatistics(fByteRate, fFrameRate))
        m_pOutputBox->setTitle(
            QStringLiteral("%1 (%2)").arg(tr("Output"), QString::asprintf("%.2f ", fFrameRate) + tr("FPS")));
}

void CMainWnd::OnTimerRestartDSound()
{
    if (!g_capture.OpenAudioFromSettings())
        Log::Warning("app", QStringLiteral("the audio device could not be opened again"));
}

void CMainWnd::keyPressEvent(QKeyEvent* pEvent)
{
    // Consumed, so that no key reaching the panel closes or changes the
    // main window. Enter is Take where it means nothing else (in a
    // full-screen preview, a window of its own, it never comes here).
    const bool bEnter = pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter;
    if (bEnter && pEvent->modifiers() == Qt::NoModifier && g_capture.IsStudioMode() &&
        !EnterHasMeaning(QApplication::focusWidget()))
        Take();
}
