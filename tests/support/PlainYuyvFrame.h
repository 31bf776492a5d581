// A packed YUYV frame of one colour, as a capture thread hands it over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline std::vector<uint8_t> PlainYuyvFrame(int nWidth, int nHeight, uint8_t nY, uint8_t nU, uint8_t nV)
{
    std::vector<uint8_t> abFrame(size_t(nWidth) * size_t(nHeight) * 2);
    for (size_t i = 0; i < abFrame.size(); i += 4)
    {
        abFrame[i] = nY;
        abFrame[i + 1] = nU;
        abFrame[i + 2] = nY;
        abFrame[i + 3] = nV;
    }
    return abFrame;
}
