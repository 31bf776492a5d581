#include "Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <chrono>
#include <cstdio>
#include <cstring>

#include <pthread.h>

namespace Platform
{
void DebugOutput(const QString& strText)
{
    QByteArray baLine = strText.toLocal8Bit();
    if (!baLine.endsWith('\n'))
        baLine.append('\n');
    std::fwrite(baLine.constData(), 1, size_t(baLine.size()), stderr);
    std::fflush(stderr);
}

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

uint64_t GetFreeBytes(const QString& strPath)
{
    QStorageInfo storage(strPath);
    if (!storage.isValid() || !storage.isReady())
        return 0;
    const qint64 nFree = storage.bytesFree();
    return nFree > 0 ? uint64_t(nFree) : 0;
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
