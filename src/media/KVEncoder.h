// H.264 and AAC encoders and the MP4 muxer. Handles are opaque; null means
// failure, with the reason for KVS_GetLastError (media/KVError.h); nothing
// throws. Output callbacks run on the encoders' own threads.
#pragma once

#include "media/KVTypes.h"

// H.264 parameter block, in this order.
struct KVE_H264_PARAM
{
    int32_t nWidth;
    int32_t nHeight;
    int32_t nDuration;    // 100-ns units per frame
    int32_t nBitrate;     // Kbps
    int32_t nQuality;     // 1 best quality, 4 balanced, 7 best speed
    int32_t nProfile;     // 100 high, 77 main, 66 baseline
    int32_t nKeyInterval; // frames
    int32_t nLowLatency;  // 0 normal, 1 low latency
    int32_t nReserved1;
    int32_t nReserved2;
    int32_t nLowLatency2; // same value as nLowLatency
};

// AAC parameter block (the sample rate is passed on its own: 48000).
struct KVE_AAC_PARAM
{
    int32_t nChannels; // 2
    int32_t nBitrate;  // Kbps
    int32_t nQuality;  // 100, 50 or 30
    int32_t nReserved; // 1
};

enum
{
    KVE_ENCODER_SOFTWARE = 1,
    KVE_ENCODER_HARDWARE = 2
};

enum
{
    KVE_STREAM_VIDEO = 1,
    KVE_STREAM_AUDIO = 0
};

// What travels with every encoded packet as the callback's second buffer, so
// that the muxer and the RTMP client need no side channel. Timestamps are in
// 100-ns units from the start of the encoder. pExtraData holds the codec
// headers (avcC / AudioSpecificConfig, as libavcodec's extradata) and is the
// same for every packet of one encoder. Video packets come in decode order;
// with B-frames (normal mode) the first decode stamps lie below zero. The
// first audio packet starts one AAC frame (1024 samples) before zero: the
// encoder's priming, which players skip.
struct KVE_PACKET_INFO
{
    int32_t nStream; // KVE_STREAM_VIDEO or KVE_STREAM_AUDIO
    int32_t bKeyFrame;
    int64_t nPts;
    int64_t nDts;
    int64_t nDuration;
    const uint8_t* pExtraData;
    int32_t nExtraData;
};

// Encoder output: (data, length, second buffer = const KVE_PACKET_INFO*,
// second length = sizeof(KVE_PACKET_INFO), user). Video data is in the
// length-prefixed (AVCC) form with 4-byte lengths.
typedef void (*KVE_OUTPUT_CALLBACK)(const uint8_t* pData, int nLength, const void* pSecond, int nSecondLength,
                                    void* pUser);

KVS_HANDLE KVE_CreateH264Encoder(int nType, int nColor, const KVE_H264_PARAM* pParam, KVE_OUTPUT_CALLBACK pfn,
                                 void* pUser);
// nValue: the frame's presentation time in 100-ns units from the start of
// the encoder. The frame takes the whole frame duration that time falls in;
// when that place is taken (or lies before the previous frame's), it goes
// right after the previous frame. A gap between places makes the frame
// before it last longer. 0 on failure; -1 when the frame was taken but an
// MP4 muxer fed by this encoder can no longer write its file.
int KVE_H264EncoderPutFrame(KVS_HANDLE hEncoder, const uint8_t* pFrame, int64_t nValue);
// The last frame put, put again at nValue (as above) without being passed or
// converted again. 0 when no frame was put yet or on failure; -1 as above.
int KVE_H264EncoderRepeatFrame(KVS_HANDLE hEncoder, int64_t nValue);
// The next frame put is coded as a key frame (IDR), whatever the interval,
// so that a stream that lost pictures can resume at once. Only sets a flag:
// safe from any thread, including the encoder's own output callback, and
// never waits. 0 for a bad handle.
int KVE_H264EncoderRequestKeyFrame(KVS_HANDLE hEncoder);
int KVE_DestroyH264Encoder(KVS_HANDLE hEncoder);

KVS_HANDLE KVE_CreateAACEncoder(int nSampleRate, const KVE_AAC_PARAM* pParam, KVE_OUTPUT_CALLBACK pfn, void* pUser);
// s16 interleaved stereo, any length; output comes in exact 1024-sample frames.
// 0 on failure; -1 as for KVE_H264EncoderPutFrame.
int KVE_AACEncoderPutFrame(KVS_HANDLE hEncoder, const uint8_t* pData, int nLength);
int KVE_DestroyAACEncoder(KVS_HANDLE hEncoder);

// The muxer takes the encoders' output itself (hAac may be null).
// A write that fails ends the file after its last whole fragment (readable
// as it is); the encoders' puts then return -1 and the destroy returns 0.
KVS_HANDLE KVE_CreateMp4Muxer(const char16_t* pszPath, KVS_HANDLE hH264, KVS_HANDLE hAac);
// Bytes written to the file so far, and bytes of the packets waiting for the
// next fragment (which finishing the file writes too). 0 for an unknown
// handle.
int KVE_GetMp4MuxerBytes(KVS_HANDLE hMuxer, int64_t* pWritten, int64_t* pPending);
// 0 when the file could not be completed.
int KVE_DestroyMp4Muxer(KVS_HANDLE hMuxer);
