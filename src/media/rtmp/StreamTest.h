// The connection test for every scheme the stream client takes: as far as
// each protocol goes without publishing.
#pragma once

#include "media/rtmp/StreamUrl.h"

#include <string>

// rtmp: TCP and the RTMP handshake. rtmps: TLS with the certificate checked,
// then the RTMP handshake inside it. srt: an SRT connection, closed at once.
// All within nTimeoutMs; on failure the reason is left for KVS_GetLastError.
bool TestStreamServer(const std::string& strUrl, const CStreamAddress& address, int nTimeoutMs);
