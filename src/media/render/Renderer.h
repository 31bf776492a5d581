// A renderer: turns packed YUYV frames into pictures of its window's target
// rectangle and hands them to the window's registered target. The picture
// keeps its aspect ratio unless the target says otherwise: it is scaled to
// the largest size that fits the target and centred in it, and the bars
// beside or above it stay black. A target that does not keep it gets the
// picture stretched over the whole rectangle. A target the user cannot see
// gets nothing, and costs no conversion.
#pragma once

#include "media/KVTypes.h"
#include "media/image/YuyvDecimate.h"
#include "media/image/YuyvResample.h"
#include "media/image/YuyvScaler.h"

#include <QImage>

#include <cstdint>
#include <mutex>
#include <vector>

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
    // Null target: the whole client rectangle, read from the target at each
    // frame. Null source: the whole frame. Both exclusive of right and bottom.
    void SetPosition(const KVS_RECT* pSource, const KVS_RECT* pTarget);
    bool Draw(const uint8_t* pFrame, int nStride);
    void Repaint();

    // The part of rcTarget a picture of nWidth x nHeight fills when it keeps
    // its aspect ratio, centred; empty when either is empty.
    static KVS_RECT FitRect(const KVS_RECT& rcTarget, int nWidth, int nHeight);

private:
    // The source rectangle clipped to the frame, its left edge on a pixel
    // pair so that the frame can be read from there; false when empty.
    bool SourceRect(KVS_RECT* pRect) const;
    // A picture whose lines have room for libswscale's whole-group writes.
    static QImage MakePicture(int nWidth, int nHeight);
    // The source rectangle at pSource into m_imageLast, of the target size.
    bool Convert(const uint8_t* pSource, int nStride, int nSrcWidth, int nSrcHeight, int nDstWidth, int nDstHeight);

    // Every member is used by the drawing thread and by the thread that
    // re-binds or repositions, so all of them are behind this lock.
    std::mutex m_mutex;
    KVS_WINDOW m_hWnd;
    int m_nWidth;
    int m_nHeight;
    bool m_bHasTargetRect = false;
    KVS_RECT m_rcTarget{0, 0, 0, 0};
    bool m_bHasSourceRect = false;
    KVS_RECT m_rcSource{0, 0, 0, 0};
    CYuyvDecimator m_decimator;
    CYuyvResampler m_resampler;
    CYuyvScaler m_scaler;
    // The odd last line of a picture, at its own size.
    CYuyvScaler m_scalerLastLine;
    QImage m_imageLast;
    QImage m_imageSpare;
    KVS_RECT m_rcLast{0, 0, 0, 0};
    std::vector<uint8_t> m_abReduced;
    std::vector<uint8_t> m_abPlanes;
};
}
