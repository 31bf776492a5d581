// Audio capture: one primary device feeding the AAC encoder and the level
// meter, and a pending device that takes over with its first block.
#include "engine/CKVCapture.h"

#include "config/CSettings.h"
#include "engine/CVoIPAutoLock.h"
#include "media/KVAudio.h"
#include "engine/KVRecordPacing.h"
#include "media/KVStream.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace
{
const int AUDIO_CHANNELS = 2;
const int AUDIO_BLOCK_SAMPLES = 1024;
}

KVS_HANDLE CKVCapture::OpenAudioCapture(int nIndex)
{
    if (nIndex < 0)
        return nullptr;
    KVS_AUDIO_CAPTURE_INFO info{};
    if (!KVS_GetAudioCaptureInfo3(nIndex, &info))
        return nullptr;
    KVS_HANDLE hAudio = KVS_OpenAudioCapture3(&info.guid);
    if (!hAudio)
        return nullptr;
    // Their results change nothing: a device that does not deliver simply
    // stays silent.
    KVS_SetAudioCaptureFormat3(hAudio, KV_AUDIO_SAMPLE_RATE, AUDIO_CHANNELS, AUDIO_BLOCK_SAMPLES, 10);
    KVS_StartAudioCapture3(hAudio);
    return hAudio;
}

void CKVCapture::DetachAudioCallbacks(KVS_HANDLE hAudio)
{
    if (!hAudio)
        return;
    KVS_SetAudioCaptureCallback3(hAudio, nullptr, nullptr);
    KVS_SetAudioMeterCallback3(hAudio, nullptr, nullptr);
}

void CKVCapture::ReleaseAudioCapture(KVS_HANDLE hAudio)
{
    if (!hAudio)
        return;
    DetachAudioCallbacks(hAudio);
    KVS_StopAudioCapture3(hAudio);
    KVS_CloseAudioCapture3(hAudio);
}

bool CKVCapture::OpenAudioDevice(int nIndex)
{
    KVS_HANDLE hOld = nullptr;
    {
        CVoIPAutoLock lock(m_csAudioDevice);
        hOld = m_hPrimaryAudio.exchange(nullptr);
        m_ctxPrimaryAudio.hAudio.store(nullptr);
        m_nAudioLevel.store(0);
    }
    ReleaseAudioCapture(hOld);
    // A block of the old device may have set it after the reset above; it
    // can no longer arrive now.
    m_nAudioLevel.store(0);

    KVS_HANDLE hAudio = OpenAudioCapture(nIndex);
    if (!hAudio)
    {
        Log::Warning("engine", QStringLiteral("Cannot open audio device %1").arg(nIndex));
        return false;
    }
    {
        CVoIPAutoLock lock(m_csAudioDevice);
        m_ctxPrimaryAudio.hAudio.store(hAudio);
        m_hPrimaryAudio.store(hAudio);
    }
    // Outside the lock: setting a callback waits for a block being delivered,
    // and a block's callback may take the lock.
    KVS_SetAudioMeterCallback3(hAudio, &CKVCapture::AudioMeterHandler, &m_ctxPrimaryAudio);
    KVS_SetAudioCaptureCallback3(hAudio, &CKVCapture::AudioCaptureHandler, &m_ctxPrimaryAudio);
    return true;
}

bool CKVCapture::OpenAudioFromSettings()
{
    if (m_hPendingAudio.load())
        return false;
    int nStored = -1;
    int nMonitor = 0;
    g_settings.GetAudioDevice(nStored, nMonitor);
    if (nStored < 0)
        return true;
    // Another device at the stored index would record the wrong source, or
    // silence; the user has to choose again.
    const int nDevice = FindStoredAudioDevice();
    if (nDevice < 0)
    {
        Log::Warning("engine", QStringLiteral("Stored audio device \"%1\" (%2) is not present")
                                   .arg(g_settings.GetAudioDeviceName())
                                   .arg(nStored));
        return false;
    }

    KVS_HANDLE hAudio = OpenAudioCapture(nDevice);
    if (!hAudio)
    {
        Log::Warning("engine", QStringLiteral("Cannot open audio device %1").arg(nDevice));
        return false;
    }
    KVS_SetAudioMonitor3(hAudio, nMonitor ? 1 : 0);
    {
        CVoIPAutoLock lock(m_csAudioDevice);
        m_ctxPendingAudio.hAudio.store(hAudio);
        m_hPendingAudio.store(hAudio);
    }
    // Outside the lock: the first block of this device takes it to promote
    // the device, and setting a callback waits for a block being delivered.
    KVS_SetAudioMeterCallback3(hAudio, &CKVCapture::AudioMeterHandler, &m_ctxPendingAudio);
    KVS_SetAudioCaptureCallback3(hAudio, &CKVCapture::AudioCaptureHandler, &m_ctxPendingAudio);
    return true;
}

int CKVCapture::FindStoredAudioDevice() const
{
    int nDevice = -1;
    int nMonitor = 0;
    g_settings.GetAudioDevice(nDevice, nMonitor);
    return FindAudioDevice(nDevice, g_settings.GetAudioDeviceName());
}

int CKVCapture::FindAudioDevice(int nIndex, const QString& strName) const
{
    if (nIndex < 0)
        return -1;
    if (strName.isEmpty())
        return nIndex < m_nAudioDeviceCount ? nIndex : -1;
    QString strListed;
    if (GetDeviceName(false, nIndex, strListed) && strListed == strName)
        return nIndex;
    for (int i = 0; i < m_nAudioDeviceCount; ++i)
    {
        if (GetDeviceName(false, i, strListed) && strListed == strName)
            return i;
    }
    return -1;
}

void CKVCapture::CloseAudio()
{
    KVS_HANDLE hPrimary = nullptr;
    KVS_HANDLE hPending = nullptr;
    {
        CVoIPAutoLock lock(m_csAudioDevice);
        hPrimary = m_hPrimaryAudio.exchange(nullptr);
        m_ctxPrimaryAudio.hAudio.store(nullptr);
        hPending = m_hPendingAudio.exchange(nullptr);
        m_ctxPendingAudio.hAudio.store(nullptr);
        m_nAudioLevel.store(0);
    }
    // Outside the lock: a pending device's first block may be waiting for
    // it, and stopping waits for that block's callback to return.
    ReleaseAudioCapture(hPrimary);
    ReleaseAudioCapture(hPending);
    // A meter block delivered between the reset above and the detaching
    // would otherwise stay on the meter.
    m_nAudioLevel.store(0);
}

void CKVCapture::CloseAudioHandle(KVS_HANDLE hAudio)
{
    if (!hAudio)
        return;
    {
        // Closing a device still in use must not leave a dangling handle.
        CVoIPAutoLock lock(m_csAudioDevice);
        KVS_HANDLE hExpected = hAudio;
        if (m_hPrimaryAudio.compare_exchange_strong(hExpected, nullptr))
        {
            m_ctxPrimaryAudio.hAudio.store(nullptr);
            m_nAudioLevel.store(0);
        }
        hExpected = hAudio;
        if (m_hPendingAudio.compare_exchange_strong(hExpected, nullptr))
            m_ctxPendingAudio.hAudio.store(nullptr);
    }
    ReleaseAudioCapture(hAudio);
    if (!m_hPrimaryAudio.load())
        m_nAudioLevel.store(0);
}

int CKVCapture::SetAudioMonitor(bool bOn)
{
    KVS_HANDLE hAudio = m_hPrimaryAudio.load();
    if (!hAudio)
        return 0;
    return KVS_SetAudioMonitor3(hAudio, bOn ? 1 : 0);
}

void CKVCapture::AudioCaptureHandler(const uint8_t* pData, int nLength, void* pUser)
{
    auto* pContext = static_cast<KVAudioContext*>(pUser);
    pContext->pCapture->OnAudioBlock(pContext, pData, nLength);
}

void CKVCapture::AudioMeterHandler(int nLevel, void* pUser)
{
    auto* pContext = static_cast<KVAudioContext*>(pUser);
    // A slot emptied by a close: its device is on its way out.
    if (pContext->hAudio.load())
        pContext->pCapture->m_nAudioLevel.store(nLevel);
}

void CKVCapture::OnAudioBlock(KVAudioContext* pContext, const uint8_t* pData, int nLength)
{
    const KVS_HANDLE hAudio = pContext->hAudio.load();
    if (!hAudio)
        return;
    if (hAudio == m_hPendingAudio.load())
        PromotePendingAudio(hAudio);
    if (hAudio != m_hPrimaryAudio.load())
        return;
    m_recorder.EncodeAudioBlock(pData, nLength);
}

// Runs on the pending device's own audio thread.
void CKVCapture::PromotePendingAudio(KVS_HANDLE hPending)
{
    // Detaching waits for the old device's callback to return, so it happens
    // outside the device lock (no capture lock is ever taken under it).
    KVS_HANDLE hOld = m_hPrimaryAudio.load();
    DetachAudioCallbacks(hOld);
    {
        CVoIPAutoLock lock(m_csAudioDevice);
        // CloseAudio may have taken it away meanwhile.
        if (m_hPendingAudio.load() != hPending)
            return;
        // The primary may have been replaced while the lock was free.
        hOld = m_hPrimaryAudio.load();
        m_ctxPrimaryAudio.hAudio.store(hPending);
        m_hPrimaryAudio.store(hPending);
        m_hPendingAudio.store(nullptr);
        m_ctxPendingAudio.hAudio.store(nullptr);
    }
    DetachAudioCallbacks(hOld);
    bool bTaken = false;
    {
        CVoIPAutoLock lockNotify(m_csNotify);
        for (IKVRecordNotify* pNotify : m_listNotify)
        {
            if (pNotify->OnAudioDeviceReleased(hOld) != 0)
            {
                bTaken = true;
                break;
            }
        }
    }
    // From now on the blocks must name the primary slot: the pending one is
    // free for the next device. This is the capture's own thread, and the
    // library lets a callback replace itself.
    KVS_SetAudioMeterCallback3(hPending, &CKVCapture::AudioMeterHandler, &m_ctxPrimaryAudio);
    KVS_SetAudioCaptureCallback3(hPending, &CKVCapture::AudioCaptureHandler, &m_ctxPrimaryAudio);
    if (hOld && !bTaken)
    {
        // Nobody will close it: do it on the user-interface thread, or here
        // when there is none (another capture may be closed from this one's
        // thread).
        if (QCoreApplication* pApp = QCoreApplication::instance())
        {
            CKVCapture* pThis = this;
            QMetaObject::invokeMethod(
                pApp, [pThis, hOld]() { pThis->CloseAudioHandle(hOld); }, Qt::QueuedConnection);
        }
        else
        {
            ReleaseAudioCapture(hOld);
        }
    }
}
