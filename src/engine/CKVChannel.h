// One capture channel: a capture device, its property handle and the
// renderer that previews it in a window. Used on the user-interface thread;
// only the frame handler runs on the capture thread of the media layer.
#pragma once

#include "engine/CPreviewPacer.h"
#include "media/KVTypes.h"

#include <atomic>
#include <cstdint>

class CKVChannel
{
public:
    explicit CKVChannel(int nIndex);
    virtual ~CKVChannel();

    CKVChannel(const CKVChannel&) = delete;
    CKVChannel& operator=(const CKVChannel&) = delete;

    // Opens device nDevice and its preview renderer in window hWnd. True at
    // once when the channel already holds nDevice; a channel holding another
    // device closes it first. On failure the channel is closed again.
    bool Open(int nDevice, KVS_WINDOW hWnd);
    bool SetFormat(int nWidth, int nHeight, int nDuration);
    bool Start();
    void Stop();
    // Stops, sets the new format and starts again. A refused format leaves
    // the channel open and stopped with its device, so that a later format
    // the device takes brings the picture back; false then.
    bool Restart(int nWidth, int nHeight, int nDuration);
    void Close();

    bool IsOpen() const { return m_hCapture != nullptr; }
    bool IsStarted() const { return m_bStarted; }
    // The device refused the last format asked of it; the channel stays
    // stopped until a format is accepted.
    bool IsFormatRefused() const { return m_bFormatRefused; }
    // Open with an accepted format, yet not capturing: what a device held by
    // another program looks like.
    bool IsDeviceBusy() const { return IsOpen() && !IsStarted() && !m_bFormatRefused && !m_bDeviceLost; }
    // The device went away while capturing (unplugged): the channel keeps it,
    // stopped and without signal, until Recover brings the picture back.
    bool IsDeviceLost() const { return m_bDeviceLost; }
    void MarkDeviceLost();
    // Starts again with the same format once the device is back; false (and
    // still lost) when it does not capture yet.
    bool Recover();
    void Repaint();
    void UpdateRenderer();

    int GetIndex() const { return m_nIndex; }
    int GetDeviceIndex() const { return m_nDevice; }
    KVS_HANDLE GetCaptureHandle() const { return m_hCapture; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    int GetFrameDuration() const { return m_nDuration; }

    // The media layer's own dialog for the device; 0 when the channel is not
    // open. Without a parent the preview window owns the dialog.
    int ShowPropertyDialog(KVS_WINDOW hParent);
    int ShowPropertyDialog();

    bool GetVideoProcParamRange(int nId, int& nMin, int& nMax, int& nDefault);
    bool GetVideoProcParam(int nId, int& nValue);
    bool SetVideoProcParam(int nId, int nValue);
    // Leaves both values alone and returns false without a property handle.
    bool GetSignalState(int& nNoSignal, int& nInputType);
    // Captured frames per second since the last reset; the measurement
    // restarts every five seconds so that it follows changes.
    bool GetStatistics(float& fFps);

private:
    static void FrameHandler(const uint8_t* pFrame, int nStride, void* pUser);
    void OnFrame(const uint8_t* pFrame, int nStride);
    void ResetStatistics();

    const int m_nIndex;
    int m_nDevice = -1;
    KVS_GUID m_guidMonitor{};
    // Read by the frame handler on the capture thread. It is created and
    // destroyed only while the capture is stopped, but the atomic keeps the
    // hand-over well defined without relying on that.
    std::atomic<KVS_HANDLE> m_hRenderer{nullptr};
    KVS_HANDLE m_hCapture = nullptr;
    KVS_HANDLE m_hProperty = nullptr;
    int m_nWidth = 768;
    int m_nHeight = 576;
    int m_nDuration = 400000;
    const int m_nColor = KVS_COLOR_YUYV;
    KVS_WINDOW m_hWnd = 0;
    std::atomic<uint64_t> m_nCapturedFrames{0};
    // The preview follows the output's rate, which is the frame duration
    // every format is set with, whatever the device delivers.
    CPreviewPacer m_pacerPreview;
    uint32_t m_nStatisticsStart = 0;
    bool m_bStarted = false;
    bool m_bFormatRefused = false;
    bool m_bDeviceLost = false;
};
