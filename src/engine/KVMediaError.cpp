#include "engine/KVMediaError.h"

#include "engine/CAutoConvertString.h"
#include "media/KVError.h"
#include "media/KVProtocol.h"
#include "media/KVStreamKey.h"

#include <QFileInfo>

QString CKVMediaError::TakeLastText(int nSource, const QString& strSubject, const QString& strSettings)
{
    char szDetail[256] = {};
    const int nCode = KVS_GetLastError(szDetail, sizeof(szDetail));
    KVS_ClearLastError();
    return GetText(nSource, nCode, QString::fromUtf8(szDetail), strSubject, strSettings);
}

QString CKVMediaError::GetText(int nSource, int nCode, const QString& strDetail, const QString& strSubject,
                               const QString& strSettings)
{
    // Reasons that read the same whatever failed.
    if (nCode == KVS_ERROR_OUT_OF_MEMORY)
        return tr("The computer has run out of memory.");

    switch (nSource)
    {
    case SOURCE_VIDEO_ENCODER:
        if (nCode == KVS_ERROR_UNSUPPORTED)
            return tr("The video encoder does not accept these settings: %1.").arg(strSettings);
        if (nCode == KVS_ERROR_NO_CODEC)
            return tr("No video encoder is installed.");
        return tr("The video encoder could not be started.");
    case SOURCE_AUDIO_ENCODER:
        if (nCode == KVS_ERROR_UNSUPPORTED)
            return tr("The audio encoder does not accept these settings: %1.").arg(strSettings);
        if (nCode == KVS_ERROR_NO_CODEC)
            return tr("No audio encoder is installed.");
        return tr("The audio encoder could not be started.");
    case SOURCE_FILE:
    {
        const QString strFolder = QFileInfo(strSubject).absolutePath();
        switch (nCode)
        {
        case KVS_ERROR_FILE_ACCESS:
            return tr("The folder %1 may not be written to.").arg(strFolder);
        case KVS_ERROR_FILE_NO_FOLDER:
            return tr("The folder %1 does not exist.").arg(strFolder);
        case KVS_ERROR_DISK_FULL:
            return tr("The disk is full.");
        case KVS_ERROR_FILE_OTHER:
            if (!strDetail.isEmpty())
                return tr("The file %1 could not be created: %2.").arg(strSubject, strDetail);
            break;
        default:
            break;
        }
        return tr("The file %1 could not be created.").arg(strSubject);
    }
    case SOURCE_SERVER:
        switch (nCode)
        {
        case KVS_ERROR_BAD_ADDRESS:
            return tr("The address %1 is not a valid RTMP address.").arg(strSubject);
        case KVS_ERROR_HOST_NOT_FOUND:
            return tr("The server name %1 is not known.").arg(strDetail.isEmpty() ? strSubject : strDetail);
        case KVS_ERROR_REFUSED:
            return tr("The server refused the connection: nothing is listening on that port.");
        case KVS_ERROR_TIMEOUT:
            return tr("The server did not answer in time.");
        case KVS_ERROR_NOT_RTMP:
            return tr("The server answered, but it is not an RTMP server.");
        case KVS_ERROR_CERTIFICATE:
            return tr("The server's certificate is not trusted: it is not signed by a known certificate authority, "
                      "or it was made for another server.");
        case KVS_ERROR_NOT_TLS:
            return tr("The server answered, but not with an encrypted (TLS) connection. Check the port, or use "
                      "rtmp:// instead of rtmps://.");
        case KVS_ERROR_NETWORK:
            if (!strDetail.isEmpty())
                return tr("The network failed: %1.").arg(strDetail);
            break;
        default:
            break;
        }
        return tr("The server could not be reached.");
    default:
        return QString();
    }
}

bool TestRtmpServer(const QString& strUrl, int nTimeoutMs, QString& strReason)
{
    CAutoConvertString convUrl(strUrl);
    const char* pszUrl = convUrl.GetString();
    if (!pszUrl)
    {
        strReason = CKVMediaError::GetText(CKVMediaError::SOURCE_SERVER, KVS_ERROR_BAD_ADDRESS, QString(),
                                           MaskStreamKey(strUrl), QString());
        return false;
    }
    KVS_ClearLastError();
    if (KPL_TestConnect(pszUrl, nTimeoutMs) != 0)
        return true;
    // The message may end up in a log; the key must not.
    strReason = CKVMediaError::TakeLastText(CKVMediaError::SOURCE_SERVER, MaskStreamKey(strUrl));
    return false;
}
