// Loopback nginx-rtmp server and real H.264/AAC packets for the RTMP tests.
#pragma once

#include "media/KVEncoder.h"

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>
#include <vector>

// Runs nginx-rtmp on a free loopback port for the object's lifetime.
class CNginxRtmp
{
public:
    CNginxRtmp();
    ~CNginxRtmp();
    // bHls: the server also makes HLS of what it receives and serves it
    // over HTTP on a second free port.
    bool Start(bool bHls = false);
    void Stop();
    // Stops and starts again on the same port.
    bool Restart();
    // Stops (SIGSTOP) or resumes the server's processes: a stalled server.
    bool Freeze(bool bFreeze);
    int GetPort() const { return m_nPort; }
    // strApp: "live" or "live2".
    QString GetUrl(const QString& strName, const QString& strApp = QStringLiteral("live")) const;
    // Where HLS players find the playlist of what was pushed to GetUrl.
    QString GetHlsPlaylistUrl(const QString& strName) const;
    QString GetLog() const;
    // A player asked for stream strName: what it plays from now on reaches it.
    bool HasPlayer(const QString& strName) const;
    // Bytes that clients wrote towards the server and it has not taken in.
    // Above zero only once a stalled server's receive window is full, so
    // that a client's next send waits.
    qint64 GetUnsentBytes() const;

private:
    bool RunScript(const QStringList& listArgs);

    QTemporaryDir m_dir;
    int m_nPort = 0;
    int m_nHttpPort = 0;
    bool m_bRunning = false;
};

// A port nothing listens on (bound, taken, released).
int GetFreePort();

struct CTestPacket
{
    int nStream;
    std::vector<uint8_t> vecData;
    KVE_PACKET_INFO info;
};

// Encodes nSeconds of a moving picture (320x240, 25 fps, key frame every
// second, length-prefixed NAL units) and a 48 kHz stereo tone in 1024-sample
// AAC frames, merged in timestamp order. Extradata points into the generator,
// which must outlive the packets' use.
class CTestStream
{
public:
    bool Generate(int nSeconds);
    const std::vector<CTestPacket>& GetPackets() const { return m_vecPackets; }

    int m_nWidth = 320;
    int m_nHeight = 240;
    int m_nDuration = 400000;

private:
    bool EncodeVideo(int nSeconds);
    bool EncodeAudio(int nSeconds);

    std::vector<uint8_t> m_vecVideoExtra;
    std::vector<uint8_t> m_vecAudioExtra;
    std::vector<CTestPacket> m_vecPackets;
};

// What a player read from a live stream.
struct CReadResult
{
    bool bOpened = false;
    bool bVideoH264 = false;
    bool bAudioAac = false;
    int nWidth = 0;
    int nHeight = 0;
    int nVideoPackets = 0;
    int nAudioPackets = 0;
};

// Plays the stream until nVideo and nAudio packets arrived or nTimeoutMs passed.
CReadResult ReadStream(const QString& strUrl, int nVideo, int nAudio, int nTimeoutMs);

// A video packet as a player got it: its time stamp (ms) and key flag.
struct CReadPacket
{
    int64_t nMs;
    bool bKey;
};

// The first nVideo video packets a player gets, in the order it gets them
// (fewer when nTimeoutMs passed first). Opens RTMP and HLS alike.
std::vector<CReadPacket> ReadVideoPackets(const QString& strUrl, int nVideo, int nTimeoutMs);
