// The pictures of the six virtual cameras the pipeline benchmarks record,
// drawn by the same code as the program's virtual capture devices: camera
// i is "Virtual Camera i+1" with test pattern i, as VISTREL_VIRTUAL_VIDEO=6
// makes them, at the size of a cell of the 2 x 3 grid. Frame k of a camera
// is what the device delivers as its k-th frame, so the references can be
// given exactly the program's pictures.
#pragma once

#include "media/capture/virtual/VirtualPicture.h"

#include <cstdint>
#include <vector>

class CCameraPictures
{
public:
    static const int CAMERA_COUNT = 6;
    static const int CELL_WIDTH = 960;
    static const int CELL_HEIGHT = 360;
    static const int GRID_WIDTH = 2 * CELL_WIDTH;
    static const int GRID_HEIGHT = 3 * CELL_HEIGHT;

    // nDuration: 100-ns units per frame, which moves the bar and the
    // counter. Paints with Qt, so a QGuiApplication must exist.
    bool Build(int nDuration);
    // The bar crosses a picture in this many frames; a loop of them
    // repeats without a jump.
    int GetLoopFrames() const;
    // Frame nFrame of camera nCamera, packed YUYV.
    void RenderCamera(int nCamera, uint64_t nFrame, uint8_t* pDst, int nStride);
    // Frame nFrame of all six in their cells of the grid, packed YUYV.
    void RenderGrid(uint64_t nFrame, uint8_t* pDst, int nStride);

private:
    KVMedia::CVirtualPicture m_aPictures[CAMERA_COUNT];
    int m_nDuration = 0;
};

// Packed YUYV to I420 planes (chroma of each pair of lines averaged), as
// the program's H.264 encoder converts its input.
void YuyvToI420(const uint8_t* pSrc, int nSrcStride, int nWidth, int nHeight, uint8_t* pY, int nYStride, uint8_t* pU,
                uint8_t* pV, int nUVStride);
