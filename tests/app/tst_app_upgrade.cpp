// The upgrade report against a loopback HTTP server: the bytes on the wire,
// when no report may be made at all, and how a client ends when the service
// answers, stays silent, resets or is not there.
#include "app/CKVUpgrade.h"

#include "UpgradeServer.h"

#include <QtTest>

namespace
{
// Generous: a silent service is given up on after five seconds.
const int s_nTimeoutMs = 30000;
}

class TestUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void ReportReachesService_data();
    void ReportReachesService();
    void RequestPath_data();
    void RequestPath();
    void ClientEndsSilently_data();
    void ClientEndsSilently();
    void StopWhilePending();
    void RefusedAddresses_data();
    void RefusedAddresses();
    void TurnedOff_data();
    void TurnedOff();
};

void TestUpgrade::init()
{
    qunsetenv("VISTREL_UPGRADE_URL");
}

void TestUpgrade::cleanup()
{
    g_upgrade.Stop();
    qunsetenv("VISTREL_UPGRADE_URL");
}

void TestUpgrade::ReportReachesService_data()
{
    QTest::addColumn<QByteArray>("baSerial");
    QTest::addColumn<QByteArray>("baSent");
    QTest::newRow("short") << QByteArray("SN-0042") << QByteArray("SN-0042");
    QTest::newRow("15 characters fill the field") << QByteArray("SN0123456789ABC") << QByteArray("SN0123456789ABC");
    QTest::newRow("20 characters are cut to 15") << QByteArray("SN0123456789ABCDEFGH") << QByteArray("SN0123456789ABC");
    // "é" takes bytes 15 and 16: it goes whole rather than half.
    QTest::newRow("no character cut in two") << QByteArray("SN0123456789AB\xc3\xa9Z") << QByteArray("SN0123456789AB");
}

void TestUpgrade::ReportReachesService()
{
    QFETCH(QByteArray, baSerial);
    QFETCH(QByteArray, baSent);
    CUpgradeServer server(CUpgradeServer::ANSWER);
    QVERIFY(server.Listen());
    qputenv("VISTREL_UPGRADE_URL", server.Url("/api"));

    QVERIFY(StartUpgradeCheck(false, baSerial));
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 1, s_nTimeoutMs);
    // The answer ends the client, which closes the connection.
    QTRY_VERIFY_WITH_TIMEOUT(!g_upgrade.IsActive(), s_nTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(server.AllClosed(), s_nTimeoutMs);

    const QByteArray baRequest = server.Requests().first();
    const QByteArray baHead = CUpgradeServer::Head(baRequest);
    QVERIFY2(baHead.startsWith("POST /api HTTP/1.1\r\n"), baHead.constData());
    QVERIFY2(baHead.contains("\r\nHost: " + server.Url("").mid(7) + "\r\n"), baHead.constData());
    QVERIFY2(baHead.contains("\r\nContent-Length: 28\r\n"), baHead.constData());
    QCOMPARE(CUpgradeServer::Body(baRequest).toHex(' '), ExpectedReport(baSent).toHex(' '));
    QCOMPARE(server.Connections(), 1);
}

void TestUpgrade::RequestPath_data()
{
    QTest::addColumn<QByteArray>("baPath");
    QTest::addColumn<QByteArray>("baRequestLine");
    QTest::newRow("no path: the service's") << QByteArray() << QByteArray("POST /api HTTP/1.1\r\n");
    QTest::newRow("query only") << QByteArray("?from=vistrel") << QByteArray("POST /api?from=vistrel HTTP/1.1\r\n");
    QTest::newRow("root given") << QByteArray("/") << QByteArray("POST / HTTP/1.1\r\n");
    QTest::newRow("other path") << QByteArray("/v2/report") << QByteArray("POST /v2/report HTTP/1.1\r\n");
}

void TestUpgrade::RequestPath()
{
    QFETCH(QByteArray, baPath);
    QFETCH(QByteArray, baRequestLine);
    CUpgradeServer server(CUpgradeServer::ANSWER);
    QVERIFY(server.Listen());
    QVERIFY(g_upgrade.Start(server.Url(baPath).constData(), "SN-0042"));
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 1, s_nTimeoutMs);
    const QByteArray baHead = CUpgradeServer::Head(server.Requests().first());
    QVERIFY2(baHead.startsWith(baRequestLine), baHead.constData());
    QTRY_VERIFY_WITH_TIMEOUT(!g_upgrade.IsActive(), s_nTimeoutMs);
}

void TestUpgrade::ClientEndsSilently_data()
{
    QTest::addColumn<int>("nMode");
    QTest::addColumn<bool>("bListening");
    QTest::addColumn<int>("nRequests");
    QTest::newRow("service never answers") << int(CUpgradeServer::SILENT) << true << 1;
    QTest::newRow("service resets the connection") << int(CUpgradeServer::RESET) << true << 1;
    QTest::newRow("nobody listening") << int(CUpgradeServer::SILENT) << false << 0;
}

void TestUpgrade::ClientEndsSilently()
{
    QFETCH(int, nMode);
    QFETCH(bool, bListening);
    QFETCH(int, nRequests);
    CUpgradeServer server(static_cast<CUpgradeServer::Mode>(nMode));
    QVERIFY(server.Listen());
    const QByteArray baUrl = server.Url();
    if (!bListening)
        server.Close();

    QVERIFY(g_upgrade.Start(baUrl.constData(), "SN-0042"));
    QTRY_VERIFY_WITH_TIMEOUT(!g_upgrade.IsActive(), s_nTimeoutMs);
    QCOMPARE(server.Requests().size(), nRequests);
    QTRY_VERIFY_WITH_TIMEOUT(server.AllClosed(), s_nTimeoutMs);
    // Ended for good: a stop afterwards finds nothing to destroy.
    g_upgrade.Stop();
    QVERIFY(!g_upgrade.IsActive());
}

void TestUpgrade::StopWhilePending()
{
    CUpgradeServer server(CUpgradeServer::SILENT);
    QVERIFY(server.Listen());
    QVERIFY(g_upgrade.Start(server.Url().constData(), "SN-0042"));
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 1, s_nTimeoutMs);
    QVERIFY(g_upgrade.IsActive());

    // As at shutdown: the pending report is abandoned and the connection
    // closed, from this thread while the client's waits for the answer.
    g_upgrade.Stop();
    QVERIFY(!g_upgrade.IsActive());
    QTRY_VERIFY_WITH_TIMEOUT(server.AllClosed(), s_nTimeoutMs);
    g_upgrade.Stop();
    QCOMPARE(server.Connections(), 1);
}

void TestUpgrade::RefusedAddresses_data()
{
    QTest::addColumn<QByteArray>("baUrl");
    // %1 stands for the listening server's port.
    QTest::newRow("https") << QByteArray("https://127.0.0.1:%1/api");
    QTest::newRow("other scheme") << QByteArray("ftp://127.0.0.1:%1/api");
    QTest::newRow("no host") << QByteArray("http://:%1/api");
    QTest::newRow("nothing after the scheme") << QByteArray("http://");
    QTest::newRow("port out of range") << QByteArray("http://127.0.0.1:70000/api");
    QTest::newRow("port not a number") << QByteArray("http://127.0.0.1:8o/api");
    QTest::newRow("user information") << QByteArray("http://me@127.0.0.1:%1/api");
    QTest::newRow("space in the path") << QByteArray("http://127.0.0.1:%1/a b");
    QTest::newRow("line break in the path") << QByteArray("http://127.0.0.1:%1/a\r\nX: y");
}

void TestUpgrade::RefusedAddresses()
{
    QFETCH(QByteArray, baUrl);
    CUpgradeServer server(CUpgradeServer::ANSWER);
    QVERIFY(server.Listen());
    baUrl.replace("%1", server.Url("").mid(17));

    QVERIFY(!g_upgrade.Start(baUrl.constData(), "SN-0042"));
    QVERIFY(!g_upgrade.IsActive());
    QCoreApplication::processEvents();
    QCOMPARE(server.Connections(), 0);
}

void TestUpgrade::TurnedOff_data()
{
    QTest::addColumn<bool>("bNoUpgrade");
    QTest::addColumn<QByteArray>("baSerial");
    QTest::addColumn<bool>("bEndpoint");
    QTest::newRow("-noupg") << true << QByteArray("SN-0042") << true;
    QTest::newRow("no serial number") << false << QByteArray() << true;
    QTest::newRow("endpoint set empty") << false << QByteArray("SN-0042") << false;
}

void TestUpgrade::TurnedOff()
{
    QFETCH(bool, bNoUpgrade);
    QFETCH(QByteArray, baSerial);
    QFETCH(bool, bEndpoint);
    CUpgradeServer server(CUpgradeServer::ANSWER);
    QVERIFY(server.Listen());
    // An empty variable turns off an address the build may have been given.
    qputenv("VISTREL_UPGRADE_URL", bEndpoint ? server.Url() : QByteArray());

    QVERIFY(!StartUpgradeCheck(bNoUpgrade, baSerial));
    QVERIFY(!g_upgrade.IsActive());
    QCoreApplication::processEvents();
    QCOMPARE(server.Connections(), 0);
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_app_upgrade.moc"
