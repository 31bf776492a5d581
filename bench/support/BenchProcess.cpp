#include "BenchProcess.h"

#include <QByteArray>
#include <QDir>
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
