#include "media/encoder/AvccConvert.h"

#include <cstddef>
#include <utility>

namespace KVMedia
{
namespace
{
// NAL units (without start codes) of an Annex-B buffer.
std::vector<std::pair<const uint8_t*, int>> SplitNals(const uint8_t* pData, int nLength)
{
    std::vector<std::pair<const uint8_t*, int>> vecNals;
    int nPos = 0;
    int nStart = -1;
    while (nPos + 3 <= nLength)
    {
        if (pData[nPos] == 0 && pData[nPos + 1] == 0 && pData[nPos + 2] == 1)
        {
            if (nStart >= 0)
            {
                int nEnd = nPos;
                while (nEnd > nStart && pData[nEnd - 1] == 0)
                    --nEnd;
                vecNals.emplace_back(pData + nStart, nEnd - nStart);
            }
            nPos += 3;
            nStart = nPos;
        }
        else
        {
            ++nPos;
        }
    }
    if (nStart >= 0 && nStart < nLength)
        vecNals.emplace_back(pData + nStart, nLength - nStart);
    return vecNals;
}

void PutBe(std::vector<uint8_t>& vec, uint32_t nValue, int nBytes)
{
    for (int i = nBytes - 1; i >= 0; --i)
        vec.push_back(static_cast<uint8_t>(nValue >> (8 * i)));
}
}

bool IsAnnexB(const uint8_t* pData, int nLength)
{
    if (!pData)
        return false;
    if (nLength >= 3 && pData[0] == 0 && pData[1] == 0 && pData[2] == 1)
        return true;
    return nLength >= 4 && pData[0] == 0 && pData[1] == 0 && pData[2] == 0 && pData[3] == 1;
}

std::vector<uint8_t> AnnexBToAvcc(const uint8_t* pData, int nLength)
{
    std::vector<uint8_t> vecOut;
    vecOut.reserve(static_cast<size_t>(nLength) + 16);
    for (const auto& nal : SplitNals(pData, nLength))
    {
        if (nal.second <= 0)
            continue;
        PutBe(vecOut, static_cast<uint32_t>(nal.second), 4);
        vecOut.insert(vecOut.end(), nal.first, nal.first + nal.second);
    }
    return vecOut;
}

std::vector<uint8_t> MakeAvcC(const uint8_t* pData, int nLength)
{
    if (!IsAnnexB(pData, nLength))
        return std::vector<uint8_t>(pData, pData + (pData ? nLength : 0));
    std::vector<std::pair<const uint8_t*, int>> vecSps;
    std::vector<std::pair<const uint8_t*, int>> vecPps;
    for (const auto& nal : SplitNals(pData, nLength))
    {
        if (nal.second <= 0)
            continue;
        const int nType = nal.first[0] & 0x1f;
        if (nType == 7 && nal.second >= 4)
            vecSps.push_back(nal);
        else if (nType == 8)
            vecPps.push_back(nal);
    }
    if (vecSps.empty() || vecPps.empty())
        return {};
    std::vector<uint8_t> vecOut;
    vecOut.push_back(1);                  // configurationVersion
    vecOut.push_back(vecSps[0].first[1]); // profile_idc
    vecOut.push_back(vecSps[0].first[2]); // constraint flags
    vecOut.push_back(vecSps[0].first[3]); // level_idc
    vecOut.push_back(0xff);               // 4-byte NAL lengths
    vecOut.push_back(static_cast<uint8_t>(0xe0 | (vecSps.size() & 0x1f)));
    for (const auto& sps : vecSps)
    {
        PutBe(vecOut, static_cast<uint32_t>(sps.second), 2);
        vecOut.insert(vecOut.end(), sps.first, sps.first + sps.second);
    }
    vecOut.push_back(static_cast<uint8_t>(vecPps.size()));
    for (const auto& pps : vecPps)
    {
        PutBe(vecOut, static_cast<uint32_t>(pps.second), 2);
        vecOut.insert(vecOut.end(), pps.first, pps.first + pps.second);
    }
    return vecOut;
}
}
