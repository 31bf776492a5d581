#include "media/KVStreamKey.h"

#include <QRegularExpression>

namespace
{
const QString s_strMask = QStringLiteral("...");
}

QString MaskStreamKey(const QString& strUrl)
{
    if (strUrl.isEmpty())
        return strUrl;
    const int nScheme = strUrl.indexOf(QStringLiteral("://"));
    // Without a scheme there is no telling which part is the key.
    if (nScheme <= 0)
        return s_strMask;
    // "user:password@host": the password goes as well.
    int nAuthorityEnd = strUrl.indexOf(QRegularExpression(QStringLiteral("[/?]")), nScheme + 3);
    if (nAuthorityEnd < 0)
        nAuthorityEnd = strUrl.size();
    const int nAt = strUrl.lastIndexOf(QLatin1Char('@'), nAuthorityEnd - 1);
    const int nColon = strUrl.indexOf(QLatin1Char(':'), nScheme + 3);
    if (nAt > nScheme && nColon >= 0 && nColon < nAt && strUrl.mid(nColon + 1, nAt - nColon - 1) != s_strMask)
        return MaskStreamKey(strUrl.left(nColon + 1) + s_strMask + strUrl.mid(nAt));
    const int nPathStart = strUrl.indexOf(QLatin1Char('/'), nScheme + 3);
    const int nQuery = strUrl.indexOf(QLatin1Char('?'), nScheme + 3);
    // A query may carry the key as well ("?streamid=...", "?key=...").
    const int nEnd = nQuery >= 0 ? nQuery : strUrl.size();
    if (nPathStart < 0 || nPathStart > nEnd)
        return nQuery >= 0 ? strUrl.left(nQuery + 1) + s_strMask : strUrl;
    QString strPath = strUrl.mid(nPathStart + 1, nEnd - nPathStart - 1);
    while (strPath.endsWith(QLatin1Char('/')))
        strPath.chop(1);
    const int nLastSlash = strPath.lastIndexOf(QLatin1Char('/'));
    // The application alone: nothing in the path is secret.
    if (nLastSlash < 0)
        return nQuery >= 0 ? strUrl.left(nQuery + 1) + s_strMask : strUrl;
    return strUrl.left(nPathStart + 1) + strPath.left(nLastSlash + 1) + s_strMask;
}
