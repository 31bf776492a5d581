#include "ProtocolTestUtil.h"

#include "RtmpTestUtil.h"

#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

namespace
{
bool WriteFile(const QString& strPath, const QByteArray& baText)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(baText) == baText.size();
}

// Waits, without a deadline of its own beyond the tool's start-up, for the
// port to take connections.
bool WaitForTcpPort(int nPort, const QProcess& process)
{
    for (int nTry = 0; nTry < 300 && process.state() != QProcess::NotRunning; ++nTry)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(nPort));
        if (socket.waitForConnected(1000))
            return true;
        QThread::msleep(100);
    }
    return false;
}

// Rows of /proc/net/udp: "sl local_address rem_address ..." with
// "hexaddr:hexport".
bool IsUdpPortBound(int nPort)
{
    QFile file(QStringLiteral("/proc/net/udp"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray baPort = ":" + QByteArray::number(nPort, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& baLine : file.readAll().split('\n'))
    {
        const QList<QByteArray> listFields = baLine.simplified().split(' ');
        if (listFields.size() > 2 && listFields[1].endsWith(baPort))
            return true;
    }
    return false;
}

void EndProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000))
    {
        process.kill();
        process.waitForFinished(10000);
    }
}
}

bool HasTool(const QString& strName)
{
    return !QStandardPaths::findExecutable(strName).isEmpty();
}

int GetFreeUdpPort()
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    return socket.localPort();
}

CTlsTerminator::~CTlsTerminator()
{
    EndProcess(m_process);
}

bool CTlsTerminator::RunOpenssl(const QStringList& listArgs)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("openssl"), listArgs);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool CTlsTerminator::MakeCertificates()
{
    // Everything the certificates need is in this file, so the system's
    // openssl configuration adds nothing.
    const QByteArray baConfig = "[req]\n"
                                "distinguished_name = dn\n"
                                "prompt = no\n"
                                "[dn]\n"
                                "CN = Loopback test authority\n"
                                "[server_dn]\n"
                                "CN = 127.0.0.1\n"
                                "[server_req]\n"
                                "distinguished_name = server_dn\n"
                                "prompt = no\n"
                                "[ca_ext]\n"
                                "basicConstraints = critical,CA:TRUE\n"
                                "keyUsage = critical,keyCertSign,cRLSign\n"
                                "subjectKeyIdentifier = hash\n"
                                "[server_ext]\n"
                                "basicConstraints = CA:FALSE\n"
                                "keyUsage = critical,digitalSignature,keyEncipherment\n"
                                "extendedKeyUsage = serverAuth\n"
                                "subjectAltName = IP:127.0.0.1\n"
                                "authorityKeyIdentifier = keyid\n";
    const QByteArray baServer = "[req]\n"
                                "distinguished_name = dn\n"
                                "prompt = no\n"
                                "[dn]\n"
                                "CN = 127.0.0.1\n";
    const QStringList listKey{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                              QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    return WriteFile(m_dir.filePath(QStringLiteral("ca.cnf")), baConfig) &&
           WriteFile(m_dir.filePath(QStringLiteral("server.cnf")), baServer) &&
           RunOpenssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-config"),
                                  QStringLiteral("ca.cnf"), QStringLiteral("-extensions"), QStringLiteral("ca_ext"),
                                  QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-keyout"),
                                  QStringLiteral("ca.key"), QStringLiteral("-out"), QStringLiteral("ca.crt")} +
                      listKey) &&
           RunOpenssl(QStringList{QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-config"),
                                  QStringLiteral("server.cnf"), QStringLiteral("-keyout"), QStringLiteral("server.key"),
                                  QStringLiteral("-out"), QStringLiteral("server.csr")} +
                      listKey) &&
           RunOpenssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                       QStringLiteral("server.csr"), QStringLiteral("-CA"), QStringLiteral("ca.crt"),
                       QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
                       QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                       QStringLiteral("ca.cnf"), QStringLiteral("-extensions"), QStringLiteral("server_ext"),
                       QStringLiteral("-out"), QStringLiteral("server.crt")});
}

bool CTlsTerminator::Start(int nBackendPort)
{
    if (!m_dir.isValid() || !MakeCertificates())
        return false;
    // Another process may take the port between our probe and the bind.
    for (int nTry = 0; nTry < 5; ++nTry)
    {
        m_nPort = GetFreePort();
        const QByteArray baConfig =
            QStringLiteral("foreground = yes\n"
                           "pid =\n"
                           "debug = 5\n"
                           "output = %1\n"
                           "[rtmps]\n"
                           "accept = 127.0.0.1:%2\n"
                           "connect = 127.0.0.1:%3\n"
                           "cert = %4\n"
                           "key = %5\n")
                .arg(m_dir.filePath(QStringLiteral("stunnel.log")))
                .arg(m_nPort)
                .arg(nBackendPort)
                .arg(m_dir.filePath(QStringLiteral("server.crt")), m_dir.filePath(QStringLiteral("server.key")))
                .toUtf8();
        const QString strConfig = m_dir.filePath(QStringLiteral("stunnel.conf"));
        if (m_nPort <= 0 || !WriteFile(strConfig, baConfig))
            return false;
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral("stunnel4"), {strConfig});
        if (m_process.waitForStarted(30000) && WaitForTcpPort(m_nPort, m_process))
            return true;
        EndProcess(m_process);
    }
    return false;
}

QString CTlsTerminator::GetLog() const
{
    QFile file(m_dir.filePath(QStringLiteral("stunnel.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

CSrtListener::~CSrtListener()
{
    Stop();
}

bool CSrtListener::Start(int nPort)
{
    m_nPort = nPort > 0 ? nPort : GetFreeUdpPort();
    if (!m_dir.isValid() || m_nPort <= 0)
        return false;
    m_process.setStandardOutputFile(GetReceivedFile());
    // A listener started again keeps the log of the one before.
    m_process.setStandardErrorFile(m_dir.filePath(QStringLiteral("srt.log")), QIODevice::Append);
    // Verbose: the log of a failed run says how far the listener got.
    m_process.start(QStringLiteral("srt-live-transmit"),
                    {QStringLiteral("-v"), QStringLiteral("srt://127.0.0.1:%1?mode=listener").arg(m_nPort),
                     QStringLiteral("file://con")});
    if (!m_process.waitForStarted(30000))
        return false;
    // UDP has no connection to probe, and binding the port to see whether
    // it is taken could take it from the listener: the system's table tells.
    for (int nTry = 0; nTry < 300 && m_process.state() == QProcess::Running; ++nTry)
    {
        if (IsUdpPortBound(m_nPort))
            return true;
        QThread::msleep(100);
    }
    return false;
}

void CSrtListener::Stop()
{
    EndProcess(m_process);
}

QString CSrtListener::GetLog() const
{
    QFile file(m_dir.filePath(QStringLiteral("srt.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
