#include "engine/KVRecordPacing.h"

#include <algorithm>

int64_t SamplesToTime(uint64_t nSamples)
{
    // 10^7 / 48000 = 625 / 3, exact in integers for any realistic length.
    return static_cast<int64_t>(nSamples * 625 / 3);
}

uint64_t TimeToSamples(int64_t nTime)
{
    return nTime > 0 ? static_cast<uint64_t>(nTime) * 3 / 625 : 0;
}

void CKVAudioClock::Start(int64_t nNow)
{
    m_nSamples = 0;
    m_nMovedAt = nNow;
    m_nLastBlockAt = nNow;
}

uint64_t CKVAudioClock::OnBlock(uint64_t nSamples, int64_t nNow)
{
    uint64_t nSilence = 0;
    if (nNow - m_nLastBlockAt > STALL_TIME)
    {
        // The block holds the latest sound; what lies between the position
        // and the block's start never arrived.
        const uint64_t nDue = TimeToSamples(SamplesToTime(m_nSamples) + (nNow - m_nMovedAt));
        if (nDue > m_nSamples + nSamples)
            nSilence = nDue - m_nSamples - nSamples;
    }
    m_nSamples += nSilence + nSamples;
    m_nMovedAt = nNow;
    m_nLastBlockAt = nNow;
    return nSilence;
}

uint64_t CKVAudioClock::TakeStallSilence(int64_t nNow)
{
    if (nNow - m_nLastBlockAt <= STALL_TIME)
        return 0;
    const uint64_t nDue = TimeToSamples(SamplesToTime(m_nSamples) + (nNow - m_nMovedAt));
    if (nDue <= m_nSamples)
        return 0;
    const uint64_t nSilence = nDue - m_nSamples;
    m_nSamples = nDue;
    m_nMovedAt = nNow;
    return nSilence;
}

void CKVAudioClock::AddSilence(uint64_t nSamples, int64_t nNow)
{
    m_nSamples += nSamples;
    m_nMovedAt = nNow;
}

int64_t CKVAudioClock::GetTime(int64_t nNow, int64_t nLead) const
{
    const int64_t nSince = std::max<int64_t>(0, nNow - m_nMovedAt);
    return SamplesToTime(m_nSamples) + std::min(nSince, nLead);
}

void CKVFramePlacer::Start(int nFrameDuration)
{
    m_nDuration = nFrameDuration > 0 ? nFrameDuration : 400000;
    m_nNextSlot = 0;
}

int64_t CKVFramePlacer::Place(int64_t nTime)
{
    // Half a frame ahead is tolerated, a whole one behind: the frame
    // handler's own jitter then never drops or stretches a frame, and the
    // video stays within a frame of the clock.
    if (nTime < m_nNextSlot * m_nDuration - m_nDuration / 2)
        return -1;
    int64_t nSlot = m_nNextSlot;
    if (nTime >= (m_nNextSlot + 1) * m_nDuration)
        nSlot = nTime / m_nDuration;
    m_nNextSlot = nSlot + 1;
    return nSlot;
}

int64_t CKVFramePlacer::EndSlot(int64_t nEnd) const
{
    if (m_nNextSlot == 0 || nEnd - GetEnd() <= m_nDuration / 2)
        return -1;
    // The last slot that starts before nEnd: the video then ends within a
    // frame after the sound.
    return (nEnd + m_nDuration - 1) / m_nDuration - 1;
}
