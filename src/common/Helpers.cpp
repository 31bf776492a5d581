#include "common/Helpers.h"

#include "config/CSettings.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

QString FormatSize(qint64 nBytes)
{
    const double dBytes = double(nBytes);
    if (nBytes < 1024)
        return QString::asprintf("%lld B", static_cast<long long>(nBytes));
    if (nBytes < 1024LL * 1024)
        return QString::asprintf("%.2f KB", dBytes / 1024.0);
    if (nBytes < 1024LL * 1024 * 1024)
        return QString::asprintf("%.2f MB", dBytes / (1024.0 * 1024.0));
    return QString::asprintf("%.2f GB", dBytes / (1024.0 * 1024.0 * 1024.0));
}

QString FormatBitRate(float fBytesPerSecond)
{
    static const char* const s_aszUnits[] = {
        QT_TRANSLATE_NOOP("CCommon", "b/s"),
        QT_TRANSLATE_NOOP("CCommon", "Kb/s"),
        QT_TRANSLATE_NOOP("CCommon", "Mb/s"),
        QT_TRANSLATE_NOOP("CCommon", "Gb/s"),
    };
    const int nLastUnit = int(sizeof(s_aszUnits) / sizeof(s_aszUnits[0])) - 1;

    double dValue = double(fBytesPerSecond) * 8.0;
    int nUnit = 0;
    // Past the largest unit the number just grows; stepping on would read
    // beyond the table.
    while (dValue > 1024.0 && nUnit < nLastUnit)
    {
        dValue /= 1024.0;
        ++nUnit;
    }
    return QString::asprintf("%.2f ", dValue) + QCoreApplication::translate("CCommon", s_aszUnits[nUnit]);
}

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

QString GetExeDir()
{
    return Platform::GetExecutableDir();
}

// [0-9] rather than \d: \d also takes digits of other scripts, which would let
// text through that is no address or port at all.
bool IsValidIPAddress(const QString& strText)
{
    static const QRegularExpression s_re(
        QStringLiteral("\\A((2[0-4][0-9]|25[0-5]|[01]?[0-9][0-9]?)\\.){3}(2[0-4][0-9]|25[0-5]|[01]?[0-9][0-9]?)\\z"));
    return s_re.match(strText).hasMatch();
}

bool IsValidPort(const QString& strText)
{
    static const QRegularExpression s_re(QStringLiteral("\\A[0-9]+\\z"));
    if (!s_re.match(strText).hasMatch())
        return false;
    bool bOk = false;
    const int nPort = strText.toInt(&bOk, 10);
    return bOk && nPort >= 1 && nPort <= 65535;
}

bool IsValidStreamName(const QString& strText)
{
    static const QRegularExpression s_re(QStringLiteral("\\A[A-Za-z0-9_-]+\\z"));
    return s_re.match(strText).hasMatch();
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

QString GetRtmpFieldsError(const QString& strAddress, const QString& strPort, const QString& strStream)
{
    if (!IsValidIPAddress(strAddress))
        return GetRtmpFieldMessage(RTMP_FIELD_ADDRESS);
    if (!IsValidPort(strPort))
        return GetRtmpFieldMessage(RTMP_FIELD_PORT);
    if (!IsValidStreamName(strStream))
        return GetRtmpFieldMessage(RTMP_FIELD_STREAM);
    return QString();
}

QString GetRtmpFieldMessage(ERtmpField eField)
{
    switch (eField)
    {
    case RTMP_FIELD_ADDRESS:
        return QCoreApplication::translate("CVistrel", "RTMP IP address is invalid!");
    case RTMP_FIELD_PORT:
        return QCoreApplication::translate("CVistrel", "RTMP port is invalid!");
    case RTMP_FIELD_STREAM:
        break;
    }
    return QCoreApplication::translate("CVistrel",
                                       "RTMP stream name is invalid!\nOnly letter, number, '-' and '_' are supported!");
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

bool IsFrameRateLow(float fFrameRate, int nFrameDuration)
{
    if (nFrameDuration <= 0)
        return false;
    return double(fFrameRate) < 8000000.0 / double(nFrameDuration);
}
