// Diagnostic lines with a level and the module they come from, written to
// standard error as "module: text". VISTREL_LOG (error, warning, info or
// debug) sets how much is written; by default everything down to info is.
// The last lines are also kept in memory so that a crash report can show
// what led up to it.
#pragma once

#include <QString>

namespace Log
{
enum class ELevel
{
    Error,
    Warning,
    Info,
    Debug
};

// Lines kept for WriteRecent, and the bytes of each (longer lines are cut).
constexpr int RECENT_LINES = 128;
constexpr int RECENT_LINE_BYTES = 256;

// pszModule is the short name of the part of the program that writes
// ("rtmp", "capture", ...); nullptr writes the text as it is.
void Write(ELevel eLevel, const char* pszModule, const QString& strText);

inline void Error(const char* pszModule, const QString& strText)
{
    Write(ELevel::Error, pszModule, strText);
}
inline void Warning(const char* pszModule, const QString& strText)
{
    Write(ELevel::Warning, pszModule, strText);
}
inline void Info(const char* pszModule, const QString& strText)
{
    Write(ELevel::Info, pszModule, strText);
}
inline void Debug(const char* pszModule, const QString& strText)
{
    Write(ELevel::Debug, pszModule, strText);
}

// Whether a line of this level would be written; lets a caller skip building
// an expensive text.
bool IsEnabled(ELevel eLevel);

// Reads VISTREL_LOG again (it is read on the first line otherwise). An unset
// or empty variable means info; an unknown word is reported and means info.
void ReadThreshold();

// "error", "warning", "info" or "debug", in any case.
bool ParseLevel(const QString& strText, ELevel& eLevel);

// Writes the newest nMaxLines kept lines (all kept ones by default), oldest
// first, to nFd. Async-signal-safe: only write(2) on storage that is never
// allocated or locked, so a crash handler may call it. A line being written
// by another thread at that moment may come out garbled.
void WriteRecent(int nFd, int nMaxLines = RECENT_LINES);
}
