#include "CameraPictures.h"

#include "media/image/PictureAdjust.h"

#include <QString>

#include <algorithm>

bool CCameraPictures::Build(int nDuration)
{
    if (nDuration <= 0)
        return false;
    m_nDuration = nDuration;
    for (int i = 0; i < CAMERA_COUNT; ++i)
        if (!m_aPictures[i].Build(QStringLiteral("Virtual Camera %1").arg(i + 1), i, CELL_WIDTH, CELL_HEIGHT))
            return false;
    return true;
}

int CCameraPictures::GetLoopFrames() const
{
    // As the pictures' bar: one crossing every two seconds.
    return m_nDuration > 0 ? std::max(2, 20000000 / m_nDuration) : 0;
}

void CCameraPictures::RenderCamera(int nCamera, uint64_t nFrame, uint8_t* pDst, int nStride)
{
    // Controls at their defaults, as a freshly opened device has them.
    static const KVMedia::CPictureAdjust s_adjust;
    m_aPictures[nCamera].Render(nFrame, m_nDuration, true, s_adjust, 0, pDst, nStride);
}

void CCameraPictures::RenderGrid(uint64_t nFrame, uint8_t* pDst, int nStride)
{
    for (int i = 0; i < CAMERA_COUNT; ++i)
    {
        uint8_t* pCell = pDst + size_t((i / 2) * CELL_HEIGHT) * size_t(nStride) + size_t((i % 2) * CELL_WIDTH * 2);
        RenderCamera(i, nFrame, pCell, nStride);
    }
}

void YuyvToI420(const uint8_t* pSrc, int nSrcStride, int nWidth, int nHeight, uint8_t* pY, int nYStride, uint8_t* pU,
                uint8_t* pV, int nUVStride)
{
    for (int y = 0; y + 1 < nHeight; y += 2)
    {
        const uint8_t* p0 = pSrc + size_t(y) * size_t(nSrcStride);
        const uint8_t* p1 = p0 + nSrcStride;
        uint8_t* pY0 = pY + size_t(y) * size_t(nYStride);
        uint8_t* pY1 = pY0 + nYStride;
        uint8_t* pULine = pU + size_t(y / 2) * size_t(nUVStride);
        uint8_t* pVLine = pV + size_t(y / 2) * size_t(nUVStride);
        for (int x = 0; x + 1 < nWidth; x += 2)
        {
            pY0[x] = p0[2 * x];
            pY0[x + 1] = p0[2 * x + 2];
            pY1[x] = p1[2 * x];
            pY1[x + 1] = p1[2 * x + 2];
            pULine[x / 2] = uint8_t((p0[2 * x + 1] + p1[2 * x + 1] + 1) >> 1);
            pVLine[x / 2] = uint8_t((p0[2 * x + 3] + p1[2 * x + 3] + 1) >> 1);
        }
    }
}
