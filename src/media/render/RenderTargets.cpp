#include "media/render/RenderTargets.h"

#include "media/KVStream.h"

#include <QCryptographicHash>

#include <cstring>
#include <mutex>
#include <unordered_map>

namespace KVMedia
{
namespace
{
// Recursive, so a target may query the registry from inside PresentFrame.
std::recursive_mutex& RegistryMutex()
{
    static std::recursive_mutex s_mutex;
    return s_mutex;
}

std::unordered_map<KVS_WINDOW, IKVRenderTarget*>& Targets()
{
    static std::unordered_map<KVS_WINDOW, IKVRenderTarget*> s_map;
    return s_map;
}
}

bool WithRenderTarget(KVS_WINDOW hWnd, const std::function<void(IKVRenderTarget*)>& fn)
{
    std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
    const auto it = Targets().find(hWnd);
    if (it == Targets().end())
        return false;
    fn(it->second);
    return true;
}

void SetRenderTarget(KVS_WINDOW hWnd, IKVRenderTarget* pTarget)
{
    std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
    if (pTarget)
        Targets()[hWnd] = pTarget;
    else
        Targets().erase(hWnd);
}

void RemoveRenderTarget(KVS_WINDOW hWnd)
{
    std::lock_guard<std::recursive_mutex> lock(RegistryMutex());
    Targets().erase(hWnd);
}

bool GetScreenGuid(KVS_WINDOW hWnd, KVS_GUID* pGuid)
{
    QString strKey;
    if (!WithRenderTarget(hWnd, [&strKey](IKVRenderTarget* pTarget) { strKey = pTarget->GetScreenKey(); }))
        return false;
    const QByteArray baHash = QCryptographicHash::hash(strKey.toUtf8(), QCryptographicHash::Sha1);
    std::memcpy(pGuid->abData, baHash.constData(), sizeof(pGuid->abData));
    return true;
}
}
