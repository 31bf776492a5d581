// How the engine tells the main window about recording events. The engine
// may call these from library threads (see each operation); implementations
// forward to the user-interface thread themselves.
#pragma once

#include "engine/CKVRecorder.h"
#include "media/KVTypes.h"

#include <QString>

class IKVRecordNotify
{
public:
    // The codes of OnError.
    enum
    {
        // The encoder refused a frame.
        ERROR_ENCODE = CKVRecorder::RECORD_ERROR_ENCODE,
        // The file could not be written or finished.
        ERROR_WRITE = CKVRecorder::RECORD_ERROR_WRITE,
    };
    // What the engine hands CheckRtmpSettings: it asks before a stream starts.
    enum
    {
        CHECK_RTMP_ON_START = 0
    };

    virtual ~IKVRecordNotify() = default;

    virtual void OnRecordStarted(const QString& strFileName) = 0;
    virtual void OnRecordStopped() = 0;
    virtual void OnSnapshot(const QString& strFileName) = 0;
    virtual void EnableStart(bool bEnable) = 0;
    virtual void RefreshOutput() = 0;

    // Audio thread: the previous primary audio capture after a pending one
    // took over. Return non-zero when this notifier will close it.
    virtual int OnAudioDeviceReleased(KVS_HANDLE hAudio)
    {
        (void)hAudio;
        return 0;
    }
    // Mixer thread or user-interface thread; nCode is ERROR_ENCODE or
    // ERROR_WRITE. ERROR_WRITE comes once per recording, and the engine has
    // stopped feeding the encoders by then.
    virtual void OnError(int nCode) { (void)nCode; }
    virtual void StopStatusTimer() {}
    // User-interface thread: cameras were plugged in or out, or a channel
    // lost its camera or got it back. Device lists and channel states may
    // have changed.
    virtual void OnDevicesChanged() {}
    // Asked before a stream starts; 0 refuses the start.
    virtual int CheckRtmpSettings(int nValue)
    {
        (void)nValue;
        return 1;
    }
    // Snapshot writer thread (or the thread whose request was refused): the
    // snapshot asked for with strPath has been written completely
    // (bWritten) or has failed.
    virtual void OnSnapshotFinished(const QString& strPath, bool bWritten)
    {
        (void)strPath;
        (void)bWritten;
    }
};
