// Network protocol operations: RTMP client, connection test, upgrade client.
#pragma once

#include "media/KVTypes.h"

int KPL_Initialize();
void KPL_Uninitialize();

// Events of the RTMP client. The connection events come on the client's own
// thread; KPL_EVENT_KEYFRAME_WANTED comes from within the KPL_WriteRTMPData
// call whose video packet was dropped, on the writer's thread.
enum
{
    KPL_EVENT_CONNECTED = 1,    // the server accepted the stream
    KPL_EVENT_FAILED = 2,       // the connection could not be made in time
    KPL_EVENT_DISCONNECTED = 3, // an established connection was lost
    // Video is being dropped until the next key frame (congestion, or a
    // new connection that must open on a picture): the sooner the encoder
    // makes one, the shorter the gap. At most once per gap, and not again
    // before the server has taken something, so a frozen server does not
    // cost the recording a key frame every two seconds.
    KPL_EVENT_KEYFRAME_WANTED = 4
};

// Connection states of an RTMP client.
enum
{
    KPL_RTMP_CONNECTING = 1,   // the first connection is being made
    KPL_RTMP_PUBLISHING = 2,   // connected; packets go to the server
    KPL_RTMP_RECONNECTING = 3, // lost or refused; trying again
    KPL_RTMP_FAILED = 4,       // lost or refused, and not retried
    // Connected, but the server has taken nothing for three seconds while
    // packets wait for it (it hangs, or the network does). Back to
    // KPL_RTMP_PUBLISHING when it takes something again; once the stall has
    // outlasted the queue as well (about two seconds more) the connection is
    // given up as lost: RECONNECTING or FAILED, as for a dropped one, and
    // what was queued for it goes.
    KPL_RTMP_STALLED = 5
};

// What the client is doing and what became of the packets written to it.
struct KPL_RTMP_STATUS
{
    int32_t nState;   // KPL_RTMP_...
    int32_t nAttempt; // retries since the last connection (0 while connected)
    // Sent: taken from the queue for the connection (the one being sent
    // counts, even while a stalled server holds it up).
    uint64_t nVideoSent;
    uint64_t nKeyFramesSent;
    uint64_t nAudioSent;
    uint64_t nVideoDropped;
    uint64_t nAudioDropped;
    uint64_t nAudioQueued;      // waiting to be sent now
    uint64_t nKeyFrameRequests; // KPL_EVENT_KEYFRAME_WANTED events raised
};

typedef void (*KPL_EVENT_CALLBACK)(int nEvent, void* pUser);

// pszUrl: "rtmp://host[:port]/app[/...]/key" (FLV over RTMP, port 1935 by
// default), "rtmps://host[:port]/app[/...]/key" (the same over TLS, port 443
// by default, the server's certificate checked, see KPL_SetTlsCaFile) or
// "srt://host:port[?options]" (MPEG-TS over SRT; the options as libavformat
// reads them: streamid=key, passphrase=..., latency in microseconds).
// Returns at once; the client connects on its own thread, giving up after
// nTimeout ms. The event callback must not wait for a thread that may be
// destroying the client. User and password may be empty (credentials can be part of the
// URL). Null on failure (bad arguments), with the reason for
// KVS_GetLastError.
KVS_HANDLE KPL_CreateRTMPClient(const char* pszUrl, const char* pszUser, const char* pszPassword, int nTimeout,
                                KPL_EVENT_CALLBACK pfn, void* pUser);
// 1: a lost or failed connection is retried until destroyed, first after a
// second, then after twice the previous wait, at most 30 s; a connection
// that is made starts the waits afresh. A connection to a server that has
// stalled for longer than the queue lasts counts as lost. 0 (the default):
// the client stops at the first failure.
int KPL_SetRTMPAutoReconnect(KVS_HANDLE hClient, int bEnable);
// nDuration: 100-ns units per frame. nReserved is accepted and kept.
int KPL_SetRTMPVideoFormat(KVS_HANDLE hClient, int nWidth, int nHeight, int nDuration, int nReserved);
// Announces an audio stream: the stream header then waits for the first audio
// packet's codec header as well as the video one.
int KPL_SetRTMPAudioFormat(KVS_HANDLE hClient, int nSampleRate, int nChannels, int nFrameSamples);
// nStream 1 video, 0 audio; pSecond is the KVE_PACKET_INFO that came with the
// packet. Never waits for the network: the packet is copied into a queue of
// about two seconds of video; when that is full, video is dropped until the
// next video key frame (see KPL_EVENT_KEYFRAME_WANTED). Audio is not dropped
// with it: it has a bound of its own, about ten seconds, beyond which its
// oldest packets go. Non-zero when the packet was queued.
int KPL_WriteRTMPData(KVS_HANDLE hClient, int nStream, const uint8_t* pData, int nLength, const void* pSecond,
                      int nSecondLength);
// Safe from any thread, at any time. 0 for a bad handle or pointer.
int KPL_GetRTMPStatus(KVS_HANDLE hClient, KPL_RTMP_STATUS* pStatus);
// Returns within about a second even when the server has stalled. No event is
// delivered once this has been called.
int KPL_DestroyRTMPClient(KVS_HANDLE hClient);

// Reaches the server of a URL that KPL_CreateRTMPClient takes as far as its
// protocol goes without publishing anything: for rtmp, the TCP connection
// and the RTMP handshake; for rtmps, the TLS handshake with the certificate
// checked and then the RTMP handshake inside it; for srt, an SRT connection,
// closed at once. Non-zero when the server answered within nTimeout ms; on
// 0, KVS_GetLastError tells why: a malformed address, a name that does not
// resolve, a refused connection, no answer in time, an answer that is not
// RTMP or not TLS, or a certificate that is not trusted.
int KPL_TestConnect(const char* pszUrl, int nTimeout);

// The certificate authorities (a PEM file) that rtmps servers are checked
// against, for the whole process, from the next connection on: for a
// server whose authority the system does not know. Null or "" returns to
// the system's certificate store.
void KPL_SetTlsCaFile(const char* pszPath);

// Events of the upgrade client, on the client's own thread.
enum
{
    KPL_UPGRADE_EVENT_CONNECTED = 1, // connected: hand over the report now
    KPL_UPGRADE_EVENT_FAILED = 2,    // no connection within the time-out
    // The connection ended before a whole answer came: reset, closed, or
    // nothing within the time-out (also when no report was handed over).
    KPL_UPGRADE_EVENT_DISCONNECTED = 3,
    KPL_UPGRADE_EVENT_SENT = 9 // the report went out; the answer follows
};

// The report, 28 bytes. The client writes it to the service little-endian,
// field by field, whatever the byte order of this machine.
struct tag_KPL_UPGRADE_SEND_INFO
{
    uint32_t nKind;
    char szSerial[16]; // zero-terminated
    uint16_t nMajor;
    uint16_t nMinor;
    uint16_t nBuild;
    uint16_t nReserved;
};
static_assert(sizeof(tag_KPL_UPGRADE_SEND_INFO) == 28, "the report is 28 bytes on the wire");

// The service's answer, valid during the reply callback only.
struct tag_KPL_UPGRADE_RECEIVE_INFO
{
    int32_t nStatus; // the HTTP status code, 0 when the answer was not HTTP
    int32_t nLength; // bytes in pBody
    const uint8_t* pBody;
};

typedef void (*KPL_UPGRADE_REPLY_CALLBACK)(const tag_KPL_UPGRADE_RECEIVE_INFO* pInfo, void* pUser);

// Returns at once; the client connects on its own thread to an
// "http://host[:port][/path]" URL (port 80 by default), giving up after
// nTimeout ms, and then waits as long for the report and for the answer.
// Null for any other URL, with a diagnostic line. The event callback may
// call KPL_SendUpgradeData and KPL_DestroyUpgradeClient.
KVS_HANDLE KPL_CreateUpgradeClient(const char* pszUrl, int nTimeout, KPL_EVENT_CALLBACK pfn, void* pUser);
// POSTs the report once the client is connected; the answer comes to pfn on
// the client's thread. Non-zero when the report was taken; a client takes
// one report.
int KPL_SendUpgradeData(KVS_HANDLE hClient, const tag_KPL_UPGRADE_SEND_INFO* pInfo, KPL_UPGRADE_REPLY_CALLBACK pfn,
                        void* pUser);
// Safe from any thread, the client's own callbacks included; returns without
// waiting for the network. No event or answer is delivered once this has
// been called. 0 for a handle that is not an open client.
int KPL_DestroyUpgradeClient(KVS_HANDLE hClient);
