// The media layer takes text as zero-terminated UTF-16, which is what a
// QString holds.
#pragma once

#include <QString>

inline const char16_t* KVUtf16(const QString& str)
{
    return reinterpret_cast<const char16_t*>(str.utf16());
}
