// Keeps the recorded video in step with the audio clock: frames are repeated
// or dropped so that the video stays within three frames of the audio.
#pragma once

#include <cstdint>

enum KVFramePacing
{
    KV_FRAME_DROP = 0,
    KV_FRAME_ONCE = 1,
    KV_FRAME_TWICE = 2,
};

// Audio samples per second of every recording.
const int KV_AUDIO_SAMPLE_RATE = 48000;

// Frames the audio clock expects after nAudioSamples: (samples in ms x 10000)
// / duration, each division truncating. 0 for a duration that is not positive.
int64_t ExpectedFrameCount(uint64_t nAudioSamples, int nFrameDuration);

// nFrame is the new count of encoded frames including this one. With
// bAudioStalled (no audio block for a while) every frame is encoded once, so
// a silent device cannot freeze the picture.
KVFramePacing DecideFramePacing(int64_t nFrame, uint64_t nAudioSamples, int nFrameDuration, bool bAudioStalled);

// Frames in one second of video at nFrameDuration (at least 1).
int FramesPerSecond(int nFrameDuration);
