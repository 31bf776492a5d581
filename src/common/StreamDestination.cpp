#include "common/StreamDestination.h"

#include "common/StreamFields.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QUrl>

namespace
{
// SRT's own bounds for a passphrase.
const int s_nMinPassphrase = 10;
const int s_nMaxPassphrase = 79;

QString SchemeOf(const QString& strServer)
{
    return strServer.left(strServer.indexOf(QStringLiteral("://"))).toLower();
}

// Spaces would be cut by the client, and "," cannot be stored in the
// record older builds read.
bool IsPlainText(const QString& strText)
{
    static const QRegularExpression s_re(QStringLiteral("[\\s,]"));
    return !strText.contains(s_re);
}

// The passphrase goes into the URL unescaped, as the SRT library reads it:
// only what cannot end or split the option is refused.
bool IsValidPassphrase(const QString& strText)
{
    static const QRegularExpression s_re(QStringLiteral("\\A[\\x21-\\x7e]+\\z"));
    return strText.size() >= s_nMinPassphrase && strText.size() <= s_nMaxPassphrase && s_re.match(strText).hasMatch() &&
           !strText.contains(QLatin1Char('&')) && !strText.contains(QLatin1Char('#')) &&
           !strText.contains(QLatin1Char(','));
}

QString ServerUrlError(const SStreamDestination& destination)
{
    const QString strScheme = SchemeOf(destination.strServer);
    if (strScheme != QLatin1String("rtmp") && strScheme != QLatin1String("rtmps") && strScheme != QLatin1String("srt"))
        return QCoreApplication::translate("CVistrel", "The server URL must begin with rtmp://, rtmps:// or srt://.");
    const QUrl url(destination.strServer, QUrl::StrictMode);
    if (!IsPlainText(destination.strServer) || !url.isValid() || url.host().isEmpty() || url.port() == 0)
        return QCoreApplication::translate("CVistrel", "The server URL is invalid.");
    if (!IsPlainText(destination.strKey))
        return QCoreApplication::translate("CVistrel", "The stream key cannot contain spaces or ','.");
    if (strScheme == QLatin1String("srt"))
    {
        if (url.port() < 0)
            return QCoreApplication::translate("CVistrel", "An SRT server URL needs a port, as in srt://host:port.");
        if (!destination.strSrtPassphrase.isEmpty() && !IsValidPassphrase(destination.strSrtPassphrase))
            return QCoreApplication::translate(
                "CVistrel", "The SRT passphrase must be 10 to 79 characters, without spaces, '&', '#' or ','.");
        return QString();
    }
    // The server's application and the key name the stream between them.
    const QStringList astrPath = url.path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (astrPath.isEmpty())
        return QCoreApplication::translate("CVistrel", "The server URL needs an application, as in rtmp://host/app.");
    if (destination.strKey.isEmpty() && astrPath.size() < 2)
        return QCoreApplication::translate("CVistrel", "The stream key is empty.");
    return QString();
}
}

bool IsStreamServerUrl(const QString& strServer)
{
    return strServer.contains(QStringLiteral("://"));
}

bool IsSrtServerUrl(const QString& strServer)
{
    return IsStreamServerUrl(strServer) && SchemeOf(strServer) == QLatin1String("srt");
}

QString ComposeStreamUrl(const SStreamDestination& destination)
{
    if (!IsStreamServerUrl(destination.strServer))
        return QStringLiteral("rtmp://") + destination.strServer + QLatin1Char(':') + destination.strPort +
               QStringLiteral("/live/") + destination.strKey;
    if (!IsSrtServerUrl(destination.strServer))
    {
        QString strUrl = destination.strServer;
        while (strUrl.endsWith(QLatin1Char('/')))
            strUrl.chop(1);
        return destination.strKey.isEmpty() ? strUrl : strUrl + QLatin1Char('/') + destination.strKey;
    }
    QStringList astrOptions;
    // The stream id is decoded by the receiving side of the URL parser; its
    // usual form ("#!::r=...,m=publish") holds characters that must be
    // escaped.
    if (!destination.strKey.isEmpty())
        astrOptions << QStringLiteral("streamid=") + QString::fromLatin1(QUrl::toPercentEncoding(destination.strKey));
    // The URL takes microseconds.
    if (destination.nSrtLatencyMs > 0)
        astrOptions << QStringLiteral("latency=%1").arg(qint64(destination.nSrtLatencyMs) * 1000);
    if (!destination.strSrtPassphrase.isEmpty())
        astrOptions << QStringLiteral("passphrase=") + destination.strSrtPassphrase;
    if (astrOptions.isEmpty())
        return destination.strServer;
    const QChar chJoin = destination.strServer.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?');
    return destination.strServer + chJoin + astrOptions.join(QLatin1Char('&'));
}

QString GetStreamDestinationError(const SStreamDestination& destination)
{
    if (!IsStreamServerUrl(destination.strServer))
        return GetRtmpFieldsError(destination.strServer, destination.strPort, destination.strKey);
    return ServerUrlError(destination);
}

QString GetStreamDestinationName(const SStreamDestination& destination, int nIndex)
{
    const QString strName = destination.strName.trimmed();
    return strName.isEmpty() ? QCoreApplication::translate("CVistrel", "Stream %1").arg(nIndex + 1) : strName;
}

namespace
{
SStreamDestination ReadStreamDestination(int nIndex)
{
    SStreamDestination destination = g_settings.GetStreamDestination(nIndex);
    // Any push flag but "off" streams the first destination, as it always
    // did; only "on" ticks its box.
    if (nIndex == 0)
        destination.bEnabled = g_settings.GetRtmpServerRecord().IsPushEnabled();
    return destination;
}
}

std::vector<SStreamTarget> GetEnabledStreamTargets()
{
    std::vector<SStreamTarget> vecTargets;
    for (int i = 0; i < CSettings::STREAM_DESTINATION_COUNT; ++i)
    {
        const SStreamDestination destination = ReadStreamDestination(i);
        if (!destination.bEnabled)
            continue;
        // The first destination's stored address is the one older builds
        // stream to; a record that lost it is composed afresh.
        const QString strUrl =
            i == 0 && !destination.strUrl.isEmpty() ? destination.strUrl : ComposeStreamUrl(destination);
        vecTargets.push_back({GetStreamDestinationName(destination, i), strUrl});
    }
    return vecTargets;
}

QString GetEnabledStreamDestinationsError()
{
    for (int i = 0; i < CSettings::STREAM_DESTINATION_COUNT; ++i)
    {
        const SStreamDestination destination = ReadStreamDestination(i);
        if (!destination.bEnabled)
            continue;
        const QString strError = GetStreamDestinationError(destination);
        if (strError.isEmpty())
            continue;
        // The first destination's messages read as they always did.
        return i == 0 ? strError
                      : QCoreApplication::translate("CVistrel", "%1: %2")
                            .arg(GetStreamDestinationName(destination, i), strError);
    }
    return QString();
}
