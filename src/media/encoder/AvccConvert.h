// libx264 writes its packets and headers with start codes; MP4 and FLV want
// 4-byte length prefixes and an avcC record.
#pragma once

#include <cstdint>
#include <vector>

namespace KVMedia
{
// True when the buffer begins with a 00 00 01 or 00 00 00 01 start code.
bool IsAnnexB(const uint8_t* pData, int nLength);

// Each NAL unit prefixed by its 4-byte big-endian length.
std::vector<uint8_t> AnnexBToAvcc(const uint8_t* pData, int nLength);

// avcC record from start-code headers holding SPS and PPS; empty when no SPS
// or PPS is found. Data already in avcC form is returned unchanged.
std::vector<uint8_t> MakeAvcC(const uint8_t* pData, int nLength);
}
