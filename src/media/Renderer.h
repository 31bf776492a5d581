// A renderer: turns packed YUYV frames into pictures of its window's target
// rectangle and hands them to the window's registered target.
#pragma once

#include "KVTypes.h"

#include <QImage>

#include <mutex>

struct SwsContext;

namespace KVMedia
{
class CRenderer
{
public:
    CRenderer(KVS_WINDOW hWnd, int nWidth, int nHeight);
    ~CRenderer();
    CRenderer(const CRenderer&) = delete;
    CRenderer& operator=(const CRenderer&) = delete;

    void Reset(KVS_WINDOW hWnd, int nWidth, int nHeight);
    // Null: the whole client rectangle, read from the target at each frame.
    void SetTargetRect(const KVS_RECT* pRect);
    bool Draw(const uint8_t* pFrame, int nStride);
    void Repaint();

private:
    // Every member is used by the drawing thread and by the thread that
    // re-binds or repositions, so all of them are behind this lock.
    std::mutex m_mutex;
    KVS_WINDOW m_hWnd;
    int m_nWidth;
    int m_nHeight;
    bool m_bHasTargetRect = false;
    KVS_RECT m_rcTarget{0, 0, 0, 0};
    SwsContext* m_pSws = nullptr;
    QImage m_imageLast;
    KVS_RECT m_rcLast{0, 0, 0, 0};
};
}
