// Keeps the buffers of frames nobody reads any more, so that a capture
// running at full rate does not allocate (and have the kernel clear) a new
// picture for every frame.
#pragma once

#include "media/capture/CaptureSource.h"

#include <memory>
#include <mutex>
#include <vector>

namespace KVMedia
{
class CFrameRecycler : public std::enable_shared_from_this<CFrameRecycler>
{
public:
    // A writable frame of nWidth x nHeight: a returned one when there is
    // one, a new one (black) otherwise. Its contents are whatever it held.
    std::unique_ptr<SCapturedFrame> Take(int nWidth, int nHeight);

    // Hands the frame out read-only; it comes back here once the last
    // reader lets go of it, or is freed if the recycler is gone by then.
    std::shared_ptr<const SCapturedFrame> Share(std::unique_ptr<SCapturedFrame> pFrame);

private:
    void GiveBack(SCapturedFrame* pFrame);

    // More idle buffers than this only happen after readers let go of a
    // burst; they are freed instead of kept.
    static const size_t MAX_IDLE = 4;

    std::mutex m_mutex;
    std::vector<std::unique_ptr<SCapturedFrame>> m_listIdle;
};
}
