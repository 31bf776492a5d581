// Puts pictures on a native window straight through the X server's shared
// memory, from the thread that made them. Painting every preview frame
// through the toolkit cost the user-interface thread more than converting
// it: a queued call, the repaint bookkeeping, a copy into the backing store
// and a flush per window. The server clips what it is given to the part of
// the window that shows, so covered and off-screen parts cost nothing here,
// and the toolkit still repaints the window from its last picture when it
// is exposed.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

struct xcb_connection_t;

class CDirectPresenter
{
public:
    // Null when pictures cannot go this way: not on X11, no shared memory
    // extension, a window whose pixels are not 32-bit words of 24-bit
    // colour, or VISTREL_NO_DIRECT_PAINT set in the environment.
    static std::unique_ptr<CDirectPresenter> Create(uint32_t nWindow);
    ~CDirectPresenter();
    CDirectPresenter(const CDirectPresenter&) = delete;
    CDirectPresenter& operator=(const CDirectPresenter&) = delete;

    // Shows the part of image that falls inside rcClip with the image's top
    // left corner at ptAt, both in the window's pixels. False when it could
    // not; the caller then paints through the toolkit.
    bool Present(const QImage& image, const QPoint& ptAt, const QRect& rcClip);

    // Every send costs system calls on both ends and wakes the server: the
    // channel previews each sending their own pictures cost as much as
    // converting them. So the output preview's presenter, which the mixer
    // calls at every output frame, is the pacemaker: it sends what every
    // presenter has put since its last picture together with its own, and
    // the others leave theirs to it for as long as it keeps coming.
    void SetPacemaker(bool bPacemaker) { m_bPacemaker = bPacemaker; }
    // Sends what any presenter has put and not sent yet; for the user-
    // interface thread before it paints over a window's pictures itself.
    static void SendPending();

private:
    // One of two buffers the pictures alternate between, so that a picture
    // is written while the server may still be reading the one before.
    struct SSegment
    {
        uint32_t nSeg = 0;
        uint8_t* pData = nullptr;
        size_t nSize = 0;
        // A reply the server sends after reading the buffer's last picture.
        unsigned int nSyncSequence = 0;
        bool bSyncPending = false;
    };

    CDirectPresenter(xcb_connection_t* pConnection, uint32_t nWindow, uint32_t nGc);
    bool Prepare(SSegment& segment, size_t nSize);
    // Whether the server has read the buffer's last picture; never waits.
    bool IsRead(SSegment& segment);
    void Release(SSegment& segment);
    // Sends what has been put, now or with the pacemaker's next picture.
    void Send();

    xcb_connection_t* const m_pConnection;
    const uint32_t m_nWindow;
    const uint32_t m_nGc;
    SSegment m_aSegments[2];
    int m_nNext = 0;
    bool m_bBroken = false;
    std::atomic<bool> m_bPacemaker{false};
};
