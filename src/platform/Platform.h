// Small operating-system helpers, so that nothing above this layer needs a
// platform call of its own.
#pragma once

#include <QString>
#include <cstdint>

namespace Platform
{
// Monotonic milliseconds, wrapping like a 32-bit tick counter.
uint32_t GetTickCount32();

// Folder of the running executable, without a trailing separator. Works
// before the application object exists.
QString GetExecutableDir();

// Free bytes of the file system holding strPath that this user may fill (the
// blocks reserved for root left out); 0 when the query fails.
uint64_t GetFreeBytes(const QString& strPath);

// True when strPath is an existing folder in which this user may create
// files (permissions and read-only mounts taken into account).
bool IsFolderWritable(const QString& strPath);

// Names the calling thread (at most 15 characters are kept), so that a
// profiler or debugger shows which part of the program is working.
void SetThreadName(const char* pszName);
}
