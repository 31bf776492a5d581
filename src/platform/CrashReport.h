// A short report when the program crashes, written from the signal handler
// with async-signal-safe calls only: version, signal, time, a backtrace and
// the last diagnostic lines. Reports go to the user's state folder
// ($XDG_STATE_HOME/vistrel/crashes, by default ~/.local/state/vistrel/
// crashes), at most MAX_REPORTS of them; the next start tells the user once.
#pragma once

#include <QString>

namespace CrashReport
{
constexpr int MAX_REPORTS = 20;
// Diagnostic lines a report ends with.
constexpr int REPORT_LOG_LINES = 50;

QString GetFolder();

// Creates the folder, drops the oldest reports beyond what one more crash
// may add, and installs the handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL
// and SIGABRT. pszVersion is kept as given (a literal). False when the
// folder cannot be made; the handlers are then not installed.
bool Install(const char* pszVersion);

// The newest report that no earlier call has returned, or empty: a crash of
// a run since the last start. Each report is returned at most once.
QString TakeUnseenReport();
}
