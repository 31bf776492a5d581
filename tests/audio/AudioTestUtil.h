// What a test capture received, filled on the layer's delivery thread.
#pragma once

#include "media/KVAudio.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

struct SAudioSink
{
    std::mutex mutex;
    int nBlocks = 0;
    int nWrongSize = 0;
    std::vector<uint8_t> vecLast;
    std::atomic<int> nMeterCalls{0};
    std::atomic<int> nLevel{-1};
    std::chrono::steady_clock::time_point tFirst;
    std::chrono::steady_clock::time_point tLast;

    int Blocks()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return nBlocks;
    }

    static void OnData(const uint8_t* pData, int nLength, void* pUser)
    {
        auto* pSink = static_cast<SAudioSink*>(pUser);
        std::lock_guard<std::mutex> lock(pSink->mutex);
        const auto tNow = std::chrono::steady_clock::now();
        if (pSink->nBlocks == 0)
            pSink->tFirst = tNow;
        pSink->tLast = tNow;
        ++pSink->nBlocks;
        if (nLength != 4096)
            ++pSink->nWrongSize;
        pSink->vecLast.assign(pData, pData + nLength);
    }

    static void OnMeter(int nLevel, void* pUser)
    {
        auto* pSink = static_cast<SAudioSink*>(pUser);
        pSink->nLevel = nLevel;
        ++pSink->nMeterCalls;
    }

    void Attach(KVS_HANDLE hAudio)
    {
        KVS_SetAudioCaptureCallback3(hAudio, &SAudioSink::OnData, this);
        KVS_SetAudioMeterCallback3(hAudio, &SAudioSink::OnMeter, this);
    }
};

// Closes a capture when a test returns early, so that no callback reaches a
// sink that has gone out of scope.
struct SCaptureGuard
{
    KVS_HANDLE hAudio;
    explicit SCaptureGuard(KVS_HANDLE h)
        : hAudio(h)
    {
    }
    ~SCaptureGuard()
    {
        if (hAudio)
            KVS_CloseAudioCapture3(hAudio);
    }
    SCaptureGuard(const SCaptureGuard&) = delete;
    SCaptureGuard& operator=(const SCaptureGuard&) = delete;
};
