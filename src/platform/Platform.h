// Small operating-system helpers, so that nothing above this layer needs a
// platform call of its own.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace Platform
{
// Monotonic milliseconds, wrapping like a 32-bit tick counter.
uint32_t GetTickCount32();

// Folder of the running executable, without a trailing separator. Works
// before the application object exists.
QString GetExecutableDir();

// The folders the program's shipped data (the layout file with its
// pictures, the projection's background) may be in, in the order they are
// tried: beside the executable (the build tree), then ../share/vistrel
// relative to it (an installed prefix, wherever it was moved).
QStringList GetDataDirCandidates();
// The first of those that holds the layout file; the first of all when none
// does.
QString GetDataDir();

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
