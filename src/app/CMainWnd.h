// The output panel: the composed picture with its audio level, the session
// controls under it and the tab window on the right. It rebuilds the engine's
// output from the settings, takes snapshots, shows the preview full screen
// and starts and stops sessions, reporting each to the main window.
#pragma once

#include "config/SceneSettings.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>

class CTabWnd;
class CVideoWnd;
class IKVRecordNotify;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLCDNumber;
class QProgressBar;
class QPushButton;

class CMainWnd : public QWidget
{
    Q_OBJECT

public:
    enum
    {
        TAB_WIDTH = 440
    };

    CMainWnd(IKVRecordNotify* pNotify, QWidget* pParent);
    ~CMainWnd() override;

    // Destroys and re-creates the mixer with the stored output format, then
    // puts the stored logo and caption on it. The channels are placed again
    // by whoever changed the format (the Device tab's ApplyChannelRects).
    void ApplyOutputSettings();

    // The main window keeps this in step with its Start action.
    void SetStartEnabled(bool bEnable);

    // The stop keeps the duration shown so far.
    void StopElapsedTimer();

    // True while a session started here has not been stopped.
    bool IsRunning() const { return m_bRunning; }
    // True while OnButtonStop is under way, its question possibly open.
    bool IsStopping() const { return m_bStopping; }
    // Ends the session without the completion question: for a file that
    // takes nothing more, asking for room to finish it would only hold the
    // stop up (and would ask about a disk that another process filled).
    void StopWithoutFinishCheck();

    // Studio mode: a Preview monitor beside Program, the tabs editing
    // Preview, and Take and Cut to put it on air. Turning it on starts
    // Preview as the tabs' current scene.
    void SetStudioMode(bool bOn);
    bool IsStudioMode() const;
    // Take uses the chosen transition; Cut is always at once.
    void Take();
    void Cut();
    // The channel's camera alone over the whole picture: in Preview, or
    // (bToProgram) straight on air; outside studio mode it cross-fades.
    void ShowChannelAlone(int nChannel, bool bToProgram);

    CVideoWnd* GetPreviewWnd() const { return m_pPreviewWnd; }
    CVideoWnd* GetStudioPreviewWnd() const { return m_pStudioWnd; }
    CTabWnd* GetTabWnd() const { return m_pTabWnd; }

signals:
    void signalStudioModeChanged(bool bOn);

public slots:
    void OnTimer();
    void OnTimerVoice();
    void OnTimeout();
    void OnButtonRecord();
    // The one stop sequence of every way to stop: for a recording, the
    // check that its file can be finished, then the session ends.
    void OnButtonStop();
    void OnButtonFullscreen();
    void OnButtonSnapshot();
    void OnTimerRestartDSound();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void SetOutputTitle(double dFrameRate);
    QPushButton* CreateButton(const QIcon& icon, const QString& strText, const QString& strToolTip,
                              const char* pszName);
    // The session is on: elapsed time running, Start off, Stop on, the tabs'
    // controls locked, and the main window told the file name.
    void EnterRunningState(const QString& strFileName);
    // The other half: the engine stopped, the buttons and tabs back, the
    // main window told.
    void EndSession();
    // The stop sequence, with or without the completion question.
    void StopSession(bool bCheckRoom);
    // Asks until the stopped recording's index fits or the user gives up;
    // false when its folder is gone or cannot be written, so that asking
    // is of no use.
    bool WaitForRoomToFinish();
    // "Disk space is not enough to complete mp4 file..."; false for "No".
    bool AskRetryFinish();
    // Puts the tabs' scene on the engine's edited scene again.
    void ApplyScene();
    // Program's stored values go into the settings for the tabs to show, and
    // Preview's are kept aside: what a take did to the two scenes.
    void SwapSceneSettings();
    void StoreProgramScene();
    void EnterStudioModeIfChosen();
    void UpdateStudioControls();
    // Critical boxes naming the folder.
    void ShowFolderNotWritable(const QString& strFolder);
    void ShowFolderLost(const QString& strFolder);

    IKVRecordNotify* const m_pNotify;
    QGroupBox* m_pOutputBox = nullptr;
    CTabWnd* m_pTabWnd = nullptr;
    CVideoWnd* m_pPreviewWnd = nullptr;
    QProgressBar* m_pLevelBar = nullptr;
    QTimer* m_pTimer = nullptr;
    QTimer* m_pTimerVoice = nullptr;
    QTimer* m_pTimerRestartDSound = nullptr;
    QPushButton* m_pButtonRecord = nullptr;
    QPushButton* m_pButtonStop = nullptr;
    QPushButton* m_pButtonSnapshot = nullptr;
    QPushButton* m_pButtonFullscreen = nullptr;
    QLCDNumber* m_pElapsed = nullptr;
    QWidget* m_pPreviewColumn = nullptr;
    CVideoWnd* m_pStudioWnd = nullptr;
    QLabel* m_pLabelPreview = nullptr;
    QLabel* m_pLabelProgram = nullptr;
    QPushButton* m_pButtonStudio = nullptr;
    QWidget* m_pStudioRow = nullptr;
    QPushButton* m_pButtonTake = nullptr;
    QPushButton* m_pButtonCut = nullptr;
    QComboBox* m_pCmbTransition = nullptr;
    // The stored values of the scene on air while studio mode is on.
    SSceneSettings m_sceneProgram;
    bool m_bProgramSceneKept = false;
    QDoubleSpinBox* m_pSpinDuration = nullptr;
    uint32_t m_nStartTick = 0;
    QTimer m_timerRate;
    bool m_bRunning = false;
    // Where the running session records; empty when it only streams.
    QString m_strRecordFolder;
    // A stop is under way (its question may be open).
    bool m_bStopping = false;
};
