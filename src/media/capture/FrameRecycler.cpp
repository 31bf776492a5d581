#include "media/capture/FrameRecycler.h"

#include "media/image/YuyvLayout.h"

namespace KVMedia
{
std::unique_ptr<SCapturedFrame> CFrameRecycler::Take(int nWidth, int nHeight)
{
    const size_t nBytes = size_t(nWidth) * 2 * size_t(nHeight);
    std::unique_ptr<SCapturedFrame> pFrame;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        while (!m_listIdle.empty() && !pFrame)
        {
            pFrame = std::move(m_listIdle.back());
            m_listIdle.pop_back();
            // A buffer of another size (the format changed) is of no use.
            if (pFrame->abData.size() != nBytes + KVMedia::FRAME_READ_PADDING)
                pFrame.reset();
        }
    }
    if (!pFrame)
    {
        pFrame = std::make_unique<SCapturedFrame>();
        pFrame->abData.assign(nBytes + KVMedia::FRAME_READ_PADDING, 0);
    }
    pFrame->nWidth = nWidth;
    pFrame->nHeight = nHeight;
    pFrame->nSeq = 0;
    return pFrame;
}

std::shared_ptr<const SCapturedFrame> CFrameRecycler::Share(std::unique_ptr<SCapturedFrame> pFrame)
{
    std::weak_ptr<CFrameRecycler> pWeak = weak_from_this();
    return std::shared_ptr<const SCapturedFrame>(pFrame.release(), [pWeak](const SCapturedFrame* pDone) {
        SCapturedFrame* pMutable = const_cast<SCapturedFrame*>(pDone);
        if (const std::shared_ptr<CFrameRecycler> pRecycler = pWeak.lock())
            pRecycler->GiveBack(pMutable);
        else
            delete pMutable;
    });
}

void CFrameRecycler::GiveBack(SCapturedFrame* pFrame)
{
    std::unique_ptr<SCapturedFrame> pOwned(pFrame);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_listIdle.size() < MAX_IDLE)
        m_listIdle.push_back(std::move(pOwned));
}
}
