// The free space and writability of the storage folder, and how much
// recording still fits in it.
#pragma once

#include <QString>

#include <cstdint>

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

// Whole seconds of recording that still fit: what is free beyond the bytes
// needed to finish the file, at nBytesPerSecond. 10000 while no rate is
// known yet, 0 when not even the file's end fits.
int64_t GetRecordSecondsLeft(uint64_t nFreeBytes, uint64_t nFinishReserve, uint64_t nBytesPerSecond);
