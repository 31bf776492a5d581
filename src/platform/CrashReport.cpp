#include "platform/CrashReport.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace
{
const int s_anSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
const int s_nMaxFrames = 64;
const char* const s_pszSeenFile = "last-seen";

// Everything the handler needs is made before any crash: it must not
// allocate.
char s_acFolder[1024];
const char* s_pszVersion = "";
// A stack of its own, so that a stack overflow can still be reported.
alignas(16) char s_acAltStack[64 * 1024];

void WriteText(int nFd, const char* pszText)
{
    size_t nLeft = std::strlen(pszText);
    while (nLeft > 0)
    {
        const ssize_t nWritten = write(nFd, pszText, nLeft);
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten <= 0)
            return;
        pszText += nWritten;
        nLeft -= size_t(nWritten);
    }
}

// Decimal digits of nValue, zero-padded to nWidth, into pszOut (no
// terminator); returns the end.
char* PutNumber(char* pszOut, unsigned long long nValue, int nWidth)
{
    char acDigits[24];
    int nCount = 0;
    do
    {
        acDigits[nCount++] = char('0' + nValue % 10);
        nValue /= 10;
    } while (nValue > 0 && nCount < 24);
    while (nCount < nWidth && nCount < 24)
        acDigits[nCount++] = '0';
    while (nCount > 0)
        *pszOut++ = acDigits[--nCount];
    return pszOut;
}

// "YYYY-MM-DD HH:MM:SS" in UTC from seconds since 1970, without the C
// library's time functions, which may lock.
char* PutUtcTime(char* pszOut, long long nSeconds)
{
    long long nDays = nSeconds / 86400;
    const long long nOfDay = nSeconds % 86400;
    // Civil date from days (proleptic Gregorian).
    nDays += 719468;
    const long long nEra = nDays / 146097;
    const long long nDoe = nDays - nEra * 146097;
    const long long nYoe = (nDoe - nDoe / 1460 + nDoe / 36524 - nDoe / 146096) / 365;
    const long long nDoy = nDoe - (365 * nYoe + nYoe / 4 - nYoe / 100);
    const long long nMp = (5 * nDoy + 2) / 153;
    const long long nDay = nDoy - (153 * nMp + 2) / 5 + 1;
    const long long nMonth = nMp < 10 ? nMp + 3 : nMp - 9;
    const long long nYear = nYoe + nEra * 400 + (nMonth <= 2 ? 1 : 0);
    pszOut = PutNumber(pszOut, (unsigned long long)nYear, 4);
    *pszOut++ = '-';
    pszOut = PutNumber(pszOut, (unsigned long long)nMonth, 2);
    *pszOut++ = '-';
    pszOut = PutNumber(pszOut, (unsigned long long)nDay, 2);
    *pszOut++ = ' ';
    pszOut = PutNumber(pszOut, (unsigned long long)(nOfDay / 3600), 2);
    *pszOut++ = ':';
    pszOut = PutNumber(pszOut, (unsigned long long)(nOfDay / 60 % 60), 2);
    *pszOut++ = ':';
    return PutNumber(pszOut, (unsigned long long)(nOfDay % 60), 2);
}

const char* SignalName(int nSignal)
{
    switch (nSignal)
    {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

void WriteReport(int nSignal)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    // "<folder>/crash-<seconds>-<pid>.txt": names sort by time.
    char acPath[sizeof(s_acFolder) + 64];
    char* pszEnd = acPath;
    for (const char* pszFolder = s_acFolder; *pszFolder != '\0'; ++pszFolder)
        *pszEnd++ = *pszFolder;
    const char acPrefix[] = "/crash-";
    std::memcpy(pszEnd, acPrefix, sizeof(acPrefix) - 1);
    pszEnd += sizeof(acPrefix) - 1;
    pszEnd = PutNumber(pszEnd, (unsigned long long)now.tv_sec, 10);
    *pszEnd++ = '-';
    pszEnd = PutNumber(pszEnd, (unsigned long long)getpid(), 1);
    std::memcpy(pszEnd, ".txt", 5);
    const int nFd = open(acPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (nFd < 0)
        return;

    char acLine[160];
    char* pszLine = acLine;
    const char acHead[] = "Vistrel ";
    std::memcpy(pszLine, acHead, sizeof(acHead) - 1);
    pszLine += sizeof(acHead) - 1;
    *pszLine = '\0';
    WriteText(nFd, acLine);
    WriteText(nFd, s_pszVersion);
    WriteText(nFd, " crashed: ");
    WriteText(nFd, SignalName(nSignal));
    pszLine = acLine;
    *pszLine++ = ' ';
    *pszLine++ = '(';
    pszLine = PutNumber(pszLine, (unsigned long long)nSignal, 1);
    *pszLine++ = ')';
    *pszLine++ = '\n';
    *pszLine = '\0';
    WriteText(nFd, acLine);
    pszLine = acLine;
    const char acTime[] = "time: ";
    std::memcpy(pszLine, acTime, sizeof(acTime) - 1);
    pszLine = PutUtcTime(pszLine + sizeof(acTime) - 1, (long long)now.tv_sec);
    std::memcpy(pszLine, " UTC\n", 6);
    WriteText(nFd, acLine);

    WriteText(nFd, "\nbacktrace:\n");
    void* apFrames[s_nMaxFrames];
    const int nFrames = backtrace(apFrames, s_nMaxFrames);
    backtrace_symbols_fd(apFrames, nFrames, nFd);

    WriteText(nFd, "\nlast diagnostics:\n");
    Log::WriteRecent(nFd, CrashReport::REPORT_LOG_LINES);
    close(nFd);
}

void OnCrashSignal(int nSignal)
{
    WriteReport(nSignal);
    // The default action then ends the process as the signal would have:
    // the exit status and a core file tell the same story.
    signal(nSignal, SIG_DFL);
    raise(nSignal);
}

QStringList ReportNames(const QDir& dir)
{
    return dir.entryList({QStringLiteral("crash-*.txt")}, QDir::Files, QDir::Name);
}
}

namespace CrashReport
{
QString GetFolder()
{
    QString strState = qEnvironmentVariable("XDG_STATE_HOME");
    if (strState.isEmpty() || !QDir::isAbsolutePath(strState))
        strState = QDir::homePath() + QStringLiteral("/.local/state");
    return strState + QStringLiteral("/vistrel/crashes");
}

bool Install(const char* pszVersion)
{
    const QString strFolder = GetFolder();
    const QByteArray baFolder = QFile::encodeName(strFolder);
    if (!QDir().mkpath(strFolder) || baFolder.size() >= int(sizeof(s_acFolder)))
    {
        Log::Warning("app", QStringLiteral("crash reports cannot be kept in %1").arg(strFolder));
        return false;
    }
    // Room for the next report.
    const QDir dir(strFolder);
    QStringList astrReports = ReportNames(dir);
    while (astrReports.size() >= MAX_REPORTS)
        QFile::remove(dir.filePath(astrReports.takeFirst()));

    std::memcpy(s_acFolder, baFolder.constData(), size_t(baFolder.size()) + 1);
    s_pszVersion = pszVersion ? pszVersion : "";
    // The first backtrace loads the unwinder, which allocates: done now.
    void* apFrames[4];
    backtrace(apFrames, 4);

    stack_t stack{};
    stack.ss_sp = s_acAltStack;
    stack.ss_size = sizeof(s_acAltStack);
    sigaltstack(&stack, nullptr);
    struct sigaction action
    {
    };
    action.sa_handler = OnCrashSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    for (int nSignal : s_anSignals)
        sigaction(nSignal, &action, nullptr);
    return true;
}

QString TakeUnseenReport()
{
    const QDir dir(GetFolder());
    const QStringList astrReports = ReportNames(dir);
    if (astrReports.isEmpty())
        return QString();
    QFile fileSeen(dir.filePath(QLatin1String(s_pszSeenFile)));
    QString strSeen;
    if (fileSeen.open(QIODevice::ReadOnly))
        strSeen = QString::fromUtf8(fileSeen.readAll()).trimmed();
    fileSeen.close();
    const QString& strNewest = astrReports.last();
    if (strNewest <= strSeen)
        return QString();
    if (fileSeen.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fileSeen.write(strNewest.toUtf8());
    return dir.filePath(strNewest);
}
}
