// Reaches the control functions of the preloaded camera emulation, and
// pieces shared by the tests that run on it.
#pragma once

#include <QByteArray>

#include <dlfcn.h>

namespace V4l2Emu
{
template <typename T> T Function(const char* pszName)
{
    return reinterpret_cast<T>(dlsym(RTLD_DEFAULT, pszName));
}

// False when the test runs without the emulation preloaded.
inline bool IsLoaded()
{
    return Function<int (*)()>("v4l2emu_camera_count") != nullptr;
}

inline bool SetPlugged(int nCamera, bool bPlugged)
{
    auto pfn = Function<int (*)(int, int)>("v4l2emu_set_plugged");
    return pfn && pfn(nCamera, bPlugged ? 1 : 0) != 0;
}

inline bool SetNode(int nCamera, int nNode)
{
    auto pfn = Function<int (*)(int, int)>("v4l2emu_set_node");
    return pfn && pfn(nCamera, nNode) != 0;
}

inline long long FramesDelivered(int nCamera)
{
    auto pfn = Function<long long (*)(int)>("v4l2emu_frames_delivered");
    return pfn ? pfn(nCamera) : 0;
}

// What each emulated camera shows, as the program delivers it in packed
// YUYV (limited range after MJPEG, as sent for YUYV): camera 0 is red,
// camera 1 green, camera 2 blue, camera 4 cyan. Coarse
// on purpose: scaling and compression move the values a little.
inline bool LooksLikeCamera(int nCamera, int nY, int nU, int nV)
{
    switch (nCamera)
    {
    case 0:
        return nY > 60 && nY < 100 && nU < 115 && nV > 200;
    case 1:
        return nY > 125 && nY < 170 && nU < 70 && nV < 50;
    case 2:
        return nY < 50 && nU > 200 && nV < 125;
    case 4:
        return nY > 150 && nY < 200 && nU > 145 && nU < 200 && nV < 50;
    default:
        return false;
    }
}
}
