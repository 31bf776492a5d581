#include "common/StreamFields.h"

#include <QCoreApplication>
#include <QRegularExpression>

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
