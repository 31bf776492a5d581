// Network protocol operations: RTMP client, connection test, upgrade client.
#pragma once

#include "KVTypes.h"

int KPL_Initialize();
void KPL_Uninitialize();

// Events of the RTMP client, delivered on the client's own thread.
enum
{
    KPL_EVENT_CONNECTED = 1,     // the server accepted the stream
    KPL_EVENT_FAILED = 2,        // the connection could not be made in time
    KPL_EVENT_DISCONNECTED = 3   // an established connection was lost
};

typedef void (*KPL_EVENT_CALLBACK)(int nEvent, void* pUser);

// Returns at once; the client connects on its own thread, giving up after
// nTimeout ms. The event callback must not wait for a thread that may be
// destroying the client. User and password may be empty (credentials can be part of the
// URL). Null on failure (bad arguments).
KVS_HANDLE KPL_CreateRTMPClient(const char* pszUrl, const char* pszUser, const char* pszPassword, int nTimeout,
                                KPL_EVENT_CALLBACK pfn, void* pUser);
// 1: a lost or failed connection is retried every second until destroyed.
int KPL_SetRTMPAutoReconnect(KVS_HANDLE hClient, int bEnable);
// nDuration: 100-ns units per frame. nReserved is accepted and kept.
int KPL_SetRTMPVideoFormat(KVS_HANDLE hClient, int nWidth, int nHeight, int nDuration, int nReserved);
// Announces an audio stream: the stream header then waits for the first audio
// packet's codec header as well as the video one.
int KPL_SetRTMPAudioFormat(KVS_HANDLE hClient, int nSampleRate, int nChannels, int nFrameSamples);
// nStream 1 video, 0 audio; pSecond is the KVE_PACKET_INFO that came with the
// packet. Never waits for the network: the packet is copied into a queue of
// about two seconds; when that is full, packets are dropped until the next
// video key frame. Non-zero when the packet was queued.
int KPL_WriteRTMPData(KVS_HANDLE hClient, int nStream, const uint8_t* pData, int nLength, const void* pSecond,
                      int nSecondLength);
// Returns within about a second even when the server has stalled. No event is
// delivered once this has been called.
int KPL_DestroyRTMPClient(KVS_HANDLE hClient);

// TCP connection to the URL's host and port (1935 by default) and the RTMP
// handshake, nothing published. Non-zero when the server answered within nTimeout ms.
int KPL_TestConnect(const char* pszUrl, int nTimeout);
