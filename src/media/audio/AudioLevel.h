// The level meter's scale: a block's RMS in dBFS (full scale = a full-scale
// square wave, so a full-scale sine reads -3 dBFS) mapped linearly from
// -60..0 dBFS to 0..100; quieter than -60 dBFS reads 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace KVMedia
{
int LevelFromDbfs(double dDbfs);
// nCount: the number of 16-bit samples (all channels together).
double RmsDbfsFromS16(const int16_t* pSamples, size_t nCount);
int LevelFromS16(const int16_t* pSamples, size_t nCount);
}
