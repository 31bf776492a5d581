#include "KVRecordPacing.h"

namespace
{
// How far the video may run ahead of or behind the audio, in frames.
const int64_t SLACK_FRAMES = 3;
}

int64_t ExpectedFrameCount(uint64_t nAudioSamples, int nFrameDuration)
{
    if (nFrameDuration <= 0)
        return 0;
    // Milliseconds first, as the audio clock has always been counted; a
    // sample count beyond 2^63 / 1000 would take millions of years to reach.
    const int64_t nMilliseconds = static_cast<int64_t>(nAudioSamples * 1000 / KV_AUDIO_SAMPLE_RATE);
    return nMilliseconds * 10000 / nFrameDuration;
}

KVFramePacing DecideFramePacing(int64_t nFrame, uint64_t nAudioSamples, int nFrameDuration, bool bAudioStalled)
{
    if (bAudioStalled || nFrameDuration <= 0)
        return KV_FRAME_ONCE;
    // Signed, so that the first frames (n < 3) are not taken for frames far
    // ahead of the audio.
    const int64_t nExpected = ExpectedFrameCount(nAudioSamples, nFrameDuration);
    if (nFrame + SLACK_FRAMES < nExpected)
        return KV_FRAME_TWICE;
    if (nExpected <= nFrame - SLACK_FRAMES)
        return KV_FRAME_DROP;
    return KV_FRAME_ONCE;
}

int FramesPerSecond(int nFrameDuration)
{
    if (nFrameDuration <= 0)
        return 1;
    const int nFrames = 10000000 / nFrameDuration;
    return nFrames > 0 ? nFrames : 1;
}
