#include "media/core/HandleTable.h"

namespace KVMedia
{
KVS_HANDLE NextHandle()
{
    // Starts well above zero so a handle never looks like a small integer
    // or null.
    static std::atomic<uintptr_t> s_nNext{0x1000};
    return reinterpret_cast<KVS_HANDLE>(s_nNext.fetch_add(16));
}
}
