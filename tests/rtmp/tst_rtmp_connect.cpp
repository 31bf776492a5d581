// Connection test against a real server, a closed port and a silent server.
#include "media/KVError.h"
#include "media/KVProtocol.h"
#include "media/KVStreamKey.h"
#include "RtmpTestUtil.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <atomic>

class CTestRtmpConnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void OnServerAnswers();
    void OnClosedPort();
    void OnSilentServer();
    void OnMalformedUrl();
    void maskedUrlKeepsTheServer_data();
    void maskedUrlKeepsTheServer();
};

void CTestRtmpConnect::maskedUrlKeepsTheServer_data()
{
    QTest::addColumn<QString>("strUrl");
    QTest::addColumn<QString>("strMasked");
    QTest::newRow("default") << "rtmp://127.0.0.1:1935/live/test"
                             << "rtmp://127.0.0.1:1935/live/...";
    QTest::newRow("no port") << "rtmp://a.example/app/k3y"
                             << "rtmp://a.example/app/...";
    QTest::newRow("deep application") << "rtmps://h:443/app/inst/k3y"
                                      << "rtmps://h:443/app/inst/...";
    QTest::newRow("key and query") << "rtmp://h/live/k3y?pw=x"
                                   << "rtmp://h/live/...";
    QTest::newRow("query alone") << "srt://h:9000?streamid=k3y"
                                 << "srt://h:9000?...";
    QTest::newRow("query on application") << "rtmp://h/live?k3y"
                                          << "rtmp://h/live?...";
    QTest::newRow("trailing slash") << "rtmp://h/live/k3y/"
                                    << "rtmp://h/live/...";
    QTest::newRow("application alone") << "rtmp://h:1935/live"
                                       << "rtmp://h:1935/live";
    QTest::newRow("no key yet") << "rtmp://h:1935/live/"
                                << "rtmp://h:1935/live/";
    QTest::newRow("password") << "rtmp://user:pw@h/live/k3y"
                              << "rtmp://user:...@h/live/...";
    QTest::newRow("srt secrets") << "srt://h:9000?streamid=k3y&latency=200&passphrase=pw"
                                 << "srt://h:9000?...";
    QTest::newRow("srt without options") << "srt://h:9000"
                                         << "srt://h:9000";
    QTest::newRow("not a URL") << "k3y"
                               << "...";
    QTest::newRow("empty") << ""
                           << "";
}

void CTestRtmpConnect::maskedUrlKeepsTheServer()
{
    QFETCH(QString, strUrl);
    QFETCH(QString, strMasked);
    QCOMPARE(MaskStreamKey(strUrl), strMasked);
}

void CTestRtmpConnect::initTestCase()
{
    QVERIFY(KPL_Initialize());
}

void CTestRtmpConnect::OnServerAnswers()
{
    CNginxRtmp server;
    QVERIFY(server.Start());
    QByteArray url = server.GetUrl(QStringLiteral("test")).toUtf8();
    QVERIFY2(KPL_TestConnect(url.constData(), 1000), qPrintable(server.GetLog()));
    // The path is not needed for the test.
    QByteArray urlNoPath = QStringLiteral("rtmp://127.0.0.1:%1").arg(server.GetPort()).toUtf8();
    QVERIFY(KPL_TestConnect(urlNoPath.constData(), 1000));
    // Nothing was published by the test.
    QVERIFY(!server.GetLog().contains(QStringLiteral("publish:")));
}

void CTestRtmpConnect::OnClosedPort()
{
    int nPort = GetFreePort();
    QVERIFY(nPort > 0);
    QByteArray url = QStringLiteral("rtmp://127.0.0.1:%1/live/test").arg(nPort).toUtf8();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(KPL_TestConnect(url.constData(), 1000), 0);
    QCOMPARE(KVS_GetLastError(nullptr, 0), int(KVS_ERROR_REFUSED));
    // A sanity bound, not a benchmark: a refused connection must not wait
    // out anything like a network time-out.
    qInfo("returned after %lld ms", static_cast<long long>(timer.elapsed()));
}

void CTestRtmpConnect::OnSilentServer()
{
    // Accepts the connection but never answers the handshake.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QByteArray url = QStringLiteral("rtmp://127.0.0.1:%1/live/test").arg(server.serverPort()).toUtf8();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(KPL_TestConnect(url.constData(), 500), 0);
    QCOMPARE(KVS_GetLastError(nullptr, 0), int(KVS_ERROR_TIMEOUT));
    qInfo("returned after %lld ms", static_cast<long long>(timer.elapsed()));

    // A server that sends the wrong version byte is not an RTMP server: a
    // reason of its own, not the refusal of a closed port.
    QTcpServer wrong;
    QVERIFY(wrong.listen(QHostAddress::LocalHost, 0));
    connect(&wrong, &QTcpServer::newConnection, this, [&wrong] {
        QTcpSocket* pSocket = wrong.nextPendingConnection();
        pSocket->write(QByteArray(1537, 'x'));
    });
    url = QStringLiteral("rtmp://127.0.0.1:%1/live/test").arg(wrong.serverPort()).toUtf8();
    std::atomic<int> nResult{-1};
    std::atomic<int> nReason{-1};
    // The server needs this thread's event loop, so the test runs on another.
    // A generous time limit: the answer comes at once, however loaded the
    // machine, and a slow one must not turn it into a time-out.
    QThread* pThread = QThread::create([&] {
        nResult = KPL_TestConnect(url.constData(), 20000);
        nReason = KVS_GetLastError(nullptr, 0);
    });
    pThread->start();
    QTRY_VERIFY_WITH_TIMEOUT(pThread->isFinished(), 30000);
    delete pThread;
    QCOMPARE(nResult.load(), 0);
    QCOMPARE(nReason.load(), int(KVS_ERROR_NOT_RTMP));

    // One that answers like a web server and hangs up is not one either.
    QTcpServer web;
    QVERIFY(web.listen(QHostAddress::LocalHost, 0));
    connect(&web, &QTcpServer::newConnection, this, [&web] {
        QTcpSocket* pSocket = web.nextPendingConnection();
        pSocket->write("HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n");
        pSocket->disconnectFromHost();
    });
    url = QStringLiteral("rtmp://127.0.0.1:%1/live/test").arg(web.serverPort()).toUtf8();
    nResult = -1;
    nReason = -1;
    pThread = QThread::create([&] {
        nResult = KPL_TestConnect(url.constData(), 20000);
        nReason = KVS_GetLastError(nullptr, 0);
    });
    pThread->start();
    QTRY_VERIFY_WITH_TIMEOUT(pThread->isFinished(), 30000);
    delete pThread;
    QCOMPARE(nResult.load(), 0);
    QCOMPARE(nReason.load(), int(KVS_ERROR_NOT_RTMP));
}

void CTestRtmpConnect::OnMalformedUrl()
{
    for (const char* pszUrl :
         {static_cast<const char*>(nullptr), "", "rtmp://127.0.0.1:notaport/live", "http://127.0.0.1:1935/live"})
    {
        KVS_ClearLastError();
        QCOMPARE(KPL_TestConnect(pszUrl, 1000), 0);
        QCOMPARE(KVS_GetLastError(nullptr, 0), int(KVS_ERROR_BAD_ADDRESS));
    }
}

QTEST_GUILESS_MAIN(CTestRtmpConnect)
#include "tst_rtmp_connect.moc"
