// Listening to the input: a playback stream on the default output, fed with
// the captured blocks. It has its own server connection so that the virtual
// device can be monitored too.
#pragma once

#include "media/audio/PulseConnection.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace KVMedia
{
class CAudioMonitor
{
public:
    ~CAudioMonitor();
    // False when there is no server or the output cannot be opened.
    bool Open(int nBlockBytes);
    // Never blocks on the server: what does not fit the stream's buffer is
    // dropped, so a stalled output cannot hold up capture.
    void Write(const uint8_t* pData, size_t nLength);

private:
    static void OnStreamState(pa_stream* pStream, void* pUser);

    CPulseConnection m_connection;
    pa_stream* m_pStream = nullptr;
};
}
