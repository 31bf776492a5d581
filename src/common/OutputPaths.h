// Where the program's files are: the executable's folder, and the paths of
// the recordings and snapshots it produces.
#pragma once

#include <QString>

// Folder of the running executable, without a trailing separator.
QString GetExeDir();

// strRoot + "/Video/" + strFileName (and "/Snapshot/"), in native separators.
QString MakeRecordFilePath(const QString& strRoot, const QString& strFileName);
QString MakeSnapshotFilePath(const QString& strRoot, const QString& strFileName);

// The same below the storage folder of the settings (created when unset).
QString GetRecordFilePath(const QString& strFileName);
QString GetSnapshotFilePath(const QString& strFileName);
