#include "media/properties/PropertyHandle.h"

#include "media/capture/v4l2/V4l2Device.h"
#include "media/core/CaptureRegistry.h"

#include <cstring>

namespace KVMedia
{
CPropertyHandle::CPropertyHandle(std::shared_ptr<CVideoDeviceState> pDevice)
    : m_pDevice(std::move(pDevice))
{
}

CPropertyHandle::~CPropertyHandle() = default;

bool CPropertyHandle::Open()
{
    if (IsVirtual())
        return true;
    m_pControls = std::make_unique<CV4l2Controls>(m_pDevice->strNode);
    return m_pControls->IsOpen();
}

bool CPropertyHandle::IsVirtual() const
{
    return m_pDevice->eKind == CVideoDeviceState::KIND_VIRTUAL;
}

bool CPropertyHandle::IsValidParam(int nId)
{
    return nId >= 0 && nId < CONTROL_COUNT;
}

bool CPropertyHandle::GetRange(int nId, int* pMin, int* pMax, int* pDefault) const
{
    if (!IsVirtual())
        return m_pControls->GetRange(nId, pMin, pMax, pDefault);
    *pMin = VIRTUAL_CONTROL_MIN;
    *pMax = VIRTUAL_CONTROL_MAX;
    *pDefault = VIRTUAL_CONTROL_DEFAULT;
    return true;
}

bool CPropertyHandle::Get(int nId, int* pValue) const
{
    if (!IsVirtual())
        return m_pControls->Get(nId, pValue);
    *pValue = m_pDevice->anControl[nId].load();
    return true;
}

bool CPropertyHandle::Set(int nId, int nValue)
{
    if (!IsVirtual())
        return m_pControls->Set(nId, nValue);
    if (nValue < VIRTUAL_CONTROL_MIN || nValue > VIRTUAL_CONTROL_MAX)
        return false;
    // Value before version: a capture thread that sees the new version also
    // sees the new value.
    m_pDevice->anControl[nId].store(nValue);
    m_pDevice->nControlVersion.fetch_add(1, std::memory_order_release);
    return true;
}

int CPropertyHandle::IsSignalPresent() const
{
    if (!IsVirtual())
        return m_pControls->IsSignalPresent();
    return m_pDevice->bSignalPresent.load() ? 1 : 0;
}

int CPropertyHandle::GetInputType() const
{
    // A virtual device presents itself as a digital (HDMI) input.
    return IsVirtual() ? INPUT_HDMI : m_pControls->GetInputType();
}

void CPropertyHandle::CopySerial(char* pBuffer) const
{
    const QByteArray& baSerial = m_pDevice->baSerial;
    const size_t nLength = size_t(qMin(baSerial.size(), 63));
    std::memcpy(pBuffer, baSerial.constData(), nLength);
    pBuffer[nLength] = '\0';
}

CHandleTable<CPropertyHandle>& PropertyHandles()
{
    static CHandleTable<CPropertyHandle> s_table;
    return s_table;
}

void CloseAllPropertyHandles()
{
    PropertyHandles().RemoveAll();
}
}
