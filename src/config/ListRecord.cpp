#include "config/ListRecord.h"

namespace ListRecord
{
QString ToText(const QVariant& vValue)
{
    if (vValue.type() == QVariant::StringList)
        return vValue.toStringList().join(QLatin1Char(','));
    return vValue.toString();
}

QStringList Split(const QVariant& vValue)
{
    return ToText(vValue).split(QLatin1Char(','), Qt::KeepEmptyParts, Qt::CaseSensitive);
}

int ToInt(const QString& strPart)
{
    bool bOk = false;
    const int nValue = strPart.trimmed().toInt(&bOk, 10);
    return bOk ? nValue : 0;
}

bool ReadInts(const QVariant& vValue, int nCount, std::vector<int>& anValues)
{
    const QStringList astrParts = Split(vValue);
    if (astrParts.size() != nCount)
        return false;
    anValues.clear();
    anValues.reserve(size_t(nCount));
    for (const QString& strPart : astrParts)
        anValues.push_back(ToInt(strPart));
    return true;
}

std::vector<int> ReadIntsOr(const QVariant& vValue, const std::vector<int>& anDefaults,
                            const std::function<bool(const std::vector<int>&)>& fnValid)
{
    std::vector<int> anValues;
    if (!ReadInts(vValue, int(anDefaults.size()), anValues) || (fnValid && !fnValid(anValues)))
        return anDefaults;
    return anValues;
}

QString JoinInts(const std::vector<int>& anValues, const QString& strSeparator)
{
    QStringList astrParts;
    for (int nValue : anValues)
        astrParts << QString::number(nValue);
    return astrParts.join(strSeparator);
}
}
