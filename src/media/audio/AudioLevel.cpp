#include "media/audio/AudioLevel.h"

#include <cmath>
#include <limits>

namespace KVMedia
{
int LevelFromDbfs(double dDbfs)
{
    if (!(dDbfs > -60.0))
        return 0; // also catches NaN and -inf (silence)
    if (dDbfs >= 0.0)
        return 100;
    return int(std::lround((dDbfs + 60.0) * 100.0 / 60.0));
}

double RmsDbfsFromS16(const int16_t* pSamples, size_t nCount)
{
    if (!pSamples || nCount == 0)
        return -std::numeric_limits<double>::infinity();
    double dSum = 0.0;
    for (size_t i = 0; i < nCount; ++i)
        dSum += double(pSamples[i]) * double(pSamples[i]);
    const double dRms = std::sqrt(dSum / double(nCount));
    if (dRms <= 0.0)
        return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(dRms / 32768.0);
}

int LevelFromS16(const int16_t* pSamples, size_t nCount)
{
    return LevelFromDbfs(RmsDbfsFromS16(pSamples, nCount));
}
}
