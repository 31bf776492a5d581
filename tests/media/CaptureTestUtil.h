// Shared pieces of the media tests: a capture callback that records what it
// receives, and picture measurements on packed YUYV.
#pragma once

#include "media/KVStream.h"

#include <QByteArray>
#include <QString>

#include <cstdlib>

#include <cstdint>
#include <mutex>
#include <vector>

struct SFrameSink
{
    std::mutex mutex;
    int nFrames = 0;
    int nBadStride = 0;
    int nExpectedStride = 0;
    // Frames already under way when the format changed: welcome until the
    // first frame of the new size, bad after it.
    int nOutgoingStride = 0;
    int nHeight = 0;
    QByteArray baLast;

    int Frames()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return nFrames;
    }
    QByteArray Last()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return baLast;
    }
    int BadStrides()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return nBadStride;
    }
    // Frames of nWidth x nHeight are expected from now on.
    void Reset(int nWidth, int nHeightValue)
    {
        std::lock_guard<std::mutex> lock(mutex);
        nFrames = 0;
        nBadStride = 0;
        nExpectedStride = nWidth * 2;
        nOutgoingStride = 0;
        nHeight = nHeightValue;
        baLast.clear();
    }
    // Frames of nWidth x nHeight are expected once those of the size before
    // have stopped coming.
    void Switch(int nWidth, int nHeightValue)
    {
        std::lock_guard<std::mutex> lock(mutex);
        nOutgoingStride = nExpectedStride;
        nExpectedStride = nWidth * 2;
        nHeight = nHeightValue;
        baLast.clear();
    }
};

inline void OnSinkFrame(const uint8_t* pFrame, int nStride, void* pUser)
{
    auto* pSink = static_cast<SFrameSink*>(pUser);
    std::lock_guard<std::mutex> lock(pSink->mutex);
    ++pSink->nFrames;
    if (nStride != pSink->nExpectedStride)
    {
        if (nStride != pSink->nOutgoingStride)
            ++pSink->nBadStride;
        return;
    }
    pSink->nOutgoingStride = 0;
    pSink->baLast = QByteArray(reinterpret_cast<const char*>(pFrame), nStride * pSink->nHeight);
}

// Mean of the luma bytes of a YUYV buffer.
inline double MeanLuma(const QByteArray& baFrame)
{
    if (baFrame.size() < 2)
        return 0;
    uint64_t nSum = 0;
    for (int i = 0; i < baFrame.size(); i += 2)
        nSum += uint8_t(baFrame[i]);
    return double(nSum) / (double(baFrame.size()) / 2);
}

// Mean distance of the chroma bytes from neutral grey.
inline double MeanChroma(const QByteArray& baFrame)
{
    if (baFrame.size() < 4)
        return 0;
    uint64_t nSum = 0;
    for (int i = 1; i < baFrame.size(); i += 2)
        nSum += uint64_t(std::abs(int(uint8_t(baFrame[i])) - 128));
    return double(nSum) / (double(baFrame.size()) / 2);
}

inline int FindDevice(const char16_t* pszName)
{
    const QString strWanted = QString::fromUtf16(pszName);
    for (int i = 0; i < KVS_GetVideoCaptureCount(); ++i)
    {
        KVS_VIDEO_CAPTURE_INFO info;
        if (KVS_GetVideoCaptureInfo(i, &info) && QString::fromUtf16(info.szName) == strWanted)
            return i;
    }
    return -1;
}

inline KVS_HANDLE OpenDevice(int nIndex)
{
    KVS_VIDEO_CAPTURE_INFO info;
    if (!KVS_GetVideoCaptureInfo(nIndex, &info))
        return nullptr;
    return KVS_OpenVideoCapture(info.szIdentity);
}
