#include "ui/projection/CProjectionController.h"

#include "config/CSettings.h"
#include "engine/CKVCapture.h"
#include "media/KVStream.h"
#include "platform/Log.h"
#include "ui/windows/CScreenWnd.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace
{
std::atomic<CProjectionController*> s_pPublished{nullptr};

KVS_RECT ToKvsRect(const QRect& rc)
{
    return KVS_RECT{rc.x(), rc.y(), rc.x() + rc.width(), rc.y() + rc.height()};
}
}

CProjectionController::CProjectionController()
    : m_threadDraw(&CProjectionController::DrawThread, this)
{
    if (!qGuiApp)
        return;
    QObject::connect(qGuiApp, &QGuiApplication::screenAdded, &m_screenWatch, [this](QScreen* pScreen) {
        WatchScreen(pScreen);
        FollowScreens();
    });
    // Emitted while the screen is being destroyed, before Qt moves its
    // windows to the first monitor: the slot's window goes first, so that
    // no projection ever covers the operator's window.
    QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &m_screenWatch, [this] { FollowScreens(); });
    QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, &m_screenWatch, [this] { FollowScreens(); });
    for (QScreen* pScreen : QGuiApplication::screens())
        WatchScreen(pScreen);
}

CProjectionController::~CProjectionController()
{
    if (s_pPublished.load() == this)
        Publish(nullptr);
    Close();
    {
        std::lock_guard<std::mutex> lock(m_mutexFrame);
        m_bStop = true;
    }
    m_cvFrame.notify_all();
    m_threadDraw.join();
}

void CProjectionController::Publish(CProjectionController* pController)
{
    s_pPublished.store(pController);
    CKVCapture::SetProjectionSink(pController);
}

CProjectionController* CProjectionController::GetPublished()
{
    return s_pPublished.load();
}

bool CProjectionController::Init()
{
    Close();
    Apply();
    return true;
}

void CProjectionController::Apply()
{
    if (std::any_of(std::begin(m_aSlot), std::end(m_aSlot), [](const SSlot& slot) { return slot.pWnd != nullptr; }))
    {
        // A second Apply without Close would leave the old windows on their
        // monitors with nobody to close them; replace them instead.
        Log::Warning("ui", QStringLiteral("Projection rebuilt without Close"));
        Close();
    }
    m_bApplied = true;
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
    {
        if (QScreen* pScreen = ScreenOfSlot(i))
            BuildSlot(i, pScreen);
    }
    PlaceStoredRect();
}

void CProjectionController::FollowScreens()
{
    // Only between Apply and Close: a monitor connected while the program
    // closes gets nothing.
    if (!m_bApplied)
        return;
    // Closed first, so that a screen never holds two projection windows.
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
    {
        SSlot& slot = m_aSlot[i];
        if (slot.pWnd && slot.pScreen != ScreenOfSlot(i))
        {
            Log::Info("ui", QStringLiteral("Projection %1 leaves monitor %2")
                                .arg(i)
                                .arg(slot.pScreen ? slot.pScreen->name() : QString()));
            CloseSlot(i);
        }
    }
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
    {
        QScreen* pScreen = ScreenOfSlot(i);
        if (!pScreen)
            continue;
        if (m_aSlot[i].pWnd)
        {
            // The same monitor, perhaps moved or of another size now.
            m_aSlot[i].pWnd->PlaceOnScreen(pScreen);
            continue;
        }
        Log::Info("ui", QStringLiteral("Projection %1 on monitor %2").arg(i).arg(pScreen->name()));
        BuildSlot(i, pScreen);
    }
    PlaceStoredRect();
}

QScreen* CProjectionController::ScreenOfSlot(int nSlot)
{
    // The first screen is the operator's.
    return QGuiApplication::screens().value(nSlot + 1);
}

void CProjectionController::WatchScreen(QScreen* pScreen)
{
    QObject::connect(pScreen, &QScreen::geometryChanged, &m_screenWatch, [this] { FollowScreens(); });
}

void CProjectionController::PlaceStoredRect()
{
    int nLeft = 0;
    int nTop = 0;
    int nRectWidth = 0;
    int nRectHeight = 0;
    g_settings.GetScreenPos(nLeft, nTop, nRectWidth, nRectHeight);
    SetPosition(nLeft, nTop, nRectWidth, nRectHeight);
}

void CProjectionController::BuildSlot(int nSlot, QScreen* pScreen)
{
    SSlot& slot = m_aSlot[nSlot];
    std::unique_ptr<SRendererRecord> pRecord(new SRendererRecord);
    pRecord->nSlot = nSlot;
    CScreenWnd* pWnd = new CScreenWnd(pScreen);
    pRecord->hWnd = pWnd->GetWindowHandle();
    CreateRenderer(*pRecord, g_settings.GetOutputWidth(), g_settings.GetOutputHeight());
    pWnd->SetBackground(g_settings.GetBgPath());
    const bool bShow = g_settings.GetScreen() && g_settings.GetScreenEnabled(nSlot);
    if (bShow)
        pWnd->ShowOnScreen();
    else
        pWnd->hide();

    std::lock_guard<std::mutex> lock(m_mutexRecords);
    pRecord->bEnabled = bShow ? 1 : 0;
    slot.pRecord = std::move(pRecord);
    slot.pWnd = pWnd;
    slot.pScreen = pScreen;
    UpdateAnyEnabled();
}

void CProjectionController::CreateRenderer(SRendererRecord& record, int nWidth, int nHeight)
{
    if (!KVS_GetMonitorGUIDFromWindow(record.hWnd, &record.guid))
        std::memset(&record.guid, 0, sizeof(record.guid));
    record.hRenderer = KVS_CreateVideoRenderer(&record.guid, record.hWnd, KVS_COLOR_YUYV, nWidth, nHeight, 0, 1);
    if (!record.hRenderer)
    {
        Log::Error("ui", QStringLiteral("Cannot create the renderer of projection %1").arg(record.nSlot));
        return;
    }
    const KVS_RECT rcNone{0, 0, 0, 0};
    KVS_SetVideoRendererPosition(record.hRenderer, nullptr, &rcNone);
    record.nWidth = nWidth;
    record.nHeight = nHeight;
}

void CProjectionController::Close()
{
    m_bApplied = false;
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
        CloseSlot(i);
}

void CProjectionController::CloseSlot(int nSlot)
{
    std::unique_ptr<SRendererRecord> pRecord;
    CScreenWnd* pWnd = nullptr;
    {
        // Once the record is out of the slot the drawing thread cannot reach
        // it; it may be drawing right now, which this lock waits for.
        std::lock_guard<std::mutex> lock(m_mutexRecords);
        pRecord = std::move(m_aSlot[nSlot].pRecord);
        pWnd = m_aSlot[nSlot].pWnd;
        m_aSlot[nSlot] = SSlot();
        UpdateAnyEnabled();
    }
    if (pRecord && pRecord->hRenderer)
        KVS_DestroyVideoRenderer(pRecord->hRenderer);
    delete pWnd;
}

bool CProjectionController::IsLive(int nSlot) const
{
    if (nSlot < 0 || nSlot >= Projection::SLOT_COUNT)
        return false;
    const SSlot& slot = m_aSlot[nSlot];
    return slot.pRecord && slot.pWnd;
}

void CProjectionController::ShowScreen(int nSlot, bool bOn)
{
    if (!IsLive(nSlot))
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutexRecords);
        m_aSlot[nSlot].pRecord->bEnabled = bOn ? 1 : 0;
        UpdateAnyEnabled();
    }
    if (bOn)
        m_aSlot[nSlot].pWnd->ShowOnScreen();
    else
        m_aSlot[nSlot].pWnd->hide();
}

void CProjectionController::SetBackground(const QString& strPath)
{
    for (SSlot& slot : m_aSlot)
    {
        if (slot.pWnd)
            slot.pWnd->SetBackground(strPath);
    }
}

bool CProjectionController::SetPosition(int nLeft, int nTop, int nWidth, int nHeight)
{
    const QSize sizeOutput(g_settings.GetOutputWidth(), g_settings.GetOutputHeight());
    const QRect rcOutput(nLeft, nTop, nWidth, nHeight);
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
    {
        SSlot& slot = m_aSlot[i];
        if (!IsLive(i) || !slot.pScreen)
            continue;
        const QRect rc = Projection::ScaleToScreen(rcOutput, sizeOutput, slot.pScreen->geometry().size());
        {
            std::lock_guard<std::mutex> lock(m_mutexRecords);
            PlaceRenderer(*slot.pRecord, ToKvsRect(rc));
        }
        slot.pWnd->update();
    }
    return true;
}

void CProjectionController::PlaceRenderer(SRendererRecord& record, const KVS_RECT& rcTarget)
{
    record.rcTarget = rcTarget;
    if (!record.hRenderer)
        return;
    // Follow the window onto another monitor.
    KVS_GUID guid{};
    if (KVS_GetMonitorGUIDFromWindow(record.hWnd, &guid) && std::memcmp(&guid, &record.guid, sizeof(guid)) != 0)
    {
        record.guid = guid;
        KVS_ResetVideoRenderer(record.hRenderer, &record.guid, record.hWnd, KVS_COLOR_YUYV, record.nWidth,
                               record.nHeight, 0, 1);
    }
    KVS_SetVideoRendererPosition(record.hRenderer, nullptr, &record.rcTarget);
}

void CProjectionController::UpdateAnyEnabled()
{
    bool bAny = false;
    for (const SSlot& slot : m_aSlot)
        bAny = bAny || (slot.pRecord && slot.pRecord->hRenderer && slot.pRecord->bEnabled);
    m_bAnyEnabled.store(bAny);
}

CScreenWnd* CProjectionController::GetWindow(int nSlot) const
{
    return nSlot >= 0 && nSlot < Projection::SLOT_COUNT ? m_aSlot[nSlot].pWnd : nullptr;
}

bool CProjectionController::IsDrawing(int nSlot) const
{
    if (nSlot < 0 || nSlot >= Projection::SLOT_COUNT)
        return false;
    std::lock_guard<std::mutex> lock(m_mutexRecords);
    const SRendererRecord* pRecord = m_aSlot[nSlot].pRecord.get();
    return pRecord && pRecord->hRenderer && pRecord->bEnabled;
}

QRect CProjectionController::GetRendererRect(int nSlot) const
{
    if (nSlot < 0 || nSlot >= Projection::SLOT_COUNT)
        return QRect();
    std::lock_guard<std::mutex> lock(m_mutexRecords);
    const SRendererRecord* pRecord = m_aSlot[nSlot].pRecord.get();
    if (!pRecord)
        return QRect();
    const KVS_RECT& rc = pRecord->rcTarget;
    return QRect(rc.nLeft, rc.nTop, rc.nRight - rc.nLeft, rc.nBottom - rc.nTop);
}

void CProjectionController::DrawFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight)
{
    Q_UNUSED(nTimestamp);
    if (!m_bAnyEnabled.load() || !pFrame || nWidth <= 0 || nHeight <= 0)
        return;
    const size_t nBytes = size_t(nWidth) * size_t(nHeight) * 2;
    {
        std::lock_guard<std::mutex> lock(m_mutexFrame);
        // The drawing thread has not taken the previous frame yet: the newer
        // one replaces it, the projection skips a frame.
        if (m_bFramePending)
            ++m_nDroppedFrames;
        m_vecPending.resize(nBytes);
        std::memcpy(m_vecPending.data(), pFrame, nBytes);
        m_nPendingWidth = nWidth;
        m_nPendingHeight = nHeight;
        m_bFramePending = true;
    }
    m_cvFrame.notify_one();
}

void CProjectionController::DrawThread()
{
    for (;;)
    {
        int nWidth = 0;
        int nHeight = 0;
        {
            std::unique_lock<std::mutex> lock(m_mutexFrame);
            m_cvFrame.wait(lock, [this] { return m_bFramePending || m_bStop; });
            if (m_bStop)
                return;
            m_vecPending.swap(m_vecDrawing);
            nWidth = m_nPendingWidth;
            nHeight = m_nPendingHeight;
            m_bFramePending = false;
        }
        std::lock_guard<std::mutex> lock(m_mutexRecords);
        for (const SSlot& slot : m_aSlot)
        {
            const SRendererRecord* pRecord = slot.pRecord.get();
            if (!pRecord || !pRecord->hRenderer || !pRecord->bEnabled)
                continue;
            // A frame of another size comes while the output size changes and
            // the records are not rebuilt yet: drawn with the record's stride it
            // would be read past its end.
            if (pRecord->nWidth != nWidth || pRecord->nHeight != nHeight)
                continue;
            KVS_VideoRendererDrawImage(pRecord->hRenderer, m_vecDrawing.data(), 2 * pRecord->nWidth, 1);
        }
    }
}
