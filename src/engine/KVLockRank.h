// The engine's locks, in the order a thread may take them: holding one, it
// takes only those further down the list. CVoIPCritSec checks this in debug
// and sanitizer builds. The list is one for the capture engine and the
// recorder it owns, since the mixer and audio threads pass from one into the
// other.
//
// The notifiers come first because a notifier may call back into the engine;
// the engine and the recorder therefore call them with none of their other
// locks held. The audio-device lock comes next because detaching a device
// waits for its callbacks, which take the locks below.
#pragma once

enum KVLockRank
{
    // CKVCapture
    RANK_NOTIFY = 1,
    RANK_AUDIO_DEVICE,
    // CKVRecorder
    RANK_VIDEO_ENCODER,
    RANK_AUDIO_ENCODER,
    RANK_RTMP_VIDEO,
    RANK_RTMP_AUDIO,
    // CKVCapture
    RANK_SCREEN_RENDERER,
    RANK_PREVIEW_RENDERER,
    RANK_STUDIO_RENDERER,
    RANK_MIXER_STATE,
};
