// Video mixer: composes the latest frames of several captures plus image and
// text overlays into one packed YUYV picture, once per frame duration, on a
// thread of its own. Handles are opaque; null means failure; nothing throws.
#pragma once

#include "media/KVTypes.h"

#include <cstdint>

// Where one mixer channel is drawn. Unlike a client rectangle, both
// rectangles here are INCLUSIVE on all four sides: (0, 0, w - 1, h - 1) is a
// whole w x h picture. The picture is copied without scaling; when the source
// and destination sizes differ the smaller one wins.
struct KVS_MIXER_CHANNEL
{
    KVS_HANDLE hChannel;
    KVS_RECT rcSource; // in the channel's own frame
    KVS_RECT rcDest;   // in output pixels
    uint8_t nOpacity;  // 0 invisible ... 255 opaque
    uint8_t pad[3];
    int32_t bInset; // non-zero: drawn over every channel that is not inset
};

// How a caption is drawn. Colours are 0x00BBGGRR.
struct KVS_CAPTION_STYLE
{
    int32_t nFontSize; // pixel height of the font (not points), so a caption
                       // looks the same on every screen resolution
    int32_t nBorder;   // outline width in pixels around the glyphs; 0 = none
    int32_t nTextColor;
    int32_t nBorderColor;
    int32_t bUnderline;
    int32_t bBold;
    int32_t bItalic;
};

// Once per output frame, before the frame is composed; the place to move
// channels (cross-fades). Mixer calls may be made from inside it.
typedef void (*KVS_MIXER_TICK_CALLBACK)(void* pUser);
// Each composed frame: packed YUYV, stride 2 x width. pFrame is valid only
// during the call. nTimestamp100ns = tick index x frame duration, counted from
// KVS_VideoMixerRun on the mixer's clock (ticks the mixer had to skip because
// it fell behind are not delivered, so the timestamp then jumps by whole
// durations).
typedef void (*KVS_MIXER_FRAME_CALLBACK)(const uint8_t* pFrame, int64_t nTimestamp100ns, int nWidth, int nHeight,
                                         void* pUser);

// nColor must be KVS_COLOR_YUYV; nWidth must be even (YUYV pairs pixels).
// nDuration is the frame duration in 100-ns units.
KVS_HANDLE KVS_CreateVideoMixer(int nWidth, int nHeight, int nDuration, int nColor);
int KVS_SetVideoMixerCallback(KVS_HANDLE hMixer, KVS_MIXER_TICK_CALLBACK pfnTick, void* pTickUser,
                              KVS_MIXER_FRAME_CALLBACK pfnFrame, void* pFrameUser);
// Non-zero when the mixer thread runs (also when it already ran).
int KVS_VideoMixerRun(KVS_HANDLE hMixer);
// Returns after the mixer thread has ended; no callback follows. Called
// from a mixer callback it cannot wait for its own thread: no further
// callback comes and the thread ends when the current one returns.
int KVS_VideoMixerStop(KVS_HANDLE hMixer);
// Stops first, waits for pending snapshots, then frees the mixer (safe from
// a mixer callback too).
void KVS_DestroyVideoMixer(KVS_HANDLE hMixer);

// The mixer pulls the latest frame of hCapture itself, expecting nWidth x
// nHeight; until a first frame arrives the channel shows black. A channel is
// drawn once KVS_VideoMixerSetChannels has placed it.
KVS_HANDLE KVS_VideoMixerAddChannel(KVS_HANDLE hMixer, int nWidth, int nHeight, int nColor, KVS_HANDLE hCapture);
// Places each listed channel; entries naming no channel of this mixer are
// ignored. Returns the number of channels placed.
int KVS_VideoMixerSetChannels(KVS_HANDLE hMixer, const KVS_MIXER_CHANNEL* pPlacements, int nCount);
// After this returns the mixer no longer touches the channel's capture.
int KVS_VideoMixerDelChannel(KVS_HANDLE hMixer, KVS_HANDLE hChannel);

// PNG, JPEG or anything Qt reads; alpha is kept. nWidth, nHeight 0, 0 keeps the
// natural size; a single 0 follows the other dimension's scale.
KVS_HANDLE KVS_VideoMixerAddImage(KVS_HANDLE hMixer, const char16_t* pszPath, int nWidth, int nHeight);
// Top-left corner in output pixels; any position, the mixer clips. An
// overlay is drawn from its first placement on.
int KVS_VideoMixerSetImage(KVS_HANDLE hMixer, KVS_HANDLE hImage, int nX, int nY);
int KVS_VideoMixerDelImage(KVS_HANDLE hMixer, KVS_HANDLE hImage);

// One line of text. pSize (may be null) receives the rendered width and
// height in pixels. Needs a QGuiApplication (fonts).
KVS_HANDLE KVS_VideoMixerAddCaption(KVS_HANDLE hMixer, const char16_t* pszText, const char16_t* pszFont,
                                    const KVS_CAPTION_STYLE* pStyle, int32_t* pSize);
int KVS_VideoMixerSetCaption(KVS_HANDLE hMixer, KVS_HANDLE hCaption, int nX, int nY);
int KVS_VideoMixerDelCaption(KVS_HANDLE hMixer, KVS_HANDLE hCaption);

// Writes the latest composed picture (or, before the first tick, the scene as
// it is now) as a JPEG of nQuality (1..100) at the output size. Encoding runs
// on a worker thread; the file appears complete under its name or not at all.
// Non-zero when the request was accepted; only then is pfnDone (may be null)
// called, once, on the writer's thread, with the path as given and whether the
// file was written. Destroying the mixer waits for pending calls.
typedef void (*KVS_SNAPSHOT_CALLBACK)(const char16_t* pszPath, int bWritten, void* pUser);
int KVS_VideoMixerCreateSnapShot(KVS_HANDLE hMixer, const char16_t* pszPath, int nQuality,
                                 KVS_SNAPSHOT_CALLBACK pfnDone = nullptr, void* pUser = nullptr);

// Two scenes: 0 is what the frame callback receives (on air), 1 a scene
// being prepared. With bOn, scene 1 is composed every tick as well and handed
// to pfnPreview (same contract as the frame callback), and channels and
// overlays added from then on belong to scene 1; from then on, for good, a
// channel whose capture delivers another size than it was added with is
// scaled to that size (a camera may be drawn at two sizes, one per scene). Off:
// scene 1 is no longer composed and new items go to scene 0 again; items
// left in scene 1 stay undrawn until they are deleted, and a fade under way
// ends at once.
int KVS_VideoMixerSetPreviewScene(KVS_HANDLE hMixer, int bOn, KVS_MIXER_FRAME_CALLBACK pfnPreview, void* pUser);
// Exchanges the two scenes. With nFadeFrames > 0 the frames delivered next
// blend the scene that left the air into the one that came on, over that many
// frames (one composition more per frame while it lasts).
int KVS_VideoMixerSwapScenes(KVS_HANDLE hMixer, int nFadeFrames);
// Moves a channel, image or caption of this mixer to scene 0 or 1.
int KVS_VideoMixerSetItemScene(KVS_HANDLE hMixer, KVS_HANDLE hItem, int nScene);
