#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <chrono>
#include <cstring>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform
{
uint32_t GetTickCount32()
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

QString GetExecutableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // Before the application object exists Qt cannot tell; the kernel can.
    const QFileInfo fi(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    return fi.absolutePath();
}

QStringList GetDataDirCandidates()
{
    const QString strExe = GetExecutableDir();
    return {strExe, QDir::cleanPath(strExe + QStringLiteral("/../share/vistrel"))};
}

QString GetDataDir()
{
    const QStringList astrDirs = GetDataDirCandidates();
    for (const QString& strDir : astrDirs)
    {
        if (QFileInfo(strDir + QStringLiteral("/vtlayout.ini")).isFile())
            return strDir;
    }
    return astrDirs.first();
}

uint64_t GetFreeBytes(const QString& strPath)
{
    QStorageInfo storage(strPath);
    if (!storage.isValid() || !storage.isReady())
        return 0;
    // What this user may fill: the blocks a file system keeps back for root
    // are no room for a recording (tens of GB on a large ext4 disk).
    const qint64 nFree = storage.bytesAvailable();
    return nFree > 0 ? uint64_t(nFree) : 0;
}

bool IsFolderWritable(const QString& strPath)
{
    const QByteArray baPath = QFile::encodeName(strPath);
    struct stat st
    {
    };
    if (baPath.isEmpty() || ::stat(baPath.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    // access() also answers for root, whom permission bits do not stop but a
    // read-only mount does.
    return ::access(baPath.constData(), W_OK | X_OK) == 0;
}

void SetThreadName(const char* pszName)
{
    if (!pszName)
        return;
    // The kernel refuses names longer than 15 characters instead of cutting them.
    char szName[16] = {};
    strncpy(szName, pszName, sizeof(szName) - 1);
    pthread_setname_np(pthread_self(), szName);
}
}
