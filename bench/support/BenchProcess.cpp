#include "BenchProcess.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include <sys/resource.h>
#include <unistd.h>

namespace
{
const char* const CHILD_VARIABLE = "VISTREL_BENCH_CONFIG_DIR";
}

double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-3;
}

QMap<int, SThreadCpu> ThreadCpuMs()
{
    QMap<int, SThreadCpu> mapThreads;
    const QDir dirTasks(QStringLiteral("/proc/self/task"));
    for (const QString& strTid : dirTasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
    {
        QFile fileName(dirTasks.filePath(strTid + QStringLiteral("/comm")));
        QFile fileTime(dirTasks.filePath(strTid + QStringLiteral("/schedstat")));
        // The scheduler's own account, in nanoseconds: the clock ticks of
        // the stat file are too coarse for a few milliseconds a frame.
        if (!fileName.open(QIODevice::ReadOnly) || !fileTime.open(QIODevice::ReadOnly))
            continue;
        SThreadCpu thread;
        // The main thread is named after the executable; it is the user
        // interface's.
        thread.strName =
            strTid.toInt() == int(getpid()) ? QStringLiteral("main") : QString::fromUtf8(fileName.readAll()).trimmed();
        thread.dMs = fileTime.readAll().split(' ').value(0).toDouble() / 1e6;
        mapThreads.insert(strTid.toInt(), thread);
    }
    return mapThreads;
}

QMap<QString, double> ThreadCpuSpent(const QMap<int, SThreadCpu>& mapBefore, const QMap<int, SThreadCpu>& mapAfter)
{
    QMap<QString, double> mapSpent;
    for (auto it = mapAfter.cbegin(); it != mapAfter.cend(); ++it)
        mapSpent[it->strName] += it->dMs - mapBefore.value(it.key()).dMs;
    return mapSpent;
}

const char* PrivateConfigDir()
{
    return std::getenv(CHILD_VARIABLE);
}

void RestartWithPrivateConfig(char** argv, const char* pszName)
{
    QByteArray baTemplate =
        QDir(QDir::tempPath()).filePath(QStringLiteral("%1_config.XXXXXX").arg(QLatin1String(pszName))).toLocal8Bit();
    const char* pszDir = mkdtemp(baTemplate.data());
    if (!pszDir)
        return;
    setenv("XDG_CONFIG_HOME", pszDir, 1);
    setenv(CHILD_VARIABLE, pszDir, 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "%s: cannot start again: ", pszName);
    std::perror(nullptr);
    rmdir(pszDir);
}
