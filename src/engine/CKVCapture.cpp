#include "engine/CKVCapture.h"

#include "config/CSettings.h"
#include "engine/CVoIPAutoLock.h"
#include "engine/KVFrameDuration.h"
#include "media/KVMixer.h"
#include "media/KVProperty.h"
#include "media/KVProtocol.h"
#include "media/KVStream.h"
#include "platform/Log.h"

#include <QtGlobal>

#include <cstring>
#include <vector>

namespace
{
// Outputs and devices up to this size are standard definition ("small").
const int SMALL_MAX_WIDTH = 768;
const int SMALL_MAX_HEIGHT = 576;

bool IsSmallSize(int nWidth, int nHeight)
{
    return nWidth <= SMALL_MAX_WIDTH && nHeight <= SMALL_MAX_HEIGHT;
}

// The library fills fixed buffers; stop at the first zero or the end.
QString NameFromRecord(const char16_t* pszName)
{
    int nLength = 0;
    while (nLength < KVS_NAME_LEN && pszName[nLength] != 0)
        ++nLength;
    return QString::fromUtf16(pszName, nLength);
}
}

CKVCapture::CKVCapture()
{
    for (int& nDevice : m_anDeviceOrder)
        nDevice = -1;
}

CKVCapture::~CKVCapture()
{
    // The media layer may already be gone when the globals are destroyed, so
    // shutting it down is left to Uninit, which the program calls.
}

bool CKVCapture::Init()
{
    // A second Init starts from a clean state instead of leaking the first.
    Uninit();

    m_bStreamLibraryStarted = KVS_Initialize() != 0;
    if (!m_bStreamLibraryStarted)
        Log::Error("engine", QStringLiteral("Capture library did not start"));
    if (!KPL_Initialize())
    {
        Log::Error("engine", QStringLiteral("Protocol library did not start"));
        return false;
    }
    m_bProtocolLibraryStarted = true;

    m_nVideoDeviceCount = KVS_GetVideoCaptureCount();
    if (m_nVideoDeviceCount <= 0)
    {
        m_nVideoDeviceCount = 0;
        Log::Error("engine", QStringLiteral("No video capture device"));
        return false;
    }

    KVS_VIDEO_CAPTURE_INFO info{};
    if (!KVS_GetVideoCaptureInfo(0, &info))
    {
        Log::Error("engine", QStringLiteral("Cannot read the record of video device 0"));
        return false;
    }
    info.szIdentity[KVS_IDENTITY_LEN - 1] = '\0';
    ReadSerialNumber(info.szIdentity);

    m_nAudioDeviceCount = qMax(0, KVS_GetAudioCaptureCount3());

    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        m_apChannel[nChannel].reset(new CKVChannel(nChannel));
        m_ahMixerChannel[nChannel] = nullptr;
    }

    for (int& nDevice : m_anDeviceOrder)
        nDevice = -1;
    m_nDeviceOrderCount = 0;

    m_bH264Hardware = KVS_IsSupportH264HD() != 0;

    // Polled rather than watched: /dev and sysfs change the same way for
    // every kind of camera and in containers without udev, a listing costs
    // next to nothing, and a second is well within the time a user waits
    // for a camera plugged back in.
    m_nDeviceGeneration = KVS_RefreshVideoDevices();
    m_pDeviceTimer.reset(new QTimer);
    m_pDeviceTimer->setInterval(1000);
    QObject::connect(m_pDeviceTimer.get(), &QTimer::timeout, [this] { PollDevices(); });
    m_pDeviceTimer->start();

    return BuildDeviceOrder();
}

void CKVCapture::PollDevices()
{
    bool bChanged = false;
    const int nGeneration = KVS_RefreshVideoDevices();
    if (nGeneration != m_nDeviceGeneration)
    {
        m_nDeviceGeneration = nGeneration;
        m_nVideoDeviceCount = qMax(0, KVS_GetVideoCaptureCount());
        BuildDeviceOrder();
        bChanged = true;
    }
    if (UpdateChannelDevices())
        bChanged = true;
    if (bChanged)
        NotifyDevicesChanged();
}

bool CKVCapture::UpdateChannelDevices()
{
    bool bChanged = false;
    for (const auto& pChannel : m_apChannel)
    {
        if (!pChannel || !pChannel->IsOpen())
            continue;
        const bool bPresent = KVS_IsVideoCapturePresent(pChannel->GetDeviceIndex()) != 0;
        // A capture that ended by itself lost its device, even when the
        // device was back before this poll noticed it was gone.
        if (!pChannel->IsDeviceLost() && pChannel->IsStarted() &&
            !KVS_IsVideoCaptureRunning(pChannel->GetCaptureHandle()))
        {
            Log::Info("engine", QStringLiteral("Channel %1 lost its device").arg(pChannel->GetIndex()));
            pChannel->MarkDeviceLost();
            bChanged = true;
        }
        if (pChannel->IsDeviceLost() && bPresent && pChannel->Recover())
        {
            Log::Info("engine", QStringLiteral("Channel %1 captures again").arg(pChannel->GetIndex()));
            bChanged = true;
        }
    }
    return bChanged;
}

void CKVCapture::NotifyDevicesChanged()
{
    CVoIPAutoLock lock(m_csNotify);
    for (IKVRecordNotify* pNotify : m_listNotify)
        pNotify->OnDevicesChanged();
}

void CKVCapture::ReadSerialNumber(const char* pszIdentity)
{
    std::memset(m_szSerialNumber, 0, sizeof(m_szSerialNumber));

    KVS_HANDLE hCapture = KVS_OpenVideoCapture(pszIdentity);
    if (!hCapture)
        return;
    // Without a property handle there is nothing more to ask: the media
    // layer already reads the USB serial number through it where one exists.
    KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(hCapture);
    if (hProperty)
    {
        char szSerial[SERIAL_NUMBER_SIZE] = {};
        if (KVP_GetSerialNo(hProperty, szSerial))
        {
            // Keep the final zero even when the library filled all 64 bytes.
            std::memcpy(m_szSerialNumber, szSerial, qstrnlen(szSerial, SERIAL_NUMBER_SIZE - 1));
        }
        KVP_ClosePropertyHandle(hProperty);
    }
    KVS_CloseVideoCapture(hCapture);
}

void CKVCapture::Uninit()
{
    // The mixer goes first: it pulls from the captures closed below. A
    // recording left running would keep encoders and a half-written file.
    m_pDeviceTimer.reset();
    DestroyMixer();
    StopRecord();
    CloseAudio();
    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        if (m_apChannel[nChannel])
        {
            CloseChannel(nChannel);
            m_apChannel[nChannel].reset();
        }
    }
    m_nVideoDeviceCount = 0;
    m_nAudioDeviceCount = 0;
    m_nDeviceOrderCount = 0;
    for (int& nDevice : m_anDeviceOrder)
        nDevice = -1;

    if (m_bProtocolLibraryStarted)
    {
        KPL_Uninitialize();
        m_bProtocolLibraryStarted = false;
    }
    if (m_bStreamLibraryStarted)
    {
        KVS_Uninitialize();
        m_bStreamLibraryStarted = false;
    }
}

bool CKVCapture::BuildDeviceOrder()
{
    int nOutputWidth = 0;
    int nOutputHeight = 0;
    int nDuration = 0;
    ReadOutputFormat(nOutputWidth, nOutputHeight, nDuration);
    const bool bSmallOutput = IsSmallSize(nOutputWidth, nOutputHeight);

    // Entries past the count are cleared too, so that a device dropped by a
    // larger output format is no longer reported as ordered.
    for (int& nDevice : m_anDeviceOrder)
        nDevice = -1;
    m_nDeviceOrderCount = 0;

    auto enterDevice = [this](int nDevice) {
        // More qualifying devices than entries: the first ones win.
        if (m_nDeviceOrderCount < DEVICE_ORDER_SIZE)
            m_anDeviceOrder[m_nDeviceOrderCount++] = nDevice;
    };

    std::vector<int> vecDeferred;
    for (int nDevice = 0; nDevice < m_nVideoDeviceCount; ++nDevice)
    {
        KVS_VIDEO_CAPTURE_INFO_EX info{};
        if (!KVS_GetVideoCaptureInfoEx(nDevice, &info))
            continue;
        const bool bSmallDevice = IsSmallSize(info.nMaxWidth, info.nMaxHeight);

        switch (info.nFamily)
        {
        case 2:
        case 3:
            if (bSmallOutput || !bSmallDevice)
            {
                if (bSmallDevice)
                    vecDeferred.push_back(nDevice);
                else
                    enterDevice(nDevice);
            }
            break;
        case 1:
            if (bSmallOutput && bSmallDevice)
                vecDeferred.push_back(nDevice);
            break;
        default:
            break;
        }
    }
    for (int nDevice : vecDeferred)
        enterDevice(nDevice);

    return m_nDeviceOrderCount > 0;
}

int CKVCapture::GetOrderedDevice(int nIndex) const
{
    if (nIndex < 0 || nIndex >= DEVICE_ORDER_SIZE)
        return -1;
    return m_anDeviceOrder[nIndex];
}

bool CKVCapture::IsDeviceOrdered(int nDevice) const
{
    if (nDevice == -1)
        return false;
    for (int nOrdered : m_anDeviceOrder)
    {
        if (nOrdered == nDevice)
            return true;
    }
    return false;
}

int CKVCapture::GetDeviceCount(bool bVideo) const
{
    return bVideo ? m_nVideoDeviceCount : m_nAudioDeviceCount;
}

bool CKVCapture::GetDeviceName(bool bVideo, int nIndex, QString& strName) const
{
    if (nIndex < 0)
        return false;
    if (bVideo)
    {
        KVS_VIDEO_CAPTURE_INFO info{};
        if (!KVS_GetVideoCaptureInfo(nIndex, &info))
            return false;
        strName = NameFromRecord(info.szName);
        return true;
    }
    KVS_AUDIO_CAPTURE_INFO info{};
    if (!KVS_GetAudioCaptureInfo3(nIndex, &info))
        return false;
    strName = NameFromRecord(info.szName);
    return true;
}

bool CKVCapture::IsDeviceInUse(int nDevice) const
{
    if (nDevice < 0)
        return false;
    for (const auto& pChannel : m_apChannel)
    {
        if (pChannel && pChannel->GetDeviceIndex() == nDevice)
            return true;
    }
    return false;
}

QString CKVCapture::GetSerialNumber() const
{
    return QString::fromLocal8Bit(m_szSerialNumber, static_cast<int>(qstrnlen(m_szSerialNumber, SERIAL_NUMBER_SIZE)));
}

CKVChannel* CKVCapture::GetChannel(int nChannel) const
{
    if (!IsValidChannel(nChannel))
        return nullptr;
    return m_apChannel[nChannel].get();
}

bool CKVCapture::OpenChannel(int nChannel, int nDevice, KVS_WINDOW hWnd)
{
    CKVChannel* pChannel = GetChannel(nChannel);
    if (!pChannel || nDevice < 0)
        return false;
    if (!pChannel->Open(nDevice, hWnd))
        return false;

    int nWidth = 0;
    int nHeight = 0;
    int nDuration = 0;
    ReadOutputFormat(nWidth, nHeight, nDuration);
    if (!pChannel->SetFormat(nWidth, nHeight, nDuration))
    {
        // The channel keeps its device: placing it into a smaller rectangle,
        // or a later output format, may well be a size the device takes.
        Log::Warning("engine", QStringLiteral("Channel %1: device %2 refused %3x%4; it stays idle")
                                   .arg(nChannel)
                                   .arg(nDevice)
                                   .arg(nWidth)
                                   .arg(nHeight));
        return false;
    }
    return pChannel->Start();
}

void CKVCapture::CloseChannel(int nChannel)
{
    CKVChannel* pChannel = GetChannel(nChannel);
    if (!pChannel)
        return;
    // The mixer lets go of the capture first, so it never reads from a
    // capture that is being closed.
    {
        CVoIPAutoLock lock(m_csMixerState);
        FinishTransitionOfLocked(nChannel);
        DeleteMixerChannelLocked(nChannel);
    }
    pChannel->Close();
}

bool CKVCapture::RestartChannels()
{
    int nWidth = 0;
    int nHeight = 0;
    int nDuration = 0;
    ReadOutputFormat(nWidth, nHeight, nDuration);

    for (int nChannel = 0; nChannel < CHANNEL_COUNT; ++nChannel)
    {
        CKVChannel* pChannel = m_apChannel[nChannel].get();
        if (!pChannel || !pChannel->IsOpen())
            continue;
        // The assignment is the user's and is kept: switching back to a
        // format the device takes must bring the channel back.
        if (!pChannel->Restart(nWidth, nHeight, nDuration))
            Log::Warning("engine", QStringLiteral("Channel %1 cannot take %2x%3; it stays idle with device %4")
                                       .arg(nChannel)
                                       .arg(nWidth)
                                       .arg(nHeight)
                                       .arg(pChannel->GetDeviceIndex()));
    }
    return true;
}

int CKVCapture::ShowChannelPropertyDialog(int nChannel)
{
    CKVChannel* pChannel = GetChannel(nChannel);
    if (!IsValidChannel(nChannel))
        return -1;
    if (pChannel)
        pChannel->ShowPropertyDialog();
    return 1;
}

void CKVCapture::AddNotify(IKVRecordNotify* pNotify)
{
    if (!pNotify)
        return;
    CVoIPAutoLock lock(m_csNotify);
    m_listNotify.append(pNotify);
}

void CKVCapture::RemoveNotify(IKVRecordNotify* pNotify)
{
    CVoIPAutoLock lock(m_csNotify);
    m_listNotify.removeAll(pNotify);
}

void CKVCapture::ReadOutputFormat(int& nWidth, int& nHeight, int& nDuration)
{
    int nSize = 0;
    int nRate = 0;
    // Read first: this also repairs a damaged record before the size is used.
    g_settings.GetOutputFormat(nSize, nRate);
    nWidth = GetVideoWidth(nSize);
    nHeight = GetVideoHeight(nSize);
    nDuration = FrameDurationFromRate(GetFrameRate(nRate));
}
