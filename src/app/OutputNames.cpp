#include "app/OutputNames.h"

#include <QCoreApplication>

QString FormatElapsed(uint32_t nSeconds)
{
    return QString::asprintf("%02u:%02u:%02u", nSeconds / 3600, nSeconds % 3600 / 60, nSeconds % 60);
}

QString MakeRecordFileName(const QDateTime& dtNow)
{
    return dtNow.toString(QCoreApplication::translate("CMainWnd", "yyyy.MM.dd hh.mm.ss")) +
           QCoreApplication::translate("CMainWnd", ".mp4");
}

QString MakeSnapshotFileName(const QDateTime& dtNow)
{
    return dtNow.toString(QStringLiteral("yyyy.MM.dd hh.mm.ss")) + QStringLiteral(".jpg");
}

QString MakeFreeSnapshotFileName(const QDateTime& dtNow, const std::function<bool(const QString&)>& fnTaken)
{
    QString strFirst = MakeSnapshotFileName(dtNow);
    if (!fnTaken(strFirst))
        return strFirst;
    const QString strStem = dtNow.toString(QStringLiteral("yyyy.MM.dd hh.mm.ss"));
    for (int nCopy = 2; nCopy <= 1000; ++nCopy)
    {
        QString strName = QStringLiteral("%1 (%2).jpg").arg(strStem).arg(nCopy);
        if (!fnTaken(strName))
            return strName;
    }
    return QString();
}

bool HasRoomForVideo(uint64_t nFreeBytes, int nKbps, int nSeconds)
{
    // Whole bytes per second, as the rate is configured; a rate that is not
    // positive needs no room (and must not be divided by).
    const int64_t nBytesPerSecond = int64_t(nKbps) * 1000 / 8;
    if (nBytesPerSecond <= 0 || nSeconds <= 0)
        return true;
    return nFreeBytes / uint64_t(nBytesPerSecond) >= uint64_t(nSeconds);
}

QString StartErrorText(const QString& strReason)
{
    const QString strMessage = QCoreApplication::translate("CMainWnd", "Start error!");
    return strReason.isEmpty() ? strMessage : strMessage + QLatin1Char('\n') + strReason;
}
