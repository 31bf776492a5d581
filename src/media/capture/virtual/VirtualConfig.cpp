#include "media/capture/virtual/VirtualConfig.h"

#include <QRegularExpression>

namespace KVMedia
{
namespace
{
// A count, or -1 when the text is not a plain non-negative number.
int ParseCount(const QString& strText, bool* pbLooksNumeric)
{
    static const QRegularExpression s_re(QStringLiteral("^[+-]?\\d+$"));
    *pbLooksNumeric = s_re.match(strText).hasMatch();
    if (!*pbLooksNumeric)
        return -1;
    if (strText.startsWith(QLatin1Char('-')))
        return -1;
    bool bOk = false;
    const qulonglong ullValue = strText.toULongLong(&bOk);
    // A number too long to parse is simply too many.
    if (!bOk || ullValue > qulonglong(MAX_VIRTUAL_DEVICES))
        return MAX_VIRTUAL_DEVICES + 1;
    return int(ullValue);
}

int ClampCount(const QString& strText, const char* pszVariable, QStringList* pErrors)
{
    bool bNumeric = false;
    const int nCount = ParseCount(strText, &bNumeric);
    if (nCount < 0)
    {
        pErrors->append(QStringLiteral("%1: \"%2\" is not a device count").arg(QLatin1String(pszVariable), strText));
        return 0;
    }
    if (nCount > MAX_VIRTUAL_DEVICES)
    {
        pErrors->append(QStringLiteral("%1: at most %2 devices, using %2")
                            .arg(QLatin1String(pszVariable))
                            .arg(MAX_VIRTUAL_DEVICES));
        return MAX_VIRTUAL_DEVICES;
    }
    return nCount;
}

bool ParseEntry(const QString& strEntry, SVirtualVideoEntry* pEntry, QString* pstrWhy)
{
    const QStringList fields = strEntry.split(QLatin1Char('|'));
    if (fields.size() > 5)
    {
        *pstrWhy = QStringLiteral("too many fields");
        return false;
    }
    pEntry->strName = fields[0].trimmed();
    if (pEntry->strName.isEmpty())
    {
        *pstrWhy = QStringLiteral("empty name");
        return false;
    }
    if (fields.size() > 1 && !fields[1].trimmed().isEmpty())
    {
        bool bOk = false;
        pEntry->nFamily = fields[1].trimmed().toInt(&bOk);
        if (!bOk || pEntry->nFamily < 0)
        {
            *pstrWhy = QStringLiteral("family is not a number");
            return false;
        }
    }
    if (fields.size() > 2 && !fields[2].trimmed().isEmpty())
    {
        static const QRegularExpression s_reSize(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
        const QRegularExpressionMatch match = s_reSize.match(fields[2].trimmed());
        if (!match.hasMatch())
        {
            *pstrWhy = QStringLiteral("size is not WIDTHxHEIGHT");
            return false;
        }
        pEntry->nMaxWidth = match.captured(1).toInt();
        pEntry->nMaxHeight = match.captured(2).toInt();
        // Packed YUYV shares chroma between pixel pairs, so widths are even.
        if (pEntry->nMaxWidth < 2 || pEntry->nMaxWidth > MAX_VIRTUAL_SIZE || (pEntry->nMaxWidth & 1) ||
            pEntry->nMaxHeight < 2 || pEntry->nMaxHeight > MAX_VIRTUAL_SIZE)
        {
            *pstrWhy = QStringLiteral("size out of range (even width, 2..%1)").arg(MAX_VIRTUAL_SIZE);
            return false;
        }
    }
    if (fields.size() > 3)
        pEntry->baSerial = fields[3].trimmed().toLocal8Bit();
    if (fields.size() > 4)
    {
        const QString strSignal = fields[4].trimmed().toLower();
        if (strSignal == QLatin1String("nosignal"))
            pEntry->bNoSignal = true;
        else if (!strSignal.isEmpty() && strSignal != QLatin1String("signal"))
        {
            *pstrWhy = QStringLiteral("fifth field must be \"nosignal\" or \"signal\"");
            return false;
        }
    }
    return true;
}
}

std::vector<SVirtualVideoEntry> ParseVirtualVideoConfig(const QString& strValue, QStringList* pErrors)
{
    std::vector<SVirtualVideoEntry> vecEntries;
    QStringList listDummy;
    if (!pErrors)
        pErrors = &listDummy;
    const QString strText = strValue.trimmed();
    if (strText.isEmpty())
        return vecEntries;

    bool bNumeric = false;
    ParseCount(strText, &bNumeric);
    if (bNumeric)
    {
        const int nCount = ClampCount(strText, "VISTREL_VIRTUAL_VIDEO", pErrors);
        for (int i = 0; i < nCount; ++i)
        {
            SVirtualVideoEntry entry;
            entry.strName = QStringLiteral("Virtual Camera %1").arg(i + 1);
            vecEntries.push_back(entry);
        }
        return vecEntries;
    }

    for (const QString& strRaw : strText.split(QLatin1Char(';')))
    {
        const QString strEntry = strRaw.trimmed();
        if (strEntry.isEmpty())
            continue;
        if (int(vecEntries.size()) >= MAX_VIRTUAL_DEVICES)
        {
            pErrors->append(QStringLiteral("VISTREL_VIRTUAL_VIDEO: at most %1 devices, the rest is ignored")
                                .arg(MAX_VIRTUAL_DEVICES));
            break;
        }
        SVirtualVideoEntry entry;
        QString strWhy;
        if (ParseEntry(strEntry, &entry, &strWhy))
            vecEntries.push_back(entry);
        else
            pErrors->append(QStringLiteral("VISTREL_VIRTUAL_VIDEO: entry \"%1\" skipped: %2").arg(strEntry, strWhy));
    }
    return vecEntries;
}

int ParseVirtualAudioCount(const QString& strValue, QStringList* pErrors)
{
    QStringList listDummy;
    if (!pErrors)
        pErrors = &listDummy;
    const QString strText = strValue.trimmed();
    if (strText.isEmpty())
        return 0;
    return ClampCount(strText, "VISTREL_VIRTUAL_AUDIO", pErrors);
}
}
