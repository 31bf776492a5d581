#include "media/rtmp/AvcConfig.h"

namespace
{
// Splits start-code delimited NAL units.
std::vector<std::vector<uint8_t>> SplitAnnexB(const uint8_t* pData, int nLength)
{
    std::vector<std::vector<uint8_t>> vecUnits;
    int nStart = -1;
    int i = 0;
    while (i + 2 < nLength)
    {
        if (pData[i] == 0 && pData[i + 1] == 0 && pData[i + 2] == 1)
        {
            if (nStart >= 0)
            {
                int nEnd = i;
                while (nEnd > nStart && pData[nEnd - 1] == 0)
                    --nEnd;
                vecUnits.emplace_back(pData + nStart, pData + nEnd);
            }
            i += 3;
            nStart = i;
            continue;
        }
        ++i;
    }
    if (nStart >= 0 && nStart < nLength)
        vecUnits.emplace_back(pData + nStart, pData + nLength);
    return vecUnits;
}
}

std::vector<uint8_t> MakeAvcConfig(const uint8_t* pData, int nLength)
{
    if (!pData || nLength <= 0)
        return {};
    if (pData[0] == 1)
        return std::vector<uint8_t>(pData, pData + nLength);

    std::vector<std::vector<uint8_t>> vecSps, vecPps;
    for (auto& unit : SplitAnnexB(pData, nLength))
    {
        if (unit.empty() || unit.size() > 0xFFFF)
            continue;
        int nType = unit[0] & 0x1F;
        if (nType == 7 && unit.size() >= 4)
            vecSps.push_back(unit);
        else if (nType == 8)
            vecPps.push_back(unit);
    }
    if (vecSps.empty() || vecPps.empty() || vecSps.size() > 31 || vecPps.size() > 255)
        return {};

    std::vector<uint8_t> vecOut = {1, vecSps[0][1], vecSps[0][2], vecSps[0][3], 0xFF, uint8_t(0xE0 | vecSps.size())};
    auto append = [&vecOut](const std::vector<uint8_t>& unit) {
        vecOut.push_back(uint8_t(unit.size() >> 8));
        vecOut.push_back(uint8_t(unit.size() & 0xFF));
        vecOut.insert(vecOut.end(), unit.begin(), unit.end());
    };
    for (auto& sps : vecSps)
        append(sps);
    vecOut.push_back(uint8_t(vecPps.size()));
    for (auto& pps : vecPps)
        append(pps);
    return vecOut;
}
