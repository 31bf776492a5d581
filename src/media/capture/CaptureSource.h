// How the rest of this layer (the mixer) and its tests reach a running
// capture beyond the public operations.
#pragma once

#include "media/KVTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace KVMedia
{
// One captured picture, packed YUYV without padding. Shared rather than
// copied: nobody writes it again while a reader holds it.
struct SCapturedFrame
{
    std::vector<uint8_t> abData;
    int nWidth = 0;
    int nHeight = 0;
    uint64_t nSeq = 0;
};
}

// The newest frame of a capture, without copying it, when it is exactly
// nWidth x nHeight (nWidth 0: any size) and newer than nAfterSeq (0: any);
// null otherwise, or when the handle is not an open capture. Holding it costs the capture one
// more buffer, so readers keep it no longer than they need it. Any thread.
std::shared_ptr<const KVMedia::SCapturedFrame> KVS_AcquireLatestFrame(KVS_HANDLE hCapture, int nWidth, int nHeight,
                                                                      uint64_t nAfterSeq);

// Copies the newest frame of a capture into pDst (packed YUYV, nDstStride
// bytes per line) and gives its sequence number (1 for the first frame of
// the capture, counting up). False when the handle is not an open capture,
// when no frame of exactly nWidth x nHeight has been produced yet (for
// example just after a format change), or on bad arguments. Any thread.
bool KVS_CopyLatestFrame(KVS_HANDLE hCapture, uint8_t* pDst, int nDstStride, int nWidth, int nHeight, uint64_t* pSeq);

// Sequence number of the newest frame, 0 before the first; lets a reader
// skip the copy when nothing new arrived. Any thread.
uint64_t KVS_GetLatestFrameSeq(KVS_HANDLE hCapture);

// Makes virtual video device nIndex (index in the device list) report a
// signal or none; it then shows its test picture or its "No Signal" card.
// 0 when nIndex is not a virtual device.
int KVS_SetVirtualVideoSignal(int nIndex, int bPresent);
