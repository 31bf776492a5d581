// H.264 codec header in the form the FLV stream carries.
#pragma once

#include <cstdint>
#include <vector>

// Returns the AVCDecoderConfigurationRecord for the codec header: unchanged
// when it already is one, built from the SPS and PPS when it is in start-code
// form. Empty when no SPS/PPS can be found.
std::vector<uint8_t> MakeAvcConfig(const uint8_t* pData, int nLength);
