// Frames of a virtual device, paced in real time against absolute deadlines
// so the rate does not drift however long each frame takes. Like a real
// camera it draws at most its largest size; larger requests are scaled up
// from the nearest size it offers.
#pragma once

#include "media/core/DeviceState.h"
#include "media/capture/FrameProducer.h"
#include "media/image/PictureAdjust.h"
#include "media/capture/virtual/VirtualPicture.h"
#include "media/image/YuyvScaler.h"

#include <memory>
#include <vector>

namespace KVMedia
{
class CVirtualProducer : public IFrameProducer
{
public:
    explicit CVirtualProducer(std::shared_ptr<CVideoDeviceState> pDevice);

    bool Open(int nWidth, int nHeight, int nDuration) override;
    int Produce(uint8_t* pDst, int nStride, CStopSignal& stop) override;

private:
    void RefreshControls();

    std::shared_ptr<CVideoDeviceState> m_pDevice;
    CVirtualPicture m_picture;
    // Set when the requested size is beyond the device: the picture is drawn
    // into m_abNative and scaled to the requested size.
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<uint8_t> m_abNative;
    CYuyvScaler m_scaler;
    CPictureAdjust m_adjust;
    uint32_t m_nAdjustVersion = 0;
    int m_nDuration = 0;
    uint64_t m_nFrameIndex = 0;
    bool m_bClockStarted = false;
    std::chrono::steady_clock::time_point m_tpStart;
};
}
