// Loopback servers for the rtmps and srt destinations: a TLS terminator in
// front of a plain RTMP port, with an authority of the test's own, and an
// SRT listener that keeps what it receives.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// True when the program is on the PATH.
bool HasTool(const QString& strName);

// stunnel on a free loopback port, passing TLS connections on to a plain
// port, with a server certificate for 127.0.0.1 signed by an authority made
// for the occasion.
class CTlsTerminator
{
public:
    ~CTlsTerminator();
    bool Start(int nBackendPort);
    int GetPort() const { return m_nPort; }
    QString GetCaFile() const { return m_dir.filePath(QStringLiteral("ca.crt")); }
    QString GetLog() const;

private:
    bool RunOpenssl(const QStringList& listArgs);
    bool MakeCertificates();

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nPort = 0;
};

// srt-live-transmit listening on a free loopback UDP port, writing the
// MPEG-TS it receives to a file.
class CSrtListener
{
public:
    ~CSrtListener();
    // On a free port unless given one.
    bool Start(int nPort = 0);
    // Ends the listener; what it received stays in the file.
    void Stop();
    int GetPort() const { return m_nPort; }
    QString GetReceivedFile() const { return m_dir.filePath(QStringLiteral("received.ts")); }
    QString GetLog() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_nPort = 0;
};

// A UDP port nothing listens on (bound, taken, released).
int GetFreeUdpPort();
