// The encoder parameter blocks of a recording, from the stored option
// indices. Indices outside their tables fall back to the defaults.
#pragma once

#include "config/OptionTables.h"
#include "media/KVEncoder.h"

struct KVEncoderOptions
{
    int nProfile = 0;
    int nQuality = 2;
    int nBitrate = 4;
    int nMode = 0;
    int nKeyFrame = 2;
    int nEncoderKind = ENCODER_KIND_HARDWARE;
    int nAudioBitrate = 1;
    int nAudioQuality = 1;
};

// Out-of-table indices replaced by their defaults.
KVEncoderOptions SanitizeEncoderOptions(const KVEncoderOptions& options);

// The key interval (frames) of a session that streams: the setting, or
// fewer frames where it would leave more than 2 s between key frames at a
// frame duration of nDuration (100-ns units).
int StreamKeyInterval(int nKeyInterval, int nDuration);
// bStreaming forces the low-latency mode and the stream's key interval.
KVE_H264_PARAM BuildH264Param(const KVEncoderOptions& options, int nWidth, int nHeight, int nDuration, bool bStreaming);
KVE_AAC_PARAM BuildAacParam(const KVEncoderOptions& options);
// KVE_ENCODER_SOFTWARE or KVE_ENCODER_HARDWARE.
int EncoderType(const KVEncoderOptions& options);
