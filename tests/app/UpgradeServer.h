// A loopback HTTP server for the upgrade report: answers it, keeps silent,
// or resets the connection once the request is in.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>
#include <sys/socket.h>

class CUpgradeServer : public QObject
{
    Q_OBJECT
public:
    enum Mode
    {
        ANSWER,
        SILENT,
        RESET
    };

    explicit CUpgradeServer(Mode mode)
        : m_mode(mode)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &CUpgradeServer::OnNewConnection);
    }

    bool Listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    void Close() { m_server.close(); }
    QByteArray Url(const QByteArray& baPath = "/api") const
    {
        return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + baPath;
    }
    // Connections accepted so far, counting those still waiting to be.
    int Connections()
    {
        while (m_server.hasPendingConnections() || m_server.waitForNewConnection(0))
            OnNewConnection();
        return m_nConnections;
    }
    // Whole requests (head and body) in the order they came.
    const QList<QByteArray>& Requests() const { return m_abaRequests; }
    // Whether the client has closed every connection it made.
    bool AllClosed() const
    {
        for (const auto& pSocket : m_apSockets)
            if (pSocket && pSocket->state() != QAbstractSocket::UnconnectedState)
                return false;
        return true;
    }

    static QByteArray Head(const QByteArray& baRequest) { return baRequest.left(baRequest.indexOf("\r\n\r\n") + 4); }
    static QByteArray Body(const QByteArray& baRequest) { return baRequest.mid(baRequest.indexOf("\r\n\r\n") + 4); }

private:
    void OnNewConnection()
    {
        while (QTcpSocket* pSocket = m_server.nextPendingConnection())
        {
            ++m_nConnections;
            m_apSockets.append(pSocket);
            auto pbaData = std::make_shared<QByteArray>();
            connect(pSocket, &QTcpSocket::readyRead, this, [this, pSocket, pbaData] { OnData(pSocket, *pbaData); });
        }
    }

    void OnData(QTcpSocket* pSocket, QByteArray& baData)
    {
        baData += pSocket->readAll();
        const int nHeadEnd = baData.indexOf("\r\n\r\n");
        if (nHeadEnd < 0)
            return;
        const QByteArray baHead = baData.left(nHeadEnd).toLower();
        const int nLengthAt = baHead.indexOf("content-length:");
        const int nLength = nLengthAt < 0 ? 0 : baHead.mid(nLengthAt + 15).split('\r').first().trimmed().toInt();
        if (baData.size() < nHeadEnd + 4 + nLength)
            return;
        m_abaRequests.append(baData);
        baData.clear();
        if (m_mode == ANSWER)
        {
            pSocket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nok");
        }
        else if (m_mode == RESET)
        {
            // Closing with a zero linger time sends a reset instead of an
            // orderly end.
            const linger noLinger = {1, 0};
            setsockopt(int(pSocket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger, sizeof(noLinger));
            pSocket->abort();
        }
    }

    const Mode m_mode;
    QTcpServer m_server;
    int m_nConnections = 0;
    QList<QPointer<QTcpSocket>> m_apSockets;
    QList<QByteArray> m_abaRequests;
};

// The 28 bytes the service must receive for a serial number of at most 15
// characters: kind 2, the serial number padded with zeros, version 2.1,
// build 2201, reserved.
inline QByteArray ExpectedReport(const QByteArray& baSerial)
{
    QByteArray ba("\x02\x00\x00\x00", 4);
    ba += baSerial;
    ba += QByteArray(16 - baSerial.size(), '\0');
    ba += QByteArray("\x02\x00\x01\x00\x99\x08\x00\x00", 8);
    return ba;
}
