#include "media/core/DeviceList.h"

#include "media/KVStream.h"
#include "platform/Log.h"
#include "media/capture/v4l2/V4l2Device.h"
#include "media/capture/virtual/VirtualConfig.h"

#include <QHash>

#include <atomic>
#include <cstring>
#include <mutex>

namespace KVMedia
{
namespace
{
std::mutex g_mutexDevices;
std::vector<std::shared_ptr<CVideoDeviceState>> g_vecVideo;
// Counts changes of the video device list; see KVS_RefreshVideoDevices.
std::atomic<int> g_nVideoGeneration{0};
std::vector<SAudioDeviceDesc> g_vecAudio;

bool EnvFlag(const char* pszName)
{
    const QByteArray baValue = qgetenv(pszName).trimmed();
    return !baValue.isEmpty() && baValue != "0";
}

// Two devices of the same model would otherwise be indistinguishable in
// every list the user sees.
void MakeNamesUnique(std::vector<std::shared_ptr<CVideoDeviceState>>& vecDevices)
{
    QHash<QString, int> hashSeen;
    for (const auto& pDevice : vecDevices)
        hashSeen.insert(pDevice->strName, 0);
    QHash<QString, int> hashUsed;
    for (auto& pDevice : vecDevices)
    {
        int& nUses = hashUsed[pDevice->strName];
        ++nUses;
        if (nUses == 1)
            continue;
        QString strCandidate;
        int nSuffix = nUses;
        do
            strCandidate = QStringLiteral("%1 (%2)").arg(pDevice->strName).arg(nSuffix++);
        while (hashSeen.contains(strCandidate));
        hashSeen.insert(strCandidate, 0);
        pDevice->strName = strCandidate;
    }
}

std::shared_ptr<CVideoDeviceState> MakeV4l2Device(const SV4l2Node& node)
{
    auto pDevice = std::make_shared<CVideoDeviceState>();
    pDevice->eKind = CVideoDeviceState::KIND_V4L2;
    pDevice->strName = node.strCard;
    pDevice->baIdentity = "v4l2:" + node.strPath.toLocal8Bit();
    pDevice->strNode = node.strPath;
    pDevice->nMaxWidth = node.nMaxWidth;
    pDevice->nMaxHeight = node.nMaxHeight;
    pDevice->nFamily = (node.nMaxWidth > 768 || node.nMaxHeight > 576) ? 2 : 1;
    pDevice->baSerial = node.baSerial;
    pDevice->strPort = node.strPort;
    return pDevice;
}

// The same camera: its name with its serial number when it has one, or the
// USB port it is plugged into. The node number alone says nothing, since
// the kernel hands out the first free one, except for a camera known by
// neither, such as one not on USB: nothing but its node tells it apart.
bool IsSameCamera(const CVideoDeviceState& device, const SV4l2Node& node, const QString& strBaseName)
{
    if (strBaseName != node.strCard)
        return false;
    if (!device.baSerial.isEmpty() && device.baSerial == node.baSerial)
        return true;
    if (!device.strPort.isEmpty() && device.strPort == node.strPort)
        return true;
    return device.baSerial.isEmpty() && device.strPort.isEmpty() && node.baSerial.isEmpty() && node.strPort.isEmpty() &&
           device.strNode == node.strPath;
}

// What the list called the device before MakeNamesUnique added " (n)".
QString BaseName(const CVideoDeviceState& device, const QString& strCard)
{
    return device.strName.startsWith(strCard) ? strCard : device.strName;
}

KVS_GUID VirtualToneGuid(int nIndex)
{
    KVS_GUID guid;
    std::memset(&guid, 0, sizeof(guid));
    std::memcpy(guid.abData, "VistrelTone", 11);
    guid.abData[12] = uint8_t(nIndex & 0xff);
    guid.abData[13] = uint8_t((nIndex >> 8) & 0xff);
    return guid;
}
}

namespace
{
std::shared_ptr<CVideoDeviceState> FindVideoDeviceLocked(const QByteArray& baIdentity)
{
    for (const auto& pDevice : g_vecVideo)
        if (pDevice->baIdentity == baIdentity)
            return pDevice;
    return nullptr;
}

// "v4l2:<node>", or with "#2", "#3", ... when a device first seen on that
// node before still holds it: it may have moved, or be away.
QByteArray UniqueV4l2IdentityLocked(const QString& strPath)
{
    const QByteArray baBase = "v4l2:" + strPath.toLocal8Bit();
    QByteArray baIdentity = baBase;
    for (int nSuffix = 2; FindVideoDeviceLocked(baIdentity); ++nSuffix)
        baIdentity = baBase + '#' + QByteArray::number(nSuffix);
    return baIdentity;
}

// For each device of the list, the node it is on now, or -1. Every camera
// still on its own node is found first, so that none of them is taken for
// one that moved.
std::vector<int> MatchNodesLocked(const std::vector<SV4l2Node>& vecNodes)
{
    std::vector<int> vecFound(g_vecVideo.size(), -1);
    std::vector<bool> vecClaimed(vecNodes.size(), false);
    for (const bool bOwnNode : {true, false})
        for (size_t nDevice = 0; nDevice < g_vecVideo.size(); ++nDevice)
        {
            const CVideoDeviceState& device = *g_vecVideo[nDevice];
            if (device.eKind != CVideoDeviceState::KIND_V4L2 || vecFound[nDevice] >= 0)
                continue;
            for (size_t i = 0; i < vecNodes.size() && vecFound[nDevice] < 0; ++i)
            {
                const SV4l2Node& node = vecNodes[i];
                if (vecClaimed[i] || (bOwnNode && node.strPath != device.strNode) ||
                    !IsSameCamera(device, node, BaseName(device, node.strCard)))
                    continue;
                vecFound[nDevice] = int(i);
                vecClaimed[i] = true;
            }
        }
    return vecFound;
}

// Brings a device up to date with the node it was found on (null: none).
// Returns whether anything changed.
bool UpdateDeviceLocked(CVideoDeviceState& device, const SV4l2Node* pNode)
{
    bool bChanged = false;
    // A camera changes node only by going away, which kills whatever was
    // open on its old node: nothing captures from it while its node changes.
    if (pNode && device.strNode != pNode->strPath)
    {
        device.strNode = pNode->strPath;
        device.strPort = pNode->strPort;
        bChanged = true;
        Log::Info("capture", QStringLiteral("%1 is on %2").arg(device.strName, device.strNode));
    }
    const bool bPresent = pNode != nullptr;
    if (device.bPresent != bPresent)
    {
        device.bPresent = bPresent;
        bChanged = true;
        Log::Info("capture", QStringLiteral("%1 %2").arg(device.strName, bPresent ? "is back" : "is gone"));
    }
    return bChanged;
}

// An absent device whose old node another camera now has must not open
// that camera when asked for itself.
void ForgetTakenNodesLocked(const std::vector<SV4l2Node>& vecNodes)
{
    for (const auto& pDevice : g_vecVideo)
    {
        if (pDevice->eKind != CVideoDeviceState::KIND_V4L2 || pDevice->bPresent || pDevice->strNode.isEmpty())
            continue;
        for (const SV4l2Node& node : vecNodes)
            if (node.strPath == pDevice->strNode)
                pDevice->strNode.clear();
    }
}

// Appended, so that no device number moves; existing names stay as they
// are and only the newcomers get a suffix.
void AppendDevicesLocked(const std::vector<std::shared_ptr<CVideoDeviceState>>& vecAdded)
{
    const size_t nOld = g_vecVideo.size();
    g_vecVideo.insert(g_vecVideo.end(), vecAdded.begin(), vecAdded.end());
    std::vector<QString> vecOldNames;
    for (size_t i = 0; i < nOld; ++i)
        vecOldNames.push_back(g_vecVideo[i]->strName);
    MakeNamesUnique(g_vecVideo);
    for (size_t i = 0; i < nOld; ++i)
        g_vecVideo[i]->strName = vecOldNames[i];
}
}

std::shared_ptr<CVideoDeviceState> GetVideoDevice(int nIndex)
{
    std::lock_guard<std::mutex> lock(g_mutexDevices);
    if (nIndex < 0 || nIndex >= int(g_vecVideo.size()))
        return nullptr;
    return g_vecVideo[size_t(nIndex)];
}

std::shared_ptr<CVideoDeviceState> FindVideoDevice(const char* pszIdentity)
{
    if (!pszIdentity)
        return nullptr;
    const QByteArray baIdentity(pszIdentity, int(strnlen(pszIdentity, KVS_IDENTITY_LEN)));
    std::lock_guard<std::mutex> lock(g_mutexDevices);
    return FindVideoDeviceLocked(baIdentity);
}

std::vector<SAudioDeviceDesc> GetAudioDevices()
{
    std::lock_guard<std::mutex> lock(g_mutexDevices);
    return g_vecAudio;
}

bool FindAudioDevice(const KVS_GUID& guid, SAudioDeviceDesc* pDesc)
{
    std::lock_guard<std::mutex> lock(g_mutexDevices);
    for (const SAudioDeviceDesc& desc : g_vecAudio)
        if (std::memcmp(desc.guid.abData, guid.abData, sizeof(guid.abData)) == 0)
        {
            *pDesc = desc;
            return true;
        }
    return false;
}

void CopyName(const QString& strName, char16_t* pDst, int nCapacity)
{
    const int nLength = qMin(strName.size(), nCapacity - 1);
    std::memcpy(pDst, strName.utf16(), size_t(nLength) * sizeof(char16_t));
    pDst[nLength] = 0;
}

void BuildDeviceLists()
{
    // Read at this point rather than at load time, so a process can change
    // its environment and initialise again.
    std::vector<std::shared_ptr<CVideoDeviceState>> vecVideo;
    if (!EnvFlag("VISTREL_NO_V4L2"))
    {
        for (const SV4l2Node& node : EnumerateV4l2Nodes())
            vecVideo.push_back(MakeV4l2Device(node));
    }

    QStringList listErrors;
    const std::vector<SVirtualVideoEntry> vecEntries =
        ParseVirtualVideoConfig(QString::fromLocal8Bit(qgetenv("VISTREL_VIRTUAL_VIDEO")), &listErrors);
    for (size_t i = 0; i < vecEntries.size(); ++i)
    {
        const SVirtualVideoEntry& entry = vecEntries[i];
        auto pDevice = std::make_shared<CVideoDeviceState>();
        pDevice->eKind = CVideoDeviceState::KIND_VIRTUAL;
        pDevice->strName = entry.strName;
        pDevice->baIdentity = "virtual:" + QByteArray::number(qulonglong(i));
        pDevice->nFamily = entry.nFamily;
        pDevice->nMaxWidth = entry.nMaxWidth;
        pDevice->nMaxHeight = entry.nMaxHeight;
        pDevice->baSerial = entry.baSerial;
        pDevice->nPattern = int(i);
        pDevice->bSignalPresent = !entry.bNoSignal;
        vecVideo.push_back(pDevice);
    }
    MakeNamesUnique(vecVideo);

    const int nTones = ParseVirtualAudioCount(QString::fromLocal8Bit(qgetenv("VISTREL_VIRTUAL_AUDIO")), &listErrors);
    // Like video: the real sources first, then the virtual ones.
    std::vector<SAudioDeviceDesc> vecAudio = EnumeratePulseSources(1500);
    for (int i = 0; i < nTones; ++i)
    {
        SAudioDeviceDesc desc;
        desc.strName = QStringLiteral("Virtual Tone %1").arg(i + 1);
        desc.guid = VirtualToneGuid(i);
        desc.nVirtualIndex = i;
        vecAudio.push_back(desc);
    }

    for (const QString& strError : listErrors)
        Log::Warning("capture", strError);

    std::lock_guard<std::mutex> lock(g_mutexDevices);
    g_vecVideo = std::move(vecVideo);
    g_vecAudio = std::move(vecAudio);
    ++g_nVideoGeneration;
}

int RefreshVideoDevices()
{
    if (EnvFlag("VISTREL_NO_V4L2"))
        return g_nVideoGeneration.load();
    // Listing opens every node, which takes no lock of ours.
    const std::vector<SV4l2Node> vecNodes = EnumerateV4l2Nodes();

    std::lock_guard<std::mutex> lock(g_mutexDevices);
    const std::vector<int> vecFound = MatchNodesLocked(vecNodes);
    std::vector<bool> vecClaimed(vecNodes.size(), false);
    bool bChanged = false;
    for (size_t nDevice = 0; nDevice < g_vecVideo.size(); ++nDevice)
    {
        if (g_vecVideo[nDevice]->eKind != CVideoDeviceState::KIND_V4L2)
            continue;
        const int nFound = vecFound[nDevice];
        if (nFound >= 0)
            vecClaimed[size_t(nFound)] = true;
        if (UpdateDeviceLocked(*g_vecVideo[nDevice], nFound >= 0 ? &vecNodes[size_t(nFound)] : nullptr))
            bChanged = true;
    }
    ForgetTakenNodesLocked(vecNodes);
    // Every node left over is a camera plugged in since, even on a node an
    // absent or moved device was first seen on.
    std::vector<std::shared_ptr<CVideoDeviceState>> vecAdded;
    for (size_t i = 0; i < vecNodes.size(); ++i)
    {
        if (vecClaimed[i])
            continue;
        vecAdded.push_back(MakeV4l2Device(vecNodes[i]));
        vecAdded.back()->baIdentity = UniqueV4l2IdentityLocked(vecNodes[i].strPath);
        Log::Info("capture", QStringLiteral("new device %1").arg(vecNodes[i].strCard));
    }
    if (!vecAdded.empty())
    {
        AppendDevicesLocked(vecAdded);
        bChanged = true;
    }
    if (bChanged)
        ++g_nVideoGeneration;
    return g_nVideoGeneration.load();
}

bool IsVideoDevicePresent(int nIndex)
{
    const auto pDevice = GetVideoDevice(nIndex);
    return pDevice && pDevice->bPresent;
}

void ClearDeviceLists()
{
    std::lock_guard<std::mutex> lock(g_mutexDevices);
    g_vecVideo.clear();
    g_vecAudio.clear();
}

int VideoDeviceCount()
{
    std::lock_guard<std::mutex> lock(g_mutexDevices);
    return int(g_vecVideo.size());
}

void FillVideoCaptureInfo(const CVideoDeviceState& device, KVS_VIDEO_CAPTURE_INFO* pInfo)
{
    std::memset(pInfo, 0, sizeof(*pInfo));
    CopyName(device.strName, pInfo->szName, KVS_NAME_LEN);
    std::memcpy(pInfo->szIdentity, device.baIdentity.constData(),
                size_t(qMin(device.baIdentity.size(), KVS_IDENTITY_LEN - 1)));
}

void FillVideoCaptureInfoEx(const CVideoDeviceState& device, KVS_VIDEO_CAPTURE_INFO_EX* pInfo)
{
    std::memset(pInfo, 0, sizeof(*pInfo));
    FillVideoCaptureInfo(device, &pInfo->info);
    pInfo->nFamily = device.nFamily;
    pInfo->nMaxWidth = device.nMaxWidth;
    pInfo->nMaxHeight = device.nMaxHeight;
}

int AudioDeviceCount()
{
    std::lock_guard<std::mutex> lock(g_mutexDevices);
    return int(g_vecAudio.size());
}

bool FillAudioCaptureInfo(int nIndex, KVS_AUDIO_CAPTURE_INFO* pInfo)
{
    std::lock_guard<std::mutex> lock(g_mutexDevices);
    if (nIndex < 0 || nIndex >= int(g_vecAudio.size()))
        return false;
    std::memset(pInfo, 0, sizeof(*pInfo));
    CopyName(g_vecAudio[size_t(nIndex)].strName, pInfo->szName, KVS_NAME_LEN);
    pInfo->guid = g_vecAudio[size_t(nIndex)].guid;
    return true;
}
}
