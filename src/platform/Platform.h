// Small operating-system helpers, so that nothing above this layer needs a
// platform call of its own.
#pragma once

#include <QString>
#include <cstdint>

namespace Platform
{
// One diagnostic line on standard error (the program keeps no log file).
void DebugOutput(const QString& strText);

// Monotonic milliseconds, wrapping like a 32-bit tick counter.
uint32_t GetTickCount32();

// Folder of the running executable, without a trailing separator. Works
// before the application object exists.
QString GetExecutableDir();

// Total free bytes of the file system holding strPath (not the quota-limited
// share); 0 when the query fails.
uint64_t GetFreeBytes(const QString& strPath);

// Names the calling thread (at most 15 characters are kept), so that a
// profiler or debugger shows which part of the program is working.
void SetThreadName(const char* pszName);
}
