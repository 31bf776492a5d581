#include "media/audio/ToneGenerator.h"

#include <cmath>

namespace KVMedia
{
CToneGenerator::CToneGenerator()
{
    const int nLength = SAMPLE_RATE / FREQUENCY;
    const double dPeak = 32768.0 * std::pow(10.0, PEAK_DBFS / 20.0);
    m_vecPeriod.resize(size_t(nLength));
    for (int i = 0; i < nLength; ++i)
        m_vecPeriod[size_t(i)] = int16_t(std::lround(dPeak * std::sin(2.0 * M_PI * i / nLength)));
}

void CToneGenerator::Fill(int16_t* pFrames, int nFrames)
{
    for (int i = 0; i < nFrames; ++i)
    {
        const int16_t nSample = m_vecPeriod[m_nPhase];
        pFrames[2 * i] = nSample;
        pFrames[2 * i + 1] = nSample;
        m_nPhase = (m_nPhase + 1) % m_vecPeriod.size();
    }
}
}
