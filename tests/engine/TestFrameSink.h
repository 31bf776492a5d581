// Stands in for the projection output: keeps a copy of the latest composed
// frame so that tests can look at the real pixels the engine hands out.
#pragma once

#include "engine/CKVCapture.h"
#include "media/capture/CaptureSource.h"
#include "engine/IKVFrameSink.h"

#include <QDeadlineTimer>
#include <QRect>
#include <QSize>
#include <QTest>

#include <cstring>
#include <functional>
#include <mutex>
#include <vector>

// A packed YUYV picture.
struct SYuyvPicture
{
    int nWidth = 0;
    int nHeight = 0;
    std::vector<uint8_t> abData;

    bool IsEmpty() const { return nWidth == 0; }
    const uint8_t* Row(int y) const { return abData.data() + size_t(y) * nWidth * 2; }
    int Y(int x, int y) const { return Row(y)[2 * x]; }
    int U(int x, int y) const { return Row(y)[4 * (x / 2) + 1]; }
    int V(int x, int y) const { return Row(y)[4 * (x / 2) + 3]; }

    // Smallest rectangle holding every pixel brighter than nThreshold; null
    // when there is none.
    QRect BrightBox(int nThreshold = 100) const
    {
        QRect rc;
        for (int y = 0; y < nHeight; ++y)
            for (int x = 0; x < nWidth; ++x)
                if (Y(x, y) > nThreshold)
                    rc |= QRect(x, y, 1, 1);
        return rc;
    }

    // True when the w x h picture `part` shows byte for byte at (nX, nY),
    // leaving out the pixels for which fnSkip answers true (covered by
    // something else). Chroma is compared for whole pairs inside the area.
    bool Shows(const SYuyvPicture& part, int nX, int nY, const std::function<bool(int, int)>& fnSkip = nullptr) const
    {
        if (IsEmpty() || part.IsEmpty())
            return false;
        for (int y = 0; y < part.nHeight; ++y)
            for (int x = 0; x < part.nWidth; ++x)
            {
                if (fnSkip && fnSkip(nX + x, nY + y))
                    continue;
                if (Y(nX + x, nY + y) != part.Y(x, y))
                    return false;
                if ((nX % 2) == 0 && (U(nX + x, nY + y) != part.U(x, y) || V(nX + x, nY + y) != part.V(x, y)))
                    return false;
            }
        return true;
    }
};

class CTestFrameSink : public IKVFrameSink
{
public:
    CTestFrameSink() { CKVCapture::SetProjectionSink(this); }
    ~CTestFrameSink() override { CKVCapture::SetProjectionSink(nullptr); }

    // Runs on the mixer thread for every frame, after the copy is kept.
    // Waits for a hook that is running, so that what the old hook refers
    // to may go once this returns.
    void SetHook(std::function<void()> fnHook)
    {
        std::lock_guard<std::mutex> lock(m_hookMutex);
        m_fnHook = std::move(fnHook);
    }

    void DrawFrame(const uint8_t* pFrame, int64_t nTimestamp, int nWidth, int nHeight) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_picture.nWidth = nWidth;
            m_picture.nHeight = nHeight;
            m_picture.abData.assign(pFrame, pFrame + size_t(nWidth) * 2 * nHeight);
            m_nLastTimestamp = nTimestamp;
            ++m_nFrames;
        }
        std::lock_guard<std::mutex> lock(m_hookMutex);
        if (m_fnHook)
            m_fnHook();
    }

    SYuyvPicture Latest() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_picture;
    }
    int Frames() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nFrames;
    }
    int64_t LastTimestamp() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nLastTimestamp;
    }

    // Waits, with the event loop running, for a new frame that fnCheck
    // accepts; false when none came within nTimeoutMs.
    bool WaitForFrame(const std::function<bool(const SYuyvPicture&)>& fnCheck, int nTimeoutMs = 20000) const
    {
        QDeadlineTimer deadline(nTimeoutMs);
        int nSeen = Frames();
        while (!deadline.hasExpired())
        {
            QTest::qWait(20);
            if (Frames() == nSeen)
                continue;
            nSeen = Frames();
            if (fnCheck(Latest()))
                return true;
        }
        return false;
    }

private:
    mutable std::mutex m_mutex;
    SYuyvPicture m_picture;
    int m_nFrames = 0;
    int64_t m_nLastTimestamp = -1;
    // Taken before m_mutex when both are held (a hook may read Latest()).
    std::mutex m_hookMutex;
    std::function<void()> m_fnHook;
};

// The latest frame a channel's device produced at the channel's size; empty
// when there is none of that size.
inline SYuyvPicture LatestCaptureFrame(const CKVChannel* pChannel)
{
    SYuyvPicture picture;
    picture.nWidth = pChannel->GetWidth();
    picture.nHeight = pChannel->GetHeight();
    picture.abData.resize(size_t(picture.nWidth) * 2 * picture.nHeight);
    if (!KVS_CopyLatestFrame(pChannel->GetCaptureHandle(), picture.abData.data(), picture.nWidth * 2, picture.nWidth,
                             picture.nHeight, nullptr))
        return SYuyvPicture();
    return picture;
}
