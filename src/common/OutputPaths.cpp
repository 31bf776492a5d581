#include "common/OutputPaths.h"

#include "config/CSettings.h"
#include "platform/Platform.h"

#include <QDir>

QString GetExeDir()
{
    return Platform::GetExecutableDir();
}

QString MakeRecordFilePath(const QString& strRoot, const QString& strFileName)
{
    return QDir::toNativeSeparators(strRoot + QStringLiteral("/Video/") + strFileName);
}

QString MakeSnapshotFilePath(const QString& strRoot, const QString& strFileName)
{
    return QDir::toNativeSeparators(strRoot + QStringLiteral("/Snapshot/") + strFileName);
}

QString GetRecordFilePath(const QString& strFileName)
{
    return MakeRecordFilePath(g_settings.GetDataStorage(), strFileName);
}

QString GetSnapshotFilePath(const QString& strFileName)
{
    return MakeSnapshotFilePath(g_settings.GetDataStorage(), strFileName);
}
