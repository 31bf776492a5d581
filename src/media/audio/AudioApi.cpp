// The KVS_ audio capture operations (the ...3 names) over CAudioCapture,
// one handle per open source.
#include "media/audio/AudioCapture.h"
#include "media/core/HandleTable.h"
#include "media/KVAudio.h"

using namespace KVMedia;

namespace
{
CHandleTable<CAudioCapture> g_tableAudio;
}

KVS_HANDLE KVS_OpenAudioCapture3(const KVS_GUID* pGuid)
{
    SAudioDeviceDesc desc;
    if (!pGuid || !FindAudioDevice(*pGuid, &desc))
        return nullptr;
    auto pCapture = std::make_shared<CAudioCapture>(desc);
    if (!pCapture->Open())
        return nullptr;
    return g_tableAudio.Add(std::move(pCapture));
}

int KVS_SetAudioCaptureFormat3(KVS_HANDLE hAudio, int nSampleRate, int nChannels, int nBlockSamples, int)
{
    const auto pCapture = g_tableAudio.Get(hAudio);
    return pCapture && pCapture->SetFormat(nSampleRate, nChannels, nBlockSamples) ? 1 : 0;
}

int KVS_SetAudioCaptureCallback3(KVS_HANDLE hAudio, KVS_AUDIO_CAPTURE_CALLBACK pfn, void* pUser)
{
    const auto pCapture = g_tableAudio.Get(hAudio);
    if (!pCapture)
        return 0;
    pCapture->SetDataCallback(pfn, pUser);
    return 1;
}

int KVS_SetAudioMeterCallback3(KVS_HANDLE hAudio, KVS_AUDIO_METER_CALLBACK pfn, void* pUser)
{
    const auto pCapture = g_tableAudio.Get(hAudio);
    if (!pCapture)
        return 0;
    pCapture->SetMeterCallback(pfn, pUser);
    return 1;
}

int KVS_SetAudioMonitor3(KVS_HANDLE hAudio, int nOn)
{
    const auto pCapture = g_tableAudio.Get(hAudio);
    return pCapture && pCapture->SetMonitor(nOn != 0) ? 1 : 0;
}

int KVS_StartAudioCapture3(KVS_HANDLE hAudio)
{
    const auto pCapture = g_tableAudio.Get(hAudio);
    return pCapture && pCapture->Start() ? 1 : 0;
}

int KVS_StopAudioCapture3(KVS_HANDLE hAudio)
{
    const auto pCapture = g_tableAudio.Get(hAudio);
    return pCapture && pCapture->Stop() ? 1 : 0;
}

int KVS_CloseAudioCapture3(KVS_HANDLE hAudio)
{
    const auto pCapture = g_tableAudio.Get(hAudio);
    if (!pCapture || pCapture->IsOwnThread())
        return 0;
    // Stopped before the handle goes, so no block arrives after Close
    // returns even if another call still holds the object for a moment.
    pCapture->Stop();
    g_tableAudio.Remove(hAudio);
    return 1;
}
