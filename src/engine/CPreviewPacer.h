// Lets a channel's preview through at most at the output's frame rate.
// Cameras may deliver faster than the output runs, and a preview drawn more
// often shows nothing the user could tell apart, yet costs a conversion each
// time. Frames are admitted on a grid of the output's frame duration with a
// quarter of a frame of leeway, so that a camera at exactly the output's rate
// keeps every frame despite the jitter of its delivery.
#pragma once

#include <atomic>
#include <cstdint>

class CPreviewPacer
{
public:
    // The output's frame duration in microseconds; 0 or less admits every
    // frame. Any thread.
    void SetInterval(int64_t nIntervalUs) { m_nIntervalUs.store(nIntervalUs); }

    // Whether a frame arriving at nNowUs, on a clock that never goes back,
    // is to be drawn. Called by one thread at a time: the capture thread.
    bool Admit(int64_t nNowUs);

private:
    std::atomic<int64_t> m_nIntervalUs{0};
    bool m_bStarted = false;
    int64_t m_nNextUs = 0;
};
