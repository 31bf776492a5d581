// The virtual audio device's signal: a 1 kHz sine at -12 dBFS peak on both
// channels (RMS -15 dBFS, meter level 75), continuous across blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KVMedia
{
class CToneGenerator
{
public:
    enum
    {
        SAMPLE_RATE = 48000,
        FREQUENCY = 1000,
        PEAK_DBFS = -12
    };

    CToneGenerator();
    // Fills nFrames stereo sample frames (2 x int16 each).
    void Fill(int16_t* pFrames, int nFrames);

private:
    std::vector<int16_t> m_vecPeriod; // one period: 48 samples at 48 kHz
    size_t m_nPhase = 0;
};
}
