// Names and display texts of what the output panel produces: the elapsed
// time of a session and the file names of recordings and snapshots.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>

// "hh:mm:ss"; the hours grow past two digits rather than wrap.
QString FormatElapsed(uint32_t nSeconds);

// "yyyy.MM.dd hh.mm.ss.mp4" in the translated pattern (the recording and the
// name the main window is told, also when only streaming).
QString MakeRecordFileName(const QDateTime& dtNow);

// "yyyy.MM.dd hh.mm.ss.jpg"; the pattern is not translated.
QString MakeSnapshotFileName(const QDateTime& dtNow);

// The first of MakeSnapshotFileName(dtNow), then the same name with " (2)",
// " (3)", ... before ".jpg", for which fnTaken is false, so that snapshots
// within one second do not overwrite each other. Empty when a thousand
// names are all taken.
QString MakeFreeSnapshotFileName(const QDateTime& dtNow, const std::function<bool(const QString&)>& fnTaken);

// Whether nFreeBytes hold nSeconds of video at nKbps (kilobits per second).
bool HasRoomForVideo(uint64_t nFreeBytes, int nKbps, int nSeconds);

// "Start error!", with strReason on a line of its own below it when the
// engine told why.
QString StartErrorText(const QString& strReason);
