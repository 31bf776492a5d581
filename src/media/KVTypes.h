// Types shared by every operation of the media layer.
#pragma once

#include <cstdint>

typedef void* KVS_HANDLE;     // opaque; null means failure
typedef uintptr_t KVS_WINDOW; // native window id of the widget drawn into

// Packed YUYV, two bytes per pixel, the only colour format the program uses.
enum
{
    KVS_COLOR_YUYV = 3
};

struct KVS_GUID
{
    uint8_t abData[16];
};

// Inclusive on left/top, exclusive on right/bottom, like a client rectangle.
struct KVS_RECT
{
    int32_t nLeft;
    int32_t nTop;
    int32_t nRight;
    int32_t nBottom;
};

enum
{
    KVS_NAME_LEN = 256,
    KVS_IDENTITY_LEN = 512
};

// Device record filled by KVS_GetVideoCaptureInfo.
struct KVS_VIDEO_CAPTURE_INFO
{
    char16_t szName[KVS_NAME_LEN];     // display name, UTF-16, zero-terminated
    char szIdentity[KVS_IDENTITY_LEN]; // passed back to KVS_OpenVideoCapture
};

// Extended record filled by KVS_GetVideoCaptureInfoEx.
struct KVS_VIDEO_CAPTURE_INFO_EX
{
    int32_t nFamily; // 1, 2 or 3
    KVS_VIDEO_CAPTURE_INFO info;
    int32_t nMaxWidth;
    int32_t nMaxHeight;
};

// Audio device record filled by KVS_GetAudioCaptureInfo3.
struct KVS_AUDIO_CAPTURE_INFO
{
    char16_t szName[KVS_NAME_LEN];
    KVS_GUID guid; // passed back to KVS_OpenAudioCapture3
};

typedef void (*KVS_VIDEO_CAPTURE_CALLBACK)(const uint8_t* pFrame, int nStride, void* pUser);
