// Receives every composed output frame on the mixer thread, after the
// engine's own previews have drawn it. The projection output implements it;
// the engine knows it only through this interface.
#pragma once

#include <cstdint>

class IKVFrameSink
{
public:
    virtual ~IKVFrameSink() = default;

    // pFrame: packed YUYV of the output size, valid only during the call.
    // nTimestamp in 100-ns units, nWidth and nHeight exactly as the mixer
    // delivered them.
    virtual void DrawFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight) = 0;
};
