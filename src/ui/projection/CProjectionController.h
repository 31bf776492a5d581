// Projects the composed output full screen onto the monitors after the
// first one: one window and one renderer per monitor, drawn with every
// composed frame while that monitor's projection is on.
//
// Frames arrive on the engine's frame thread. They are not converted there:
// DrawFrame copies the newest frame for a drawing thread of ours and
// returns, so that slow projection drawing drops projection frames instead
// of holding up the recording. The drawing thread and the user-interface
// thread share the records under one lock, so no frame is ever drawn into a
// renderer that Close or Apply is destroying.
//
// Monitors come and go while the program runs: slot i always follows the
// current screen i + 1, so a monitor that arrives (or returns) gets its
// window and renderer at once, shown when its projection is switched on, and
// one that goes away takes its window with it.
#pragma once

#include "engine/IKVFrameSink.h"
#include "media/KVTypes.h"
#include "ui/projection/ProjectionGeometry.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CScreenWnd;
class QScreen;

class CProjectionController : public IKVFrameSink
{
public:
    CProjectionController();
    ~CProjectionController() override;
    CProjectionController(const CProjectionController&) = delete;
    CProjectionController& operator=(const CProjectionController&) = delete;

    // The one controller of the process, reached by the tabs and the main
    // window; publishing also hands it to the engine's frame path. Null
    // unpublishes (and waits for a frame being handed over).
    static void Publish(CProjectionController* pController);
    static CProjectionController* GetPublished();

    bool Init();
    // Builds windows and renderers from the settings; callers that rebuild
    // call Close first.
    void Apply();
    // Brings the slots in line with the current screens: a slot whose
    // screen changed is built again (or closed when its screen is gone), one
    // whose screen only moved or changed size follows it. Called by itself
    // when the screens change.
    void FollowScreens();
    void Close();
    void ShowScreen(int nSlot, bool bOn);
    void SetBackground(const QString& strPath);
    bool SetPosition(int nLeft, int nTop, int nWidth, int nHeight);

    void DrawFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight) override;

    // For the tabs and for checks: the window of a slot (null when none),
    // whether it draws, and the renderer rectangle in window pixels.
    CScreenWnd* GetWindow(int nSlot) const;
    bool IsDrawing(int nSlot) const;
    QRect GetRendererRect(int nSlot) const;
    // Frames replaced before the drawing thread could take them.
    uint64_t GetDroppedFrames() const { return m_nDroppedFrames.load(); }

private:
    struct SRendererRecord
    {
        KVS_HANDLE hRenderer = nullptr;
        int bEnabled = 0;
        KVS_GUID guid{};
        KVS_WINDOW hWnd = 0;
        int nSlot = 0;
        int nWidth = 0;
        int nHeight = 0;
        // Left, top, right, bottom as last given to the renderer.
        KVS_RECT rcTarget{0, 0, 0, 0};
    };
    struct SSlot
    {
        std::unique_ptr<SRendererRecord> pRecord;
        CScreenWnd* pWnd = nullptr;
        QPointer<QScreen> pScreen;
    };

    bool IsLive(int nSlot) const;
    // The screen slot nSlot belongs to now; null when there is none.
    static QScreen* ScreenOfSlot(int nSlot);
    // Builds slot nSlot on pScreen as the settings say.
    void BuildSlot(int nSlot, QScreen* pScreen);
    void CloseSlot(int nSlot);
    void CreateRenderer(SRendererRecord& record, int nWidth, int nHeight);
    void PlaceRenderer(SRendererRecord& record, const KVS_RECT& rcTarget);
    void PlaceStoredRect();
    void WatchScreen(QScreen* pScreen);
    // Caller holds m_mutexRecords.
    void UpdateAnyEnabled();

    void DrawThread();

    SSlot m_aSlot[Projection::SLOT_COUNT];
    // Between Apply and Close; only then do the slots follow the screens.
    bool m_bApplied = false;
    // Holds the connections to the screen signals, which end with it.
    QObject m_screenWatch;
    // Guards the records (not the windows, which only the user-interface
    // thread touches) against the drawing thread.
    mutable std::mutex m_mutexRecords;
    // Lets DrawFrame skip the copy while nothing is shown.
    std::atomic<bool> m_bAnyEnabled{false};

    // The frame handed from DrawFrame to the drawing thread.
    std::mutex m_mutexFrame;
    std::condition_variable m_cvFrame;
    std::vector<uint8_t> m_vecPending;
    std::vector<uint8_t> m_vecDrawing;
    int m_nPendingWidth = 0;
    int m_nPendingHeight = 0;
    bool m_bFramePending = false;
    bool m_bStop = false;
    std::atomic<uint64_t> m_nDroppedFrames{0};
    std::thread m_threadDraw;
};
