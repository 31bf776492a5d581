// The program's top-level window: menus, status bar and the output panel.
// The engine and the Settings tab talk back to the user interface through its
// IKVRecordNotify; requests from other threads arrive as queued signals.
#pragma once

#include "engine/IKVRecordNotify.h"

#include <QMainWindow>
#include <QString>

class CMainWnd;
class QAction;
class QFile;
class QHBoxLayout;
class QLabel;
class QMenu;
class QTimer;

class CVistrel : public QMainWindow, public IKVRecordNotify
{
    Q_OBJECT

public:
    explicit CVistrel(QWidget* pParent = nullptr);
    ~CVistrel() override;

    CMainWnd* GetOutputPanel() const { return m_pMainWnd; }

    // ---- IKVRecordNotify ----
    void OnRecordStarted(const QString& strFileName) override;
    void OnRecordStopped() override;
    void OnSnapshot(const QString& strFileName) override;
    void EnableStart(bool bEnable) override;
    void RefreshOutput() override;
    // Any thread.
    int OnAudioDeviceReleased(KVS_HANDLE hAudio) override;
    // Any thread.
    void OnError(int nCode) override;
    // On the user-interface thread: the engine polls the devices there.
    void OnDevicesChanged() override;
    void StopStatusTimer() override;
    int CheckRtmpSettings(int nValue) override;
    // Any thread.
    void OnSnapshotFinished(const QString& strPath, bool bWritten) override;

signals:
    // All five are connected queued, so they may be emitted from any thread.
    void signalError(int nCode);
    void signalCloseAudioDevice(void* hDevice);
    void signalStop();
    void signalShowUp();
    void signalSnapshotFinished(const QString& strPath, bool bWritten);

public slots:
    void OnMenuRecord();
    void OnMenuStop();
    void OnMenuSnapshot();
    void OnMenuExit();
    void OnMenuAbout();
    void OnMenuFullscreen();
    void OnTimer();
    void OnlinkActivated(const QString& strLink);
    void OnlinkActivatedLiving(const QString& strLink);
    void CloseAudioDevice(void* hDevice);
    void DealError(int nCode);
    void OnShowUp();
    // "Snapshot ok, ..." for a written file, else the failure naming it.
    void OnSnapshotResult(const QString& strPath, bool bWritten);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void moveEvent(QMoveEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    // Once per crash report: the status bar says where it is.
    void ReportLastCrash();
    void CreateActions();
    void CreateMenus();
    // Shows strText in the record label, with the session's statistics and
    // streaming indicator while a session runs.
    void RefreshStatusBar(const QString& strText);
    QString MakeOpenFileLink(const QString& strText) const;
    // True for the first box about a session's unplanned stop, false for
    // every later one of the same session.
    bool TakeStopReport();
    // "Do you confirm to close application on recording and streaming?" and
    // its shorter forms; the answer is true for "Yes".
    bool AskCloseDuringSession();
    void UpdateRenderers();
    // Where the running recording is written.
    QString RecordFolder() const;

    QMenu* m_pMenuFile = nullptr;
    QMenu* m_pMenuHelp = nullptr;
    QAction* m_pActionRecord = nullptr;
    QAction* m_pActionStop = nullptr;
    QAction* m_pActionSnapshot = nullptr;
    QAction* m_pActionExit = nullptr;
    QAction* m_pActionFullscreen = nullptr;
    QAction* m_pActionAbout = nullptr;
    CMainWnd* m_pMainWnd = nullptr;
    QWidget* m_pStatusContainer = nullptr;
    QHBoxLayout* m_pStatusLayout = nullptr;
    QLabel* m_pLabelRecord = nullptr;
    QLabel* m_pLabelLiving = nullptr;
    QLabel* m_pLabelStatistics = nullptr;
    QTimer* m_pTimer = nullptr;
    int m_bRunning = 0;
    bool m_bStopReported = false;
    // Never opened: it only names the growing recording so its size can be read.
    QFile* m_pRecordFile = nullptr;
    QString m_strRecordFileName;
    QString m_strRecordFilePath;
    QString m_strSnapshotFileName;
    QString m_strSnapshotFilePath;
    int m_bLastOutputRecord = 0;
    int m_nLowFrameRateCount = 0;
    QString m_strLinkText;
    // The last measurement shown, kept while the engine has no new one.
    QString m_strStatistics;
};
