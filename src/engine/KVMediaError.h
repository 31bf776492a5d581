// The media layer's failure reasons in the user's words, for the messages
// that say why a start or a connection test failed.
#pragma once

#include <QCoreApplication>
#include <QString>

class CKVMediaError
{
    Q_DECLARE_TR_FUNCTIONS(CKVMediaError)

public:
    enum
    {
        SOURCE_VIDEO_ENCODER,
        SOURCE_AUDIO_ENCODER,
        SOURCE_FILE,
        SOURCE_SERVER
    };

    // The reason the media layer left for this thread's last failure, told
    // for what failed (SOURCE_...). strSubject is the file's path for
    // SOURCE_FILE and the server's address for SOURCE_SERVER; strSettings
    // names the settings an encoder refused.
    static QString TakeLastText(int nSource, const QString& strSubject = QString(),
                                const QString& strSettings = QString());
    // The same for a code and its technical detail.
    static QString GetText(int nSource, int nCode, const QString& strDetail, const QString& strSubject,
                           const QString& strSettings);
};

// The server test of the Settings tab: TCP and the RTMP handshake within
// nTimeoutMs. On false, strReason says why in the user's words.
bool TestRtmpServer(const QString& strUrl, int nTimeoutMs, QString& strReason);
