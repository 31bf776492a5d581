// Small stateless helpers shared by the main window, the output panel and the
// Settings tab: display texts for sizes and rates, the free space of a
// folder, checks of the RTMP fields and the paths of produced files.
#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>

// "512 B", "1.50 KB", "3.20 MB", "2048.00 GB" (multiples of 1024).
QString FormatSize(qint64 nBytes);

// Rate in bytes per second shown in bits: "1024.00 b/s", "3.51 Mb/s".
QString FormatBitRate(float fBytesPerSecond);

// Free bytes of the file system holding strPath that the user may fill; 0
// when it cannot be asked (a folder that is gone, too).
uint64_t GetFreeDiskSpace(const QString& strPath);

// True when strFolder exists and files can be made in it.
bool IsFolderWritable(const QString& strFolder);

// Whether a stopped recording in strFolder can be finished: its index needs
// nReserve more bytes. A folder that is gone or cannot be written is told
// apart from a full disk, since no freeing of space will help it.
enum class EFinishRoom
{
    Enough,
    Short,
    FolderUnusable
};
EFinishRoom CheckRoomToFinish(const QString& strFolder, uint64_t nReserve);

// Folder of the running executable, without a trailing separator.
QString GetExeDir();

// Four dot-separated decimal numbers 0..255; no host names.
bool IsValidIPAddress(const QString& strText);
// Decimal digits only, read as a number from 1 to 65535.
bool IsValidPort(const QString& strText);
// One or more of A-Z, a-z, 0-9, '-' and '_'.
bool IsValidStreamName(const QString& strText);
// Empty when address, port and stream name pass the three checks above,
// else the message for the first that fails.
QString GetRtmpFieldsError(const QString& strAddress, const QString& strPort, const QString& strStream);
// The message the check of one field shows when it fails.
enum ERtmpField
{
    RTMP_FIELD_ADDRESS,
    RTMP_FIELD_PORT,
    RTMP_FIELD_STREAM
};
QString GetRtmpFieldMessage(ERtmpField eField);

// strRoot + "/Video/" + strFileName (and "/Snapshot/"), in native separators.
QString MakeRecordFilePath(const QString& strRoot, const QString& strFileName);
QString MakeSnapshotFilePath(const QString& strRoot, const QString& strFileName);

// The same below the storage folder of the settings (created when unset).
QString GetRecordFilePath(const QString& strFileName);
QString GetSnapshotFilePath(const QString& strFileName);

// Whole seconds of recording that still fit: what is free beyond the bytes
// needed to finish the file, at nBytesPerSecond. 10000 while no rate is
// known yet, 0 when not even the file's end fits.
int64_t GetRecordSecondsLeft(uint64_t nFreeBytes, uint64_t nFinishReserve, uint64_t nBytesPerSecond);

// True when fFrameRate is below 80 % of the rate nFrameDuration (100 ns units) stands for.
bool IsFrameRateLow(float fFrameRate, int nFrameDuration);
