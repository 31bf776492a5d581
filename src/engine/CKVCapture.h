// The capture engine: the one object that owns the media layer's devices,
// the six capture channels and, as they are added, the mixer, the encoders,
// the muxer, the RTMP client and the audio capture. Every public operation
// runs on the user-interface thread.
#pragma once

#include "CKVChannel.h"
#include "CVoIPCritSec.h"
#include "IKVRecordNotify.h"
#include "KVTypes.h"

#include <QList>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class CKVCapture;

// Handed to the audio callbacks so that a block names the device it came from.
struct KVAudioContext
{
    CKVCapture* pCapture;
    KVS_HANDLE hAudio;
};

class CKVCapture
{
public:
    enum
    {
        CHANNEL_COUNT = 6,
        DEVICE_ORDER_SIZE = 16,
        SERIAL_NUMBER_SIZE = 64,
    };

    CKVCapture();
    virtual ~CKVCapture();

    CKVCapture(const CKVCapture&) = delete;
    CKVCapture& operator=(const CKVCapture&) = delete;

    // Starts the media layer, reads the devices and the first device's serial
    // number, creates the channels and orders the usable devices. False when
    // there is no usable device. Uninit is safe after a failed Init and twice.
    bool Init();
    void Uninit();

    // Lists the devices usable with the stored output format: large devices
    // of families 2 and 3 first, then small ones (only for a small output).
    bool BuildDeviceOrder();
    int GetOrderedDeviceCount() const { return m_nDeviceOrderCount; }
    // -1 for an index outside the table.
    int GetOrderedDevice(int nIndex) const;
    bool IsDeviceOrdered(int nDevice) const;

    int GetDeviceCount(bool bVideo) const;
    bool GetDeviceName(bool bVideo, int nIndex, QString& strName) const;
    bool IsDeviceInUse(int nDevice) const;
    bool IsH264HardwareSupported() const { return m_bH264Hardware != 0; }
    // Empty when the first device reported none.
    QString GetSerialNumber() const;

    // Null for a channel number outside 0..5 or before Init.
    CKVChannel* GetChannel(int nChannel) const;
    // Opens the channel and starts it at the full output format.
    bool OpenChannel(int nChannel, int nDevice, KVS_WINDOW hWnd);
    void CloseChannel(int nChannel);
    // Re-applies the stored output format to every open channel; a channel
    // whose device refuses it loses its device in the settings store.
    bool RestartChannels();
    // -1 for a channel number outside 0..5, else 1.
    int ShowChannelPropertyDialog(int nChannel);

    void AddNotify(IKVRecordNotify* pNotify);

private:
    // Output size and frame duration of the stored output format.
    static void ReadOutputFormat(int& nWidth, int& nHeight, int& nDuration);
    static bool IsValidChannel(int nChannel) { return nChannel >= 0 && nChannel < CHANNEL_COUNT; }
    // The serial number of the device with this identity; failures leave it empty.
    void ReadSerialNumber(const char* pszIdentity);

    int m_bH264Hardware = 0;
    KVS_HANDLE m_hH264Encoder = nullptr;
    KVS_HANDLE m_hAACEncoder = nullptr;
    KVS_HANDLE m_hPreviewRenderer = nullptr;
    KVS_HANDLE m_hScreenRenderer = nullptr;
    KVS_HANDLE m_hMp4Muxer = nullptr;
    KVS_HANDLE m_hMixer = nullptr;
    KVS_HANDLE m_hLogo = nullptr;
    int m_nLogoWidth = 0;
    int m_nLogoHeight = 0;
    KVS_HANDLE m_hCaption = nullptr;
    KVS_HANDLE m_hClock = nullptr;
    int m_nClockX = 10;
    int m_nClockY = 10;
    int m_nVideoDeviceCount = 0;
    int m_nAudioDeviceCount = 0;
    int m_nTransitionProgress = -1;
    int m_nTransitionStep = 0;
    std::unique_ptr<CKVChannel> m_apChannel[CHANNEL_COUNT];
    KVS_HANDLE m_ahMixerChannel[CHANNEL_COUNT] = {};
    int m_nTransitionIn = -1;
    int m_nTransitionOut = -1;
    uint64_t m_nEncodedVideoBytes = 0;
    int m_nComposedFrames = 0;
    uint32_t m_nStatisticsStart = 0;
    // Written by the meter callback, read by the user-interface thread.
    std::atomic<int> m_nAudioLevel { 0 };
    KVAudioContext m_ctxPrimaryAudio { this, nullptr };
    KVS_HANDLE m_hPrimaryAudio = nullptr;
    KVAudioContext m_ctxPendingAudio { this, nullptr };
    KVS_HANDLE m_hPendingAudio = nullptr;
    CVoIPCritSec m_csAudioDevice;
    KVS_HANDLE m_hRtmpClient = nullptr;
    CVoIPCritSec m_csRtmpVideo;
    CVoIPCritSec m_csRtmpAudio;
    // Lock order when two are held: video encoder before audio encoder,
    // video encoder before RTMP video, video encoder before Screen-tab
    // renderer, RTMP video before RTMP audio.
    CVoIPCritSec m_csVideoEncoder;
    CVoIPCritSec m_csAudioEncoder;
    CVoIPCritSec m_csPreviewRenderer;
    CVoIPCritSec m_csScreenRenderer;
    KVS_GUID m_guidPreviewMonitor {};
    int m_nOutputWidth = 0;
    int m_nOutputHeight = 0;
    int m_nFrameDuration = 400000;
    int m_nColor = 0;
    KVS_WINDOW m_hPreviewWnd = 0;
    KVS_WINDOW m_hScreenWnd = 0;
    int m_anDeviceOrder[DEVICE_ORDER_SIZE];
    int m_nDeviceOrderCount = 0;
    int m_bScreenRendererCreated = 0;
    int m_bScreenDrawEnabled = 0;
    char m_szSerialNumber[SERIAL_NUMBER_SIZE] = {};
    QList<IKVRecordNotify*> m_listNotify;
    // The audio thread adds samples while the mixer thread reads them.
    std::atomic<uint64_t> m_nVideoFramesEncoded { 0 };
    std::atomic<uint64_t> m_nAudioSamplesEncoded { 0 };
    // Written on the user-interface thread, read by the frame and audio
    // handlers.
    std::atomic<int> m_bStopped { 1 };

    // Which parts of the media layer Init started, so that Uninit undoes
    // exactly those.
    bool m_bStreamLibraryStarted = false;
    bool m_bProtocolLibraryStarted = false;
};

extern CKVCapture g_capture;
