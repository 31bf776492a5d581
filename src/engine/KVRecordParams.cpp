#include "engine/KVRecordParams.h"

#include "config/OptionTables.h"

#include <algorithm>
#include <cstdint>

namespace
{
int IndexOrDefault(int nIndex, int nCount, int nDefault)
{
    return IsValidIndex(nIndex, nCount) ? nIndex : nDefault;
}

const int QUALITY_CODES[] = {1, 4, 7};
const int PROFILE_CODES[] = {100, 77, 66};

// Servers and players ask a live stream for a key frame at least this often
// (100-ns units): a viewer who joins, or a server that was reconnected, sees
// nothing until the next one.
const int64_t STREAM_KEY_SPAN = 20000000;
}

int StreamKeyInterval(int nKeyInterval, int nDuration)
{
    if (nDuration <= 0)
        return nKeyInterval;
    const int nFrames = std::max<int>(1, static_cast<int>(STREAM_KEY_SPAN / nDuration));
    return std::min(nKeyInterval, nFrames);
}

KVEncoderOptions SanitizeEncoderOptions(const KVEncoderOptions& options)
{
    const KVEncoderOptions defaults;
    KVEncoderOptions result;
    result.nProfile = IndexOrDefault(options.nProfile, 3, defaults.nProfile);
    result.nQuality = IndexOrDefault(options.nQuality, 3, defaults.nQuality);
    result.nBitrate = IndexOrDefault(options.nBitrate, GetBitrateCount(), defaults.nBitrate);
    result.nMode = IndexOrDefault(options.nMode, 2, defaults.nMode);
    result.nKeyFrame = IndexOrDefault(options.nKeyFrame, GetKeyFrameCount(), defaults.nKeyFrame);
    result.nEncoderKind = options.nEncoderKind;
    result.nAudioBitrate = IndexOrDefault(options.nAudioBitrate, GetAudioBitrateCount(), defaults.nAudioBitrate);
    result.nAudioQuality = IndexOrDefault(options.nAudioQuality, GetAudioQualityCount(), defaults.nAudioQuality);
    return result;
}

KVE_H264_PARAM BuildH264Param(const KVEncoderOptions& optionsIn, int nWidth, int nHeight, int nDuration,
                              bool bStreaming)
{
    const KVEncoderOptions options = SanitizeEncoderOptions(optionsIn);
    KVE_H264_PARAM param{};
    param.nWidth = nWidth;
    param.nHeight = nHeight;
    param.nDuration = nDuration;
    param.nBitrate = GetBitrate(options.nBitrate);
    param.nQuality = QUALITY_CODES[options.nQuality];
    param.nProfile = PROFILE_CODES[options.nProfile];
    // A file is only seeked in; a stream is joined, so it gets a shorter
    // interval than the setting where needed.
    const int nKeyInterval = GetKeyFrame(options.nKeyFrame);
    param.nKeyInterval = bStreaming ? StreamKeyInterval(nKeyInterval, nDuration) : nKeyInterval;
    param.nLowLatency = bStreaming ? 1 : options.nMode;
    param.nReserved1 = 0;
    param.nReserved2 = 0;
    param.nLowLatency2 = param.nLowLatency;
    return param;
}

KVE_AAC_PARAM BuildAacParam(const KVEncoderOptions& optionsIn)
{
    const KVEncoderOptions options = SanitizeEncoderOptions(optionsIn);
    KVE_AAC_PARAM param{};
    param.nChannels = 2;
    param.nBitrate = GetAudioBitrate(options.nAudioBitrate);
    param.nQuality = GetAudioQuality(options.nAudioQuality);
    param.nReserved = 1;
    return param;
}

int EncoderType(const KVEncoderOptions& options)
{
    return options.nEncoderKind == ENCODER_KIND_HARDWARE ? KVE_ENCODER_HARDWARE : KVE_ENCODER_SOFTWARE;
}
