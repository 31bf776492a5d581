// A producer whose pictures cost much to turn into pixels (compressed ones):
// it takes each picture in cheaply and decodes only the newest one, and only
// when somebody is going to look at it. A camera faster than the output, or
// one nobody composes, then costs decoding only the frames that are shown.
#pragma once

#include "media/capture/FrameProducer.h"

namespace KVMedia
{
class IDeferredProducer : public IFrameProducer
{
public:
    // Receive found nothing new within a short wait.
    static const int RECEIVE_IDLE = 2;

    // Takes the next picture in without decoding it. Returns PRODUCE_FRAME
    // when one came, RECEIVE_IDLE when none came for a moment (so the
    // capture thread can see whether a picture is wanted meanwhile), or
    // PRODUCE_STOPPED / PRODUCE_FAILED. Runs on the capture thread.
    virtual int Receive(CStopSignal& stop) = 0;
    // Decodes the newest picture taken in, at most once; false when there
    // is none or it is damaged. Runs on the capture thread.
    virtual bool DecodePending(uint8_t* pDst, int nStride) = 0;

    // Every picture, decoded as it comes.
    int Produce(uint8_t* pDst, int nStride, CStopSignal& stop) final
    {
        for (;;)
        {
            const int nReceived = Receive(stop);
            if (nReceived == RECEIVE_IDLE)
                continue;
            if (nReceived != PRODUCE_FRAME)
                return nReceived;
            if (DecodePending(pDst, nStride))
                return PRODUCE_FRAME;
        }
    }
};
}
