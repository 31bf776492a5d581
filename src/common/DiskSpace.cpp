#include "common/DiskSpace.h"

#include "platform/Platform.h"

uint64_t GetFreeDiskSpace(const QString& strPath)
{
    return Platform::GetFreeBytes(strPath);
}

bool IsFolderWritable(const QString& strFolder)
{
    return Platform::IsFolderWritable(strFolder);
}

EFinishRoom CheckRoomToFinish(const QString& strFolder, uint64_t nReserve)
{
    if (!IsFolderWritable(strFolder))
        return EFinishRoom::FolderUnusable;
    return GetFreeDiskSpace(strFolder) >= nReserve ? EFinishRoom::Enough : EFinishRoom::Short;
}

int64_t GetRecordSecondsLeft(uint64_t nFreeBytes, uint64_t nFinishReserve, uint64_t nBytesPerSecond)
{
    const int64_t nUnknown = 10000;
    if (nBytesPerSecond == 0)
        return nUnknown;
    if (nFreeBytes <= nFinishReserve)
        return 0;
    return int64_t((nFreeBytes - nFinishReserve) / nBytesPerSecond);
}
