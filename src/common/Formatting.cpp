#include "common/Formatting.h"

#include <QCoreApplication>

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

bool IsFrameRateLow(float fFrameRate, int nFrameDuration)
{
    if (nFrameDuration <= 0)
        return false;
    return double(fFrameRate) < 8000000.0 / double(nFrameDuration);
}
