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
    // nValue1 is the frame's timestamp in 100-ns units, nValue2 and nValue3
    // its width and height, exactly as the mixer delivered them.
    virtual void DrawFrame(const uint8_t* pFrame, int64_t nValue1, int nValue2, int nValue3) = 0;
};
