// The stream address made from a destination's fields, the check of those
// fields before anything is stored or started, and the names destinations
// are shown by.
#pragma once

#include "config/CSettings.h"
#include "engine/CKVRecorder.h"

#include <QString>

#include <vector>

// True when the server field holds a URL ("scheme://...") rather than a
// bare address.
bool IsStreamServerUrl(const QString& strServer);
// True for an srt:// server URL, which takes the SRT fields.
bool IsSrtServerUrl(const QString& strServer);

// The address the stream client is given. A bare address gives
// "rtmp://address:port/live/key"; an rtmp or rtmps server URL gives the URL,
// "/", then the key; an srt URL carries the key as its stream id, and the
// latency and passphrase, as options.
QString ComposeStreamUrl(const SStreamDestination& destination);

// Empty when the destination can be streamed to, else the message for the
// first field that fails. A bare address is checked as it always was.
QString GetStreamDestinationError(const SStreamDestination& destination);

// The destination's own name, or "Stream N" (nIndex from 0) without one.
QString GetStreamDestinationName(const SStreamDestination& destination, int nIndex);

// The stored destinations a session streams to: those switched on (the
// first by its record's push flag, as older builds read it), each with its
// name and composed address.
std::vector<SStreamTarget> GetEnabledStreamTargets();

// Empty when every stored destination that is switched on can be streamed
// to, else the message for the first problem; after the first destination
// the message is preceded by the destination's name.
QString GetEnabledStreamDestinationsError();
