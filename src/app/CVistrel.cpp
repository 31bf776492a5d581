#include "app/CVistrel.h"

#include "common/AppInfo.h"
#include "engine/CKVCapture.h"
#include "app/CMainWnd.h"
#include "app/CStudioMenu.h"
#include "config/CSettings.h"
#include "common/DiskSpace.h"
#include "common/Formatting.h"
#include "common/OutputPaths.h"
#include "common/StreamDestination.h"
#include "platform/CrashReport.h"
#include "platform/Log.h"
#include "ui/projection/CProjectionController.h"
#include "ui/tabs/CTabPreview.h"
#include "ui/tabs/CTabWnd.h"
#include "ui/windows/CLastingMessages.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QUrl>

namespace
{
const int s_nStatusInterval = 500;
const int s_nLowFrameRateLimit = 4;
const char* const s_szLinkStyle = "<a style='color: #0000EE;'>";

// What one stream is really doing: a server that refuses, never answers or
// drops the connection must not pass for one that receives the stream.
QString StreamStateText(int nIndex)
{
    int nAttempt = 0;
    switch (g_capture.GetStreamState(nIndex, nAttempt))
    {
    case CKVCapture::STREAM_CONNECTING:
        return CVistrel::tr("RTMP connecting");
    case CKVCapture::STREAM_RECONNECTING:
        return CVistrel::tr("RTMP reconnecting (attempt %1)").arg(nAttempt);
    case CKVCapture::STREAM_STALLED:
        return CVistrel::tr("RTMP stalled");
    case CKVCapture::STREAM_FAILED:
    {
        const QString strError = g_capture.GetStreamError(nIndex);
        return strError.isEmpty() ? CVistrel::tr("RTMP failed") : CVistrel::tr("RTMP failed: %1").arg(strError);
    }
    case CKVCapture::STREAM_PUBLISHING:
        return CVistrel::tr("RTMP publishing");
    default:
        return QString();
    }
}

// Several streams in one line, as counts per state, e.g. "Streams: 2
// publishing, 1 reconnecting (attempt 3)"; the attempt is the highest.
QString StreamSummaryText()
{
    int anCount[CKVCapture::STREAM_STALLED + 1] = {};
    int nMaxAttempt = 0;
    for (int i = 0; i < g_capture.GetStreamCount(); ++i)
    {
        int nAttempt = 0;
        const CKVCapture::StreamState eState = g_capture.GetStreamState(i, nAttempt);
        if (eState >= 0 && eState <= CKVCapture::STREAM_STALLED)
            ++anCount[eState];
        nMaxAttempt = qMax(nMaxAttempt, nAttempt);
    }
    QStringList astrParts;
    if (anCount[CKVCapture::STREAM_PUBLISHING] > 0)
        astrParts << CVistrel::tr("%1 publishing").arg(anCount[CKVCapture::STREAM_PUBLISHING]);
    if (anCount[CKVCapture::STREAM_CONNECTING] > 0)
        astrParts << CVistrel::tr("%1 connecting").arg(anCount[CKVCapture::STREAM_CONNECTING]);
    if (anCount[CKVCapture::STREAM_RECONNECTING] > 0)
        astrParts << CVistrel::tr("%1 reconnecting (attempt %2)")
                         .arg(anCount[CKVCapture::STREAM_RECONNECTING])
                         .arg(nMaxAttempt);
    if (anCount[CKVCapture::STREAM_STALLED] > 0)
        astrParts << CVistrel::tr("%1 stalled").arg(anCount[CKVCapture::STREAM_STALLED]);
    if (anCount[CKVCapture::STREAM_FAILED] > 0)
        astrParts << CVistrel::tr("%1 failed").arg(anCount[CKVCapture::STREAM_FAILED]);
    return CVistrel::tr("Streams: %1").arg(astrParts.join(QStringLiteral(", ")));
}

// One line per stream: its name and its state.
QString StreamDetailText()
{
    QStringList astrLines;
    for (int i = 0; i < g_capture.GetStreamCount(); ++i)
        astrLines << CVistrel::tr("%1: %2").arg(g_capture.GetStreamName(i), StreamStateText(i));
    return astrLines.join(QLatin1Char('\n'));
}
}

CVistrel::CVistrel(QWidget* pParent)
    : QMainWindow(pParent)
{
    setWindowTitle(GetAppTitle());
    setWindowFlags(windowFlags() | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);

    CreateActions();
    CreateMenus();
    m_pStatusContainer = new QWidget(this);
    m_pStatusContainer->hide();
    m_pStatusLayout = new QHBoxLayout(m_pStatusContainer);
    m_pStatusLayout->setContentsMargins(0, 0, 0, 0);
    statusBar()->setStyleSheet(QStringLiteral("QStatusBar::item{border: 0px}"));

    setWindowIcon(QIcon(QStringLiteral(":/vistrel.ico")));

    const QByteArray baGeometry = g_settings.GetFrameGeometry();
    if (baGeometry.isEmpty())
        resize(1150, 650);
    else
        restoreGeometry(baGeometry);

    m_pMainWnd = new CMainWnd(this, this);
    setCentralWidget(m_pMainWnd);
    QMenu* pMenuStudio = new QMenu(tr("S&tudio"), this);
    menuBar()->insertMenu(m_pMenuHelp->menuAction(), pMenuStudio);
    new CStudioMenu(m_pMainWnd, pMenuStudio);

    // The labels stay in the container for good, in the order they are
    // shown; RefreshStatusBar only shows and hides them.
    m_pLabelStatistics = new QLabel(m_pStatusContainer);
    m_pLabelStatistics->setObjectName(QStringLiteral("labelStatistics"));
    m_pLabelRecord = new QLabel(m_pStatusContainer);
    m_pLabelRecord->setObjectName(QStringLiteral("labelRecord"));
    m_pLabelLiving = new QLabel(m_pStatusContainer);
    m_pLabelLiving->setObjectName(QStringLiteral("labelLiving"));
    for (QLabel* pLabel : {m_pLabelStatistics, m_pLabelRecord, m_pLabelLiving})
    {
        pLabel->hide();
        m_pStatusLayout->addWidget(pLabel);
    }
    m_pStatusLayout->addStretch();
    m_pStatusLayout->setSpacing(10);
    statusBar()->addWidget(m_pStatusContainer, 1);
    // At the right, beside the session's labels, which come and go; the
    // tabs reach it through CLastingMessages::Of.
    CLastingMessages::Of(this);
    connect(m_pLabelRecord, &QLabel::linkActivated, this, &CVistrel::OnlinkActivated);
    connect(m_pLabelLiving, &QLabel::linkActivated, this, &CVistrel::OnlinkActivatedLiving);

    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(s_nStatusInterval);
    connect(m_pTimer, &QTimer::timeout, this, &CVistrel::OnTimer);

    connect(this, &CVistrel::signalError, this, &CVistrel::DealError, Qt::QueuedConnection);
    connect(this, &CVistrel::signalCloseAudioDevice, this, &CVistrel::CloseAudioDevice, Qt::QueuedConnection);
    connect(this, &CVistrel::signalStop, this, &CVistrel::OnMenuStop, Qt::QueuedConnection);
    connect(this, &CVistrel::signalShowUp, this, &CVistrel::OnShowUp, Qt::QueuedConnection);
    connect(this, &CVistrel::signalSnapshotFinished, this, &CVistrel::OnSnapshotResult, Qt::QueuedConnection);

    ReportLastCrash();

    // Nothing could be started: neither a file nor a stream is wanted.
    if (!g_settings.GetRecord() && GetEnabledStreamTargets().empty())
        EnableStart(false);

    g_capture.AddNotify(this);

    // Monitor power notifications are a Windows registration; the native
    // event filter logs whatever this platform offers instead.
}

// The engine is already shut down here, so nothing below may need it.
CVistrel::~CVistrel()
{
    g_capture.RemoveNotify(this);
    delete m_pRecordFile;
}

void CVistrel::CreateActions()
{
    QStyle* pStyle = style();
    m_pActionRecord = new QAction(pStyle->standardIcon(QStyle::SP_DialogNoButton), tr("&Start"), this);
    m_pActionRecord->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
    m_pActionRecord->setStatusTip(tr("Record to a file or push video and audio streams"));
    connect(m_pActionRecord, &QAction::triggered, this, &CVistrel::OnMenuRecord);

    m_pActionStop = new QAction(pStyle->standardIcon(QStyle::SP_MediaStop), tr("&Stop"), this);
    m_pActionStop->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    m_pActionStop->setStatusTip(tr("Stop record and push streams"));
    m_pActionStop->setEnabled(false);
    connect(m_pActionStop, &QAction::triggered, this, &CVistrel::OnMenuStop);

    m_pActionSnapshot = new QAction(QIcon(QStringLiteral(":/images/snapshot.png")), tr("S&napshot"), this);
    m_pActionSnapshot->setShortcut(QKeySequence(QStringLiteral("Ctrl+N")));
    m_pActionSnapshot->setStatusTip(tr("Snapshot"));
    connect(m_pActionSnapshot, &QAction::triggered, this, &CVistrel::OnMenuSnapshot);

    m_pActionExit = new QAction(tr("&Exit"), this);
    m_pActionExit->setShortcut(QKeySequence(QStringLiteral("Ctrl+X")));
    m_pActionExit->setStatusTip(tr("Exit the application"));
    connect(m_pActionExit, &QAction::triggered, this, &CVistrel::OnMenuExit);

    m_pActionAbout = new QAction(tr("&About..."), this);
    m_pActionAbout->setStatusTip(tr("Show the application's About box"));
    connect(m_pActionAbout, &QAction::triggered, this, &CVistrel::OnMenuAbout);

    m_pActionFullscreen = new QAction(QIcon(QStringLiteral(":/images/fullscreen.png")), tr("&Fullscreen"), this);
    m_pActionFullscreen->setShortcut(QKeySequence(QStringLiteral("Ctrl+F")));
    m_pActionFullscreen->setStatusTip(tr("Set output window to full screen"));
    connect(m_pActionFullscreen, &QAction::triggered, this, &CVistrel::OnMenuFullscreen);
}

void CVistrel::CreateMenus()
{
    m_pMenuFile = menuBar()->addMenu(tr("&File"));
    m_pMenuFile->addAction(m_pActionRecord);
    m_pMenuFile->addAction(m_pActionStop);
    m_pMenuFile->addSeparator();
    m_pMenuFile->addAction(m_pActionFullscreen);
    m_pMenuFile->addAction(m_pActionSnapshot);
    m_pMenuFile->addSeparator();
    m_pMenuFile->addAction(m_pActionExit);

    m_pMenuHelp = menuBar()->addMenu(tr("&Help"));
    m_pMenuHelp->addAction(m_pActionAbout);
}

// ---- IKVRecordNotify ----

void CVistrel::OnRecordStarted(const QString& strFileName)
{
    if (g_settings.GetRecord())
    {
        m_strRecordFileName = strFileName;
        m_strRecordFilePath = GetRecordFilePath(strFileName);
        delete m_pRecordFile;
        m_pRecordFile = new QFile(m_strRecordFilePath);
    }
    m_pActionRecord->setEnabled(false);
    m_pActionStop->setEnabled(true);
    m_nLowFrameRateCount = 0;
    m_strStatistics.clear();
    m_bStopReported = false;
    m_bRunning = 1;
    m_pTimer->start();
    OnTimer();
}

void CVistrel::OnRecordStopped()
{
    m_pActionRecord->setEnabled(true);
    m_pActionStop->setEnabled(false);
    m_bRunning = 0;
    m_pTimer->stop();
    m_strLinkText.clear();
    m_bLastOutputRecord = 1;
    OnTimer();
    delete m_pRecordFile;
    m_pRecordFile = nullptr;
    m_nLowFrameRateCount = 0;
}

void CVistrel::OnSnapshot(const QString& strFileName)
{
    m_strSnapshotFileName = strFileName;
    m_strSnapshotFilePath = GetSnapshotFilePath(strFileName);
    m_bLastOutputRecord = 0;
    RefreshStatusBar(tr("Snapshot ok, make image file: ") + strFileName + tr(".\t\t\t"));
}

void CVistrel::OnSnapshotFinished(const QString& strPath, bool bWritten)
{
    emit signalSnapshotFinished(strPath, bWritten);
}

void CVistrel::OnSnapshotResult(const QString& strPath, bool bWritten)
{
    const QString strFileName = QFileInfo(strPath).fileName();
    if (bWritten)
    {
        OnSnapshot(strFileName);
        // The link opens the file that was written, wherever the storage
        // folder points by now.
        m_strSnapshotFilePath = strPath;
        return;
    }
    // No link: there is no file to open. During a streaming-only session the
    // status timer shows the kept link text, so the failure goes there.
    const QString strText = tr("Snapshot failed, cannot write image file: %1").arg(strPath);
    RefreshStatusBar(QString());
    if (m_bRunning && !g_settings.GetRecord())
        m_strLinkText = strText;
    m_pLabelRecord->setText(strText);
    m_pLabelRecord->show();
}

void CVistrel::EnableStart(bool bEnable)
{
    m_pActionRecord->setEnabled(bEnable);
    m_pMainWnd->SetStartEnabled(bEnable);
}

void CVistrel::RefreshOutput()
{
    m_pMainWnd->ApplyOutputSettings();
}

void CVistrel::OnDevicesChanged()
{
    // A channel that lost its camera, or got it back, shows it at once.
    if (CTabWnd* pTabWnd = m_pMainWnd ? m_pMainWnd->GetTabWnd() : nullptr)
        pTabWnd->GetDeviceTab()->RefreshChannelStatus();
}

int CVistrel::OnAudioDeviceReleased(KVS_HANDLE hAudio)
{
    // Closing waits for the capture thread, which may be the caller.
    emit signalCloseAudioDevice(hAudio);
    return 1;
}

void CVistrel::OnError(int nCode)
{
    // A failing encoder is not fed again while the stop waits for the
    // user-interface thread.
    g_capture.SetRecordingStopped();
    emit signalError(nCode);
}

void CVistrel::StopStatusTimer()
{
    m_pTimer->stop();
}

void CVistrel::ReportLastCrash()
{
    const QString strReport = CrashReport::TakeUnseenReport();
    if (strReport.isEmpty())
        return;
    Log::Warning("app", QStringLiteral("the last run ended in a crash; its report is %1").arg(strReport));
    statusBar()->showMessage(
        tr("The last run ended in a crash. Its report is %1").arg(QDir::toNativeSeparators(strReport)));
}

int CVistrel::CheckRtmpSettings(int nValue)
{
    Q_UNUSED(nValue);
    // No parent: the check may come while the engine starts, before any
    // window is in front.
    const QString strError = GetEnabledStreamDestinationsError();
    if (!strError.isEmpty())
    {
        ShowCriticalMessageYes(nullptr, strError);
        return 0;
    }
    return 1;
}

// ---- Slots ----

void CVistrel::OnMenuRecord()
{
    m_pMainWnd->OnButtonRecord();
}

void CVistrel::OnMenuStop()
{
    // The panel's Stop button runs the same sequence, completion check included.
    m_pMainWnd->OnButtonStop();
}

void CVistrel::OnMenuSnapshot()
{
    m_pMainWnd->OnButtonSnapshot();
}

void CVistrel::OnMenuExit()
{
    close();
}

void CVistrel::OnMenuAbout()
{
    const QString strText = QStringLiteral("%1.%2").arg(GetAppTitle()).arg(int(VISTREL_VERSION_BUILD)) +
                            QLatin1Char('\n') + tr("Ostrana Technology Co., Ltd.") + QLatin1Char('\n') + GetWebSite() +
                            QLatin1Char('\n') + tr("Copyright (C) Ostrana Technology Co., Ltd. All rights reserved.");
    QMessageBox box(QMessageBox::NoIcon, tr("About"), strText, QMessageBox::Ok, nullptr,
                    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.button(QMessageBox::Ok)->setText(tr("OK"));
    box.exec();
}

void CVistrel::OnMenuFullscreen()
{
    m_pMainWnd->OnButtonFullscreen();
}

QString CVistrel::RecordFolder() const
{
    return QFileInfo(m_strRecordFilePath).absolutePath();
}

void CVistrel::OnTimer()
{
    if (!g_settings.GetRecord())
    {
        RefreshStatusBar(QString());
        return;
    }
    if (!m_pRecordFile)
        return;

    // The folder itself is asked: it may sit on any mounted file system.
    const QString strSize = FormatSize(QFileInfo(m_strRecordFilePath).size());
    const uint64_t nFreeBytes = GetFreeDiskSpace(RecordFolder());
    const QString strFree = FormatSize(qint64(nFreeBytes));

    QString strText;
    if (m_bRunning)
    {
        strText = QStringLiteral("%1: %2, %3: %4, %5 %6.")
                      .arg(QLatin1String(s_szLinkStyle) + tr("Recording, writing file name") + QStringLiteral("</a>"),
                           m_strRecordFileName, tr("file size"), strSize, tr("disk free space"), strFree);
    }
    else if (!QFileInfo(m_strRecordFilePath).isFile())
    {
        // The folder was removed or moved while the file was written: its
        // size here is none, and a link would lead nowhere.
        RefreshStatusBar(QString());
        m_pLabelRecord->setText(tr("Stop record. The video file %1 is no longer in %2, where it was written.")
                                    .arg(m_strRecordFileName, QDir::toNativeSeparators(RecordFolder())));
        return;
    }
    else
    {
        strText = tr("Stop record, make video file: ") + m_strRecordFileName + tr(", file size: ") + strSize +
                  QStringLiteral(".");
    }

    // A folder that is gone or cannot be written measures no free space;
    // that is no full disk, and the stop says which it is.
    if (m_bRunning && !IsFolderWritable(RecordFolder()))
    {
        g_capture.SetRecordingStopped();
        m_pTimer->stop();
        emit signalStop();
        return;
    }

    // Only a running recording can still fill the disk; after the stop the
    // final message is all there is to show.
    if (m_bRunning)
    {
        const int64_t nSecondsLeft =
            GetRecordSecondsLeft(nFreeBytes, g_capture.GetFinishReserve(), g_capture.GetByteRate());
        if (nSecondsLeft < 300)
            strText += tr("!!! Disk space is not enough !!!");
        if (nSecondsLeft < 10)
        {
            g_capture.SetRecordingStopped();
            m_pTimer->stop();
            // The question whether to make room to finish the file would
            // only stack a second box on this one, and a third once the
            // finishing write fails; the file keeps what it has written.
            const bool bReport = TakeStopReport();
            m_pMainWnd->StopWithoutFinishCheck();
            if (bReport)
                ShowCriticalMessage(this, tr("Disk space is not enough. \nRecording has been stopped."));
            return;
        }
    }
    RefreshStatusBar(strText);
}

bool CVistrel::TakeStopReport()
{
    // A disk that runs full makes the guard stop the session and the next
    // write fail, one while the other's box is open; the user is told once,
    // by the cause that came first.
    if (m_bStopReported)
        return false;
    m_bStopReported = true;
    return true;
}

void CVistrel::RefreshStatusBar(const QString& strText)
{
    statusBar()->clearMessage();
    m_pLabelStatistics->hide();
    m_pLabelRecord->hide();
    m_pLabelLiving->hide();

    if (m_bRunning)
    {
        float fByteRate = 0;
        float fFrameRate = 0;
        if (g_capture.GetStatistics(fByteRate, fFrameRate))
        {
            if (m_nLowFrameRateCount < s_nLowFrameRateLimit)
            {
                if (IsFrameRateLow(fFrameRate, g_capture.GetFrameDuration()))
                    ++m_nLowFrameRateCount;
                else
                    m_nLowFrameRateCount = 0;
                m_strStatistics = QStringLiteral("%1: %2.").arg(tr("Bitrate"), FormatBitRate(fByteRate));
            }
        }
        // Once the output has lagged four times in a row, the file will not
        // play smoothly whatever follows; the warning stays.
        if (m_nLowFrameRateCount >= s_nLowFrameRateLimit)
            m_strStatistics = tr("System performance is insufficient. Encoded video cannot be played normally.");
        m_pLabelStatistics->setText(m_strStatistics);
        m_pLabelStatistics->show();

        if (g_settings.GetRecord())
        {
            m_pLabelRecord->setText(strText);
            m_pLabelRecord->show();
        }
        else
        {
            if (!strText.isEmpty())
                m_strLinkText = MakeOpenFileLink(strText);
            if (!m_strLinkText.isEmpty())
            {
                m_pLabelRecord->setText(m_strLinkText);
                m_pLabelRecord->show();
            }
        }

        // Only streams that were started: a destination whose record could
        // not give an address has no client and is not "publishing".
        const int nStreams = g_capture.GetStreamCount();
        if (nStreams > 0)
        {
            const QString strState = nStreams == 1 ? StreamStateText(0) : StreamSummaryText();
            m_pLabelLiving->setText(QLatin1String(s_szLinkStyle) + strState.toHtmlEscaped() + QStringLiteral("</a>"));
            m_pLabelLiving->setToolTip(nStreams == 1 ? QString() : StreamDetailText());
            m_pLabelLiving->show();
        }
    }
    else
    {
        m_pLabelRecord->setText(strText.isEmpty() ? QString() : MakeOpenFileLink(strText));
        m_pLabelRecord->show();
    }
    m_pStatusContainer->show();
}

QString CVistrel::MakeOpenFileLink(const QString& strText) const
{
    // The blank keeps the link from running into the sentence before it.
    return strText + QStringLiteral(" <a href=\"") + strText + QStringLiteral("\">") + tr("Open File") +
           QStringLiteral("</a>");
}

void CVistrel::OnlinkActivated(const QString& strLink)
{
    // The link only says "this file"; which one follows from what was made last.
    Q_UNUSED(strLink);
    const QString strPath =
        (!m_strRecordFileName.isEmpty() && m_bLastOutputRecord) ? m_strRecordFilePath : m_strSnapshotFilePath;
    if (!QFileInfo(strPath).isFile())
    {
        ShowCriticalMessage(this, tr("File does not exist"));
        return;
    }
    // The desktop opens it with the program associated with its type.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(strPath)))
        Log::Warning("app", QStringLiteral("no program opens %1").arg(strPath));
}

void CVistrel::OnlinkActivatedLiving(const QString& strLink)
{
    // The streaming indicator carries no link target, so there is nothing to
    // open; a player for the stream would be started from here.
    Q_UNUSED(strLink);
}

void CVistrel::CloseAudioDevice(void* hDevice)
{
    g_capture.CloseAudioHandle(hDevice);
}

void CVistrel::DealError(int nCode)
{
    if (nCode == IKVRecordNotify::ERROR_ENCODE)
    {
        OnMenuStop();
        if (TakeStopReport())
            ShowCriticalMessage(this, tr("Encode fail ! Recording/streaming has been stopped !\n"));
    }
    else if (nCode == IKVRecordNotify::ERROR_WRITE)
    {
        m_pMainWnd->StopWithoutFinishCheck();
        if (TakeStopReport())
            ShowCriticalMessage(this, tr("Write file fail ! Recording has been stopped !\n"));
    }
}

void CVistrel::OnShowUp()
{
    if (isMaximized())
        showMaximized();
    else
        showNormal();
    raise();
    activateWindow();
    Log::Info("app", QStringLiteral("brought to the front"));
}

// ---- Window events ----

bool CVistrel::AskCloseDuringSession()
{
    const bool bPush = g_settings.GetRtmpServerRecord().IsPushEnabled();

    QString strQuestion = tr("Do you confirm to close application");
    if (g_settings.GetRecord())
    {
        strQuestion += tr(" on recording");
        if (bPush)
            strQuestion += tr(" and streaming");
    }
    else if (bPush)
    {
        strQuestion += tr(" on streaming");
    }
    strQuestion += tr("?");

    QMessageBox box(QMessageBox::Information, GetAppTitle(), strQuestion, QMessageBox::NoButton, this);
    QPushButton* pYes = box.addButton(tr("Yes"), QMessageBox::YesRole);
    QPushButton* pNo = box.addButton(tr("No"), QMessageBox::NoRole);
    box.setDefaultButton(pYes);
    // Dismissing the box keeps the session: only a "Yes" may end it.
    box.setEscapeButton(pNo);
    box.exec();
    return box.clickedButton() == pYes;
}

void CVistrel::closeEvent(QCloseEvent* pEvent)
{
    if (m_bRunning)
    {
        if (!AskCloseDuringSession())
        {
            pEvent->ignore();
            return;
        }
        pEvent->accept();
        m_pMainWnd->OnButtonStop();
        g_settings.SetFrameGeometry(saveGeometry());
    }
    // The projection windows have no parent: without this they would stay
    // on the other monitors after the main window has gone.
    if (CProjectionController* pProjection = CProjectionController::GetPublished())
        pProjection->Close();
    QMainWindow::closeEvent(pEvent);
}

void CVistrel::UpdateRenderers()
{
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
    {
        CKVChannel* pChannel = g_capture.GetChannel(i);
        if (pChannel && pChannel->IsOpen())
            pChannel->UpdateRenderer();
    }
    g_capture.UpdatePreviewRenderer();
}

void CVistrel::keyPressEvent(QKeyEvent* pEvent)
{
    // Keys that reach the main window are consumed, so that none of them
    // closes or changes it by accident.
    Q_UNUSED(pEvent);
}

void CVistrel::paintEvent(QPaintEvent* pEvent)
{
    UpdateRenderers();
    QMainWindow::paintEvent(pEvent);
}

void CVistrel::moveEvent(QMoveEvent* pEvent)
{
    UpdateRenderers();
    QMainWindow::moveEvent(pEvent);
}

void CVistrel::resizeEvent(QResizeEvent* pEvent)
{
    UpdateRenderers();
    QMainWindow::resizeEvent(pEvent);
}
