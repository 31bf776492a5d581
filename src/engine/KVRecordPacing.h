// Keeps a recording's picture and sound on one clock. Every encoded frame
// takes its place (a slot of one frame duration) from the recording's clock
// instead of from the number of frames that happened to arrive, so a machine
// that cannot compose or encode every frame records fewer frames that last
// longer, never a picture that runs fast. While audio is recorded its sample
// count is that clock; a device that stops delivering is covered with
// silence, so both tracks always span the same time.
//
// All times are in 100-ns units.
#pragma once

#include <cstdint>

// Audio samples per second of every recording.
const int KV_AUDIO_SAMPLE_RATE = 48000;
// Samples in one block of the audio capture.
const int KV_AUDIO_BLOCK_SAMPLES = 1024;

int64_t SamplesToTime(uint64_t nSamples);
// Truncating; 0 for a time that is not positive.
uint64_t TimeToSamples(int64_t nTime);

// The recording's audio position and the moment it last moved. Used under
// the audio-encoder lock: the audio thread moves it with every block, the
// frame handler reads it and covers stalls with silence.
class CKVAudioClock
{
public:
    // Without a block for this long the device counts as stalled: from then
    // on silence stands in for it. Shorter gaps are left to the device,
    // which delivers what was delayed in a burst.
    static constexpr int64_t STALL_TIME = 10000000;

    void Start(int64_t nNow);
    // A block of nSamples arrives at nNow. Returns the samples of silence to
    // encode before it: after a stall, the time the device lost.
    uint64_t OnBlock(uint64_t nSamples, int64_t nNow);
    // Silence to encode at nNow to keep a stalled recording's sound on time;
    // 0 while blocks come.
    uint64_t TakeStallSilence(int64_t nNow);
    // Adds samples the recording needs beyond those of the device (at its end).
    void AddSilence(uint64_t nSamples, int64_t nNow);
    // The recording's time at nNow: the audio position, carried on by the
    // monotonic clock for at most nLead past its last move (blocks come in
    // lumps; a picture must not run ahead of sound that is missing).
    int64_t GetTime(int64_t nNow, int64_t nLead) const;
    uint64_t GetSamples() const { return m_nSamples; }

private:
    uint64_t m_nSamples = 0;
    // When m_nSamples was last brought up to date.
    int64_t m_nMovedAt = 0;
    // When the device last delivered.
    int64_t m_nLastBlockAt = 0;
};

// Places the frames of a recording in slots of one frame duration.
class CKVFramePlacer
{
public:
    void Start(int nFrameDuration);
    // The slot of a frame composed at recording time nTime, or -1 when it
    // would run ahead of the clock (its slot is taken). A frame behind the
    // clock by a whole frame or more jumps to the clock's slot: the frame
    // before it lasts over the gap.
    int64_t Place(int64_t nTime);
    // Where a repeat of the last frame goes so that the video lasts until
    // nEnd (the end of the sound); -1 when it does already, to half a frame.
    int64_t EndSlot(int64_t nEnd) const;
    // The end of the video placed so far.
    int64_t GetEnd() const { return m_nNextSlot * m_nDuration; }
    int64_t GetNextSlot() const { return m_nNextSlot; }

private:
    int64_t m_nDuration = 400000;
    int64_t m_nNextSlot = 0;
};
