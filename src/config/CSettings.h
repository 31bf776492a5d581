// The user's persistent choices, plus the channel and caption assignments
// that are held in memory for the run and saved once at shutdown.
//
// Every getter reads the store anew and every setter writes through at once.
// Multi-field keys hold decimal fields joined by ", "; a record with the
// wrong number of fields, or with an option-table index outside its table,
// reads as the key's defaults.
#pragma once

#include "config/OptionTables.h"

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <functional>

// The "encoderparam" record as one value.
struct SEncoderParam
{
    int nProfile = 0;
    int nQuality = 0;
    int nBitrate = 0;
    int nMode = 0;
    int nKeyFrame = 0;
    int nEncoderKind = 0;
    int nAudioBitrate = 0;
    int nAudioQuality = 0;
};

// The caption assignment's style fields as one value.
struct SCaptionData
{
    int nFont = 0;
    int nFontSize = 0;
    int nBorder = 0;
    int nPosition = 0;
    int nUnderline = 0;
    int nBold = 0;
    int nItalic = 0;
};

// The "RtmpServer" record as one value.
struct SRtmpServer
{
    // The enabled flag as the record stores it. Any value but PUSH_OFF
    // streams; only PUSH_ON ticks the Settings tab's box.
    enum
    {
        PUSH_OFF = 0,
        PUSH_ON = 1
    };
    int nPush = PUSH_OFF;
    QString strAddress;
    QString strPort;
    QString strStream;
    QString strUrl;

    bool IsPushEnabled() const { return nPush != PUSH_OFF; }
};

// One place to stream to, as the Settings tab edits it. The server is an
// IPv4 address (the stream then goes to "rtmp://address:port/live/key", as
// it always did) or a server URL as a platform hands it out (rtmp://,
// rtmps:// or srt://), the port then unused. strUrl is the address
// composed from the rest, kept beside it for older builds.
struct SStreamDestination
{
    bool bEnabled = false;
    QString strName;
    QString strServer;
    QString strPort;
    QString strKey;
    // SRT only: the receiver's latency in ms (0: the library's default) and
    // the encryption passphrase (none when empty).
    int nSrtLatencyMs = 0;
    QString strSrtPassphrase;
    QString strUrl;
};

class CSettings : public QSettings
{
public:
    enum
    {
        CHANNEL_COUNT = 6,
        CAPTION_DATA_COUNT = 7
    };
    // Which colour GetColor/SetColor address; any other value means caption text.
    enum
    {
        COLOR_CAPTION_FONT = 0,
        COLOR_CAPTION_BORDER = 1,
        COLOR_TIME_FONT = 2,
        COLOR_TIME_BORDER = 3
    };

    CSettings();
    ~CSettings() override;

    // Writes what is pending and keeps the file its owner's alone: it holds
    // the stream key.
    void Sync();

    // "outputformat": size index, frame-rate index. A bad record is replaced
    // by 11, 2 (768 x 576 at 25 fps) and stored at once.
    void GetOutputFormat(int& nSizeIndex, int& nFrameRateIndex);
    void SetOutputFormat(int nSizeIndex, int nFrameRateIndex);
    // Pixels of the stored size; a bad record uses size 0 and writes nothing.
    int GetOutputWidth() const;
    int GetOutputHeight() const;

    // "encoderparam": indices into the encoder option tables, plus the
    // encoder kind (0 software, 1 hardware).
    void GetEncoderParam(int& nProfile, int& nQuality, int& nBitrate, int& nMode, int& nKeyFrame, int& nEncoderKind,
                         int& nAudioBitrate, int& nAudioQuality) const;
    void SetEncoderParam(int nProfile, int nQuality, int nBitrate, int nMode, int nKeyFrame, int nEncoderKind,
                         int nAudioBitrate, int nAudioQuality);
    SEncoderParam GetEncoderParamRecord() const;
    void SetEncoderParamRecord(const SEncoderParam& param);

    // "audiodevice": device index (-1 none), monitor flag. The device list
    // changes when a sound server starts or a device is plugged in, so the
    // device's name is kept beside the index ("audiodevicename", a key of
    // its own so that older builds still read the record); an empty name
    // (a record of an older build) leaves the index as the only clue.
    void GetAudioDevice(int& nDevice, int& nMonitor) const;
    QString GetAudioDeviceName() const;
    void SetAudioDevice(int nDevice, int nMonitor, const QString& strName = QString());

    bool GetRecord() const;
    void SetRecord(bool bRecord);

    // Studio mode, and the transition a take uses: fade or cut, and the
    // fade's length in milliseconds (250 to 2000).
    bool GetStudioMode() const;
    void SetStudioMode(bool bOn);
    bool GetTakeFade() const;
    void SetTakeFade(bool bFade);
    int GetTakeDuration() const;
    void SetTakeDuration(int nMilliseconds);

    // Storage root with native separators; the Snapshot and Video folders
    // below it are created by both calls.
    QString GetDataStorage();
    void SetDataStorage(const QString& strPath);

    // "RtmpServer": push flag, address, port, stream name, full URL. The
    // getter is always true. The fields are joined by ",", so a text
    // holding one could not be read back: the setter then stores nothing
    // and answers false.
    bool GetRtmpServer(int& nPush, QString& strAddress, QString& strPort, QString& strStream, QString& strUrl) const;
    bool SetRtmpServer(int nPush, const QString& strAddress, const QString& strPort, const QString& strStream,
                       const QString& strUrl);
    SRtmpServer GetRtmpServerRecord() const;
    static bool IsRtmpTextStorable(const QString& strText);

    // The places a session streams to, STREAM_DESTINATION_COUNT of them.
    // The first is the "RtmpServer" record (its push flag, address, port,
    // stream name and URL), with its name and SRT fields in a group of its
    // own, so that older builds still stream to it; the others live in
    // groups "Destination2" to "Destination4". The setter stores nothing
    // and answers false for an index out of range or, for the first, a text
    // the record cannot hold (see SetRtmpServer).
    enum
    {
        STREAM_DESTINATION_COUNT = 4
    };
    SStreamDestination GetStreamDestination(int nIndex) const;
    bool SetStreamDestination(int nIndex, const SStreamDestination& destination);

    // A PEM file of certificate authorities that rtmps servers are checked
    // against besides the system's store; empty for the system's alone.
    QString GetTlsCaFile() const;
    void SetTlsCaFile(const QString& strPath);

    QByteArray GetFrameGeometry() const;
    void SetFrameGeometry(const QByteArray& baGeometry);

    int GetLayoutIndex() const;
    void SetLayoutIndex(int nIndex);

    // "logo": logo index (-1 none), corner 0..3, size 0..100.
    void GetLogo(int& nIndex, int& nPosition, int& nSize) const;
    void SetLogo(int nIndex, int nPosition, int nSize);

    void GetCaptionOpt(int& nUnderline, int& nBold, int& nItalic, int& nFont, int& nBorder, int& nFontSize,
                       int& nPosition) const;
    void SetCaptionOpt(int nUnderline, int nBold, int nItalic, int nFont, int nBorder, int nFontSize, int nPosition);

    void GetTimeOpt(int& nShow, int& nFont, int& nFontSize, int& nPosition) const;
    void SetTimeOpt(int nShow, int nFont, int nFontSize, int nPosition);

    void GetColor(int nWhich, int& nRed, int& nGreen, int& nBlue) const;
    // The colour as the engine takes it: 0x00BBGGRR.
    int GetPackedColor(int nWhich) const;
    void SetColor(int nWhich, int nRed, int nGreen, int nBlue);

    QString GetBgPath() const;
    void SetBgPath(const QString& strPath);

    bool GetScreen() const;
    void SetScreen(bool bEnabled);

    // Screens 0..2; other numbers read false and are not stored.
    bool GetScreenEnabled(int nScreen) const;
    void SetScreenEnabled(int nScreen, bool bEnabled);

    // Defaults to a band of half the output height, centred vertically.
    void GetScreenPos(int& nLeft, int& nTop, int& nWidth, int& nHeight);
    void SetScreenPos(int nLeft, int nTop, int nWidth, int nHeight);

    // ---- Channel and caption assignments (memory only until saved) ----

    // Reads "channel_0".."channel_5", "caption" and "captiondata". A channel
    // without a usable record is named "Video n" and, if n <= nDeviceCount,
    // gets the next device for which fnHasDevice answers true. Returns 1.
    int LoadAssignments(int nDeviceCount, const std::function<bool(int)>& fnHasDevice);
    void SaveAssignments();

    QString GetChannelName(int nChannel) const;
    void SetChannelName(int nChannel, const QString& strName);
    int GetChannelDevice(int nChannel) const; // -1 for no device or a bad channel
    void SetChannelDevice(int nChannel, int nDevice);
    int GetChannelPosition(int nChannel) const; // -1 for not placed or a bad channel
    void SetChannelPosition(int nChannel, int nPosition);
    // Lowest channel with a device shown at nPosition; -1 if none or nPosition is -1.
    int FindChannelAtPosition(int nPosition) const;

    QString GetCaption() const;
    void SetCaption(const QString& strCaption);
    // Font index, font size index, border index, position index, underline, bold, italic.
    void GetCaptionData(int& nFont, int& nFontSize, int& nBorder, int& nPosition, int& nUnderline, int& nBold,
                        int& nItalic) const;
    void SetCaptionData(int nFont, int nFontSize, int nBorder, int nPosition, int nUnderline, int nBold, int nItalic);
    SCaptionData GetCaptionDataRecord() const;
    void SetCaptionDataRecord(const SCaptionData& data);

private:
    struct ChannelEntry
    {
        QString strName;
        int nDevice = -1;
        int nPosition = -1;
        int anReserved[4] = {50, 50, 50, 50};
    };

    static bool IsChannel(int nChannel) { return nChannel >= 0 && nChannel < CHANNEL_COUNT; }
    static void CreateStorageFolders(const QString& strRoot);

    ChannelEntry m_aChannels[CHANNEL_COUNT];
    QString m_strCaption;
    int m_anCaptionData[CAPTION_DATA_COUNT] = {0, 1, 1, 3, 0, 0, 0};

protected:
    // QSettings writes the file from its own update event as well.
    bool event(QEvent* pEvent) override;

private:
    void RestrictFile();
};

extern CSettings g_settings;
