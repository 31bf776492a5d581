// The destinations the stream client publishes to, told apart by scheme:
// rtmp:// (FLV over RTMP), rtmps:// (the same inside TLS) and srt://
// (MPEG-TS over SRT). Everything scheme-dependent about opening one lives
// here, so that the client itself only sees a muxer and a connection.
#pragma once

#include "media/core/AvPtr.h"

#include <string>

enum EStreamScheme
{
    STREAM_RTMP,
    STREAM_RTMPS,
    STREAM_SRT
};

struct CStreamAddress
{
    EStreamScheme nScheme = STREAM_RTMP;
    std::string strHost;
    int nPort = 1935;
};

// Scheme, host and port of "rtmp://host[:port]/...", "rtmps://host[:port]/..."
// (ports 1935 and 443 by default) or "srt://host:port[?options]" (the port is
// required: SRT has none of its own). False when malformed.
bool ParseStreamAddress(const std::string& strUrl, CStreamAddress& address);

// The container the scheme carries.
const char* GetStreamMuxer(EStreamScheme nScheme);

// What avio_open2 gets for a destination URL.
struct CStreamOpen
{
    // For srt, without its query: the options in it go as options instead,
    // so that libavformat's own messages do not show streamid or
    // passphrase.
    std::string strUrl;
    KVMedia::AvDictionaryPtr pOptions;
};

// For rtmps, the server's certificate is checked (against the CA file set
// with SetTlsCaFile, or else the system's store) unless bVerify is false,
// which only the connection test uses to tell an untrusted certificate from
// a server that does not speak TLS. SRT gets a connection time-out of
// nTimeoutMs.
CStreamOpen PrepareStreamOpen(const std::string& strUrl, EStreamScheme nScheme, int nTimeoutMs, bool bVerify = true);

// Process-wide; empty for the system's store.
void SetTlsCaFile(const std::string& strPath);
std::string GetTlsCaFile();
