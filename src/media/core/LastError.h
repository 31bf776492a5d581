// The per-thread failure reason behind KVS_GetLastError.
#pragma once

#include "media/KVError.h"

#include <string>

namespace KVMedia
{
void SetLastError(int nCode, const std::string& strDetail = std::string());
// The file error of an errno value: its code, and the system's words as the
// detail.
void SetLastFileError(int nErrno);
}
