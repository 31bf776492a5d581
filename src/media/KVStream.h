// Capture, device and renderer operations. Every call returns non-zero or a
// non-null handle on success; nothing throws. Callbacks run on threads of
// this layer, never on the user-interface thread.
#pragma once

#include "media/KVTypes.h"

// Library start and end: first and last call.
int KVS_Initialize();
void KVS_Uninitialize();

// Video devices: real V4L2 capture nodes first, then the virtual devices.
int KVS_GetVideoCaptureCount();
int KVS_GetVideoCaptureInfo(int nIndex, KVS_VIDEO_CAPTURE_INFO* pInfo);
int KVS_GetVideoCaptureInfoEx(int nIndex, KVS_VIDEO_CAPTURE_INFO_EX* pInfo);
// Looks for cameras plugged in or out since the last call: an unplugged one
// keeps its number and is reported absent, one that comes back (same name
// and serial number, or same USB port) takes its number again, a new one is
// appended. Returns a number that changes whenever the list changed.
int KVS_RefreshVideoDevices();
// 0 while device nIndex is unplugged (or for no such device).
int KVS_IsVideoCapturePresent(int nIndex);
// Non-zero while the capture runs; 0 once it ended, e.g. its device is gone.
int KVS_IsVideoCaptureRunning(KVS_HANDLE hCapture);

// Audio devices: their count and records (capture itself is separate).
int KVS_GetAudioCaptureCount3();
int KVS_GetAudioCaptureInfo3(int nIndex, KVS_AUDIO_CAPTURE_INFO* pInfo);

KVS_HANDLE KVS_OpenVideoCapture(const char* pszIdentity);
KVS_HANDLE KVS_OpenVideoCapturePropertyHandle(KVS_HANDLE hCapture);
int KVS_SetVideoCaptureFormat(KVS_HANDLE hCapture, int nColor, int nWidth, int nHeight, int nDuration);
int KVS_SetVideoCaptureCallback(KVS_HANDLE hCapture, KVS_VIDEO_CAPTURE_CALLBACK pfn, void* pUser);
int KVS_StartVideoCapture(KVS_HANDLE hCapture);
int KVS_StopVideoCapture(KVS_HANDLE hCapture);
int KVS_CloseVideoCapture(KVS_HANDLE hCapture);
int KVS_ShowVideoCapturePropertyDialog(KVS_HANDLE hCapture, KVS_WINDOW hParent);

// True only when a hardware H.264 encoder really opens on this machine.
int KVS_IsSupportH264HD();

// Renderers draw into the widget registered for a window id (KVRenderTarget.h).
int KVS_GetMonitorGUIDFromWindow(KVS_WINDOW hWnd, KVS_GUID* pGuid);
KVS_HANDLE KVS_CreateVideoRenderer(const KVS_GUID* pGuid, KVS_WINDOW hWnd, int nColor, int nWidth, int nHeight,
                                   int nReserved, int nFlag);
int KVS_ResetVideoRenderer(KVS_HANDLE hRenderer, const KVS_GUID* pGuid, KVS_WINDOW hWnd, int nColor, int nWidth,
                           int nHeight, int nReserved, int nFlag);
int KVS_SetVideoRendererPosition(KVS_HANDLE hRenderer, const KVS_RECT* pSource, const KVS_RECT* pTarget);
int KVS_VideoRendererDrawImage(KVS_HANDLE hRenderer, const uint8_t* pFrame, int nStride, int nFlag);
int KVS_VideoRendererRepaintRect(KVS_HANDLE hRenderer, const KVS_RECT* pRect);
int KVS_DestroyVideoRenderer(KVS_HANDLE hRenderer);

// The client rectangle of a registered window, in its own coordinates
// (stands in for the platform's client-rectangle query).
int KVS_GetWindowClientRect(KVS_WINDOW hWnd, KVS_RECT* pRect);

// Ticks of a video mixer (KVMixer.h) that started more than one frame
// duration after they were due, since it was created: each is a frame the
// output repeated or skipped because the machine could not keep up.
int KVS_GetVideoMixerLateTicks(KVS_HANDLE hMixer, uint64_t* pnLateTicks);
