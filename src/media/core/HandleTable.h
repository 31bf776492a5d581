// Handles given out by this layer are numbers, never addresses: a handle that
// was closed stays invalid for good, even when another object later lands at
// the same address, so a stale handle is refused instead of reaching the
// wrong device.
#pragma once

#include "media/KVTypes.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace KVMedia
{
// One counter for every kind of handle, so a capture handle passed where a
// renderer is expected is refused as well.
KVS_HANDLE NextHandle();

template <class T> class CHandleTable
{
public:
    KVS_HANDLE Add(std::shared_ptr<T> pObject)
    {
        const KVS_HANDLE h = NextHandle();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_map.emplace(h, std::move(pObject));
        return h;
    }

    std::shared_ptr<T> Get(KVS_HANDLE h) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_map.find(h);
        return it == m_map.end() ? nullptr : it->second;
    }

    std::shared_ptr<T> Remove(KVS_HANDLE h)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_map.find(h);
        if (it == m_map.end())
            return nullptr;
        std::shared_ptr<T> p = std::move(it->second);
        m_map.erase(it);
        return p;
    }

    std::vector<std::shared_ptr<T>> RemoveAll()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::shared_ptr<T>> vec;
        vec.reserve(m_map.size());
        for (auto& entry : m_map)
            vec.push_back(std::move(entry.second));
        m_map.clear();
        return vec;
    }

private:
    mutable std::mutex m_mutex;
    std::unordered_map<KVS_HANDLE, std::shared_ptr<T>> m_map;
};
}
