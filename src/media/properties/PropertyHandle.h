// An open property handle: the device it was opened for and, for a real
// device, its open picture controls. A virtual device keeps its controls in
// its shared state, where its capture thread reads them.
#pragma once

#include "media/core/DeviceState.h"
#include "media/core/HandleTable.h"

#include <memory>

namespace KVMedia
{
class CV4l2Controls;

class CPropertyHandle
{
public:
    explicit CPropertyHandle(std::shared_ptr<CVideoDeviceState> pDevice);
    ~CPropertyHandle();
    CPropertyHandle(const CPropertyHandle&) = delete;
    CPropertyHandle& operator=(const CPropertyHandle&) = delete;

    // Opens a real device's controls; false when they do not open.
    bool Open();

    static bool IsValidParam(int nId);
    // nId must be valid (IsValidParam) and the pointers non-null.
    bool GetRange(int nId, int* pMin, int* pMax, int* pDefault) const;
    bool Get(int nId, int* pValue) const;
    bool Set(int nId, int nValue);
    int IsSignalPresent() const;
    int GetInputType() const;
    // The serial number into the caller's 64-byte buffer: at most 63
    // characters and the end.
    void CopySerial(char* pBuffer) const;

private:
    bool IsVirtual() const;

    std::shared_ptr<CVideoDeviceState> m_pDevice;
    std::unique_ptr<CV4l2Controls> m_pControls; // real devices only
};

CHandleTable<CPropertyHandle>& PropertyHandles();
}
