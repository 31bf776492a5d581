// Audio capture operations. Audio is 16-bit interleaved stereo at 48 kHz,
// delivered in blocks of exactly the requested number of sample frames
// (1024 frames = 4096 bytes by default). Every call returns non-zero or a
// non-null handle on success; nothing throws.
//
// Callbacks run on a thread of this layer (one per open capture), never on
// the user-interface thread and never on the sound server's thread.
// Setting a callback to null detaches it: once the call returns, the old
// callback is not called again. Stop and Close must not be called from
// inside a callback of the same capture (they refuse and return 0).
#pragma once

#include "media/KVTypes.h"

typedef void (*KVS_AUDIO_CAPTURE_CALLBACK)(const uint8_t* pData, int nLength, void* pUser);
// nLevel: 0..100, the block's RMS mapped linearly from -60..0 dBFS.
typedef void (*KVS_AUDIO_METER_CALLBACK)(int nLevel, void* pUser);

KVS_HANDLE KVS_OpenAudioCapture3(const KVS_GUID* pGuid);
// Only 48000 Hz and 2 channels are accepted; nBlockSamples is the number of
// sample frames per delivered block; nReserved is accepted and ignored.
int KVS_SetAudioCaptureFormat3(KVS_HANDLE hAudio, int nSampleRate, int nChannels, int nBlockSamples, int nReserved);
int KVS_SetAudioCaptureCallback3(KVS_HANDLE hAudio, KVS_AUDIO_CAPTURE_CALLBACK pfn, void* pUser);
int KVS_SetAudioMeterCallback3(KVS_HANDLE hAudio, KVS_AUDIO_METER_CALLBACK pfn, void* pUser);
// Plays the captured blocks on the default output while on; 0 when
// monitoring cannot be set up (no sound server).
int KVS_SetAudioMonitor3(KVS_HANDLE hAudio, int nOn);
int KVS_StartAudioCapture3(KVS_HANDLE hAudio);
int KVS_StopAudioCapture3(KVS_HANDLE hAudio);
int KVS_CloseAudioCapture3(KVS_HANDLE hAudio);
