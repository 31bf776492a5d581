// The rtmps and srt destinations against real servers on loopback: RTMP
// behind a TLS terminator with an authority of the test's own, and an SRT
// listener; and the addresses and secrets of every scheme.
#include "media/KVError.h"
#include "media/KVProtocol.h"
#include "media/rtmp/StreamUrl.h"
#include "ProtocolTestUtil.h"
#include "RtmpTestUtil.h"
#include "ServiceCheck.h"
#include "StderrCapture.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <climits>
#include <future>
#include <thread>
#include <unistd.h>

namespace
{
const char kKey[] = "k3y-never-shown";

struct CEvents
{
    std::atomic<int> nConnected{0};
    std::atomic<int> nFailed{0};
};

void OnEvent(int nEvent, void* pUser)
{
    CEvents* pEvents = static_cast<CEvents*>(pUser);
    if (nEvent == KPL_EVENT_CONNECTED)
        ++pEvents->nConnected;
    else if (nEvent == KPL_EVENT_FAILED)
        ++pEvents->nFailed;
}

KVS_HANDLE CreateClient(const QString& strUrl, CEvents& events, const CTestStream& stream)
{
    const QByteArray url = strUrl.toUtf8();
    KVS_HANDLE hClient = KPL_CreateRTMPClient(url.constData(), "", "", 5000, OnEvent, &events);
    if (hClient)
    {
        KPL_SetRTMPVideoFormat(hClient, stream.m_nWidth, stream.m_nHeight, stream.m_nDuration, 10);
        KPL_SetRTMPAudioFormat(hClient, 48000, 2, 1024);
    }
    return hClient;
}

// Writes every packet, paced like a live encoder.
void Publish(KVS_HANDLE hClient, const CTestStream& stream)
{
    const auto start = std::chrono::steady_clock::now();
    for (const CTestPacket& packet : stream.GetPackets())
    {
        std::this_thread::sleep_until(start + std::chrono::microseconds(packet.info.nDts / 10));
        KPL_WriteRTMPData(hClient, packet.nStream, packet.vecData.data(), int(packet.vecData.size()), &packet.info,
                          int(sizeof(packet.info)));
    }
}

// The connection test and its reason, on a thread of its own so that a
// server run by this thread's event loop could answer.
std::pair<int, int> TestConnect(const QString& strUrl, int nTimeoutMs)
{
    const QByteArray url = strUrl.toUtf8();
    return std::async(std::launch::async,
                      [url, nTimeoutMs] {
                          KVS_ClearLastError();
                          const int nResult = KPL_TestConnect(url.constData(), nTimeoutMs);
                          return std::make_pair(nResult, KVS_GetLastError(nullptr, 0));
                      })
        .get();
}

}

// A macro so that the failure points at the caller.
#define VerifyKeyAbsent(strText)                                                                                       \
    do                                                                                                                 \
    {                                                                                                                  \
        const QString strText_ = (strText);                                                                            \
        QVERIFY2(!strText_.contains(QLatin1String(kKey)), qPrintable(strText_));                                       \
    } while (false)

class CTestRtmpProtocols : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void OnAddresses_data();
    void OnAddresses();
    void OnRtmpsPublishAndPlay();
    void OnRtmpsUntrusted();
    void OnSrtPublish();
    void OnSrtNoListener();

private:
    CTestStream m_stream;
};

void CTestRtmpProtocols::initTestCase()
{
    QVERIFY(KPL_Initialize());
    QVERIFY(m_stream.Generate(4));
}

void CTestRtmpProtocols::cleanup()
{
    KPL_SetTlsCaFile(nullptr);
}

void CTestRtmpProtocols::OnAddresses_data()
{
    QTest::addColumn<QString>("strUrl");
    QTest::addColumn<bool>("bValid");
    QTest::addColumn<int>("nScheme");
    QTest::addColumn<QString>("strHost");
    QTest::addColumn<int>("nPort");
    QTest::addColumn<QString>("strMuxer");

    QTest::newRow("rtmp default port") << "rtmp://example.net/app/key" << true << int(STREAM_RTMP) << "example.net"
                                       << 1935 << "flv";
    QTest::newRow("rtmps default port") << "RTMPS://example.net/live2/key" << true << int(STREAM_RTMPS) << "example.net"
                                        << 443 << "flv";
    QTest::newRow("rtmps own port") << "rtmps://[::1]:8443/a/b/key" << true << int(STREAM_RTMPS) << "::1" << 8443
                                    << "flv";
    QTest::newRow("srt with options") << "srt://127.0.0.1:9000?streamid=key&latency=200000" << true << int(STREAM_SRT)
                                      << "127.0.0.1" << 9000 << "mpegts";
    QTest::newRow("srt needs a port") << "srt://127.0.0.1?streamid=key" << false << 0 << "" << 0 << "";
    QTest::newRow("srt empty port") << "srt://127.0.0.1:" << false << 0 << "" << 0 << "";
    QTest::newRow("rtmps bad port") << "rtmps://host:99999/app" << false << 0 << "" << 0 << "";
    QTest::newRow("other scheme") << "rtsp://host/app" << false << 0 << "" << 0 << "";
    QTest::newRow("scheme only") << "srt://" << false << 0 << "" << 0 << "";
}

void CTestRtmpProtocols::OnAddresses()
{
    QFETCH(QString, strUrl);
    QFETCH(bool, bValid);
    CStreamAddress address;
    QCOMPARE(ParseStreamAddress(strUrl.toStdString(), address), bValid);
    if (!bValid)
    {
        // Refused alike by the client and the connection test.
        const QByteArray url = strUrl.toUtf8();
        KVS_ClearLastError();
        QVERIFY(!KPL_CreateRTMPClient(url.constData(), "", "", 1000, nullptr, nullptr));
        QCOMPARE(KVS_GetLastError(nullptr, 0), int(KVS_ERROR_BAD_ADDRESS));
        QCOMPARE(TestConnect(strUrl, 1000).second, int(KVS_ERROR_BAD_ADDRESS));
        return;
    }
    QFETCH(int, nScheme);
    QFETCH(QString, strHost);
    QFETCH(int, nPort);
    QFETCH(QString, strMuxer);
    QCOMPARE(int(address.nScheme), nScheme);
    QCOMPARE(QString::fromStdString(address.strHost), strHost);
    QCOMPARE(address.nPort, nPort);
    QCOMPARE(QString::fromLatin1(GetStreamMuxer(address.nScheme)), strMuxer);
}

void CTestRtmpProtocols::OnRtmpsPublishAndPlay()
{
    if (!HasTool(QStringLiteral("stunnel4")) || !HasTool(QStringLiteral("openssl")))
        VISTREL_SKIP_WITHOUT_SERVICE(QStringLiteral("stunnel4 or openssl is not installed"));
    CNginxRtmp server;
    QVERIFY(server.Start());
    CTlsTerminator tls;
    QVERIFY2(tls.Start(server.GetPort()), qPrintable(tls.GetLog()));
    KPL_SetTlsCaFile(tls.GetCaFile().toUtf8().constData());

    const QString strSecureUrl = QStringLiteral("rtmps://127.0.0.1:%1/live/%2").arg(tls.GetPort()).arg(kKey);
    const auto test = TestConnect(strSecureUrl, 20000);
    QVERIFY2(test.first, qPrintable(QString::number(test.second) + tls.GetLog()));
    QVERIFY(!server.GetLog().contains(QStringLiteral("publish:")));

    // The player reads the plain side of the same server.
    const QString strPlainUrl = server.GetUrl(QString::fromLatin1(kKey));
    std::future<CReadResult> reader =
        std::async(std::launch::async, [strPlainUrl] { return ReadStream(strPlainUrl, 50, 80, 30000); });
    QTRY_VERIFY_WITH_TIMEOUT(server.HasPlayer(QString::fromLatin1(kKey)), 30000);

    CStderrCapture capture;
    CEvents events;
    KVS_HANDLE hClient = CreateClient(strSecureUrl, events, m_stream);
    QVERIFY(hClient);
    QTRY_VERIFY_WITH_TIMEOUT(events.nConnected == 1 || events.nFailed > 0, 30000);
    QCOMPARE(events.nConnected.load(), 1);
    Publish(hClient, m_stream);
    const CReadResult result = reader.get();
    KPL_DestroyRTMPClient(hClient);
    QVERIFY2(result.bOpened, qPrintable(server.GetLog()));
    QVERIFY(result.bVideoH264);
    QVERIFY(result.bAudioAac);
    QVERIFY2(result.nVideoPackets >= 50, qPrintable(QString::number(result.nVideoPackets)));
    QVERIFY2(result.nAudioPackets >= 80, qPrintable(QString::number(result.nAudioPackets)));
    VerifyKeyAbsent(capture.Text());
}

void CTestRtmpProtocols::OnRtmpsUntrusted()
{
    if (!HasTool(QStringLiteral("stunnel4")) || !HasTool(QStringLiteral("openssl")))
        VISTREL_SKIP_WITHOUT_SERVICE(QStringLiteral("stunnel4 or openssl is not installed"));
    CNginxRtmp server;
    QVERIFY(server.Start());
    CTlsTerminator tls;
    QVERIFY2(tls.Start(server.GetPort()), qPrintable(tls.GetLog()));

    // The system's store does not know the test's authority.
    const QString strSecureUrl = QStringLiteral("rtmps://127.0.0.1:%1/live/%2").arg(tls.GetPort()).arg(kKey);
    CStderrCapture capture;
    QCOMPARE(TestConnect(strSecureUrl, 20000), std::make_pair(0, int(KVS_ERROR_CERTIFICATE)));

    // Nor does the client publish to it.
    CEvents events;
    KVS_HANDLE hClient = CreateClient(strSecureUrl, events, m_stream);
    QVERIFY(hClient);
    QTRY_VERIFY_WITH_TIMEOUT(events.nFailed > 0, 30000);
    KPL_DestroyRTMPClient(hClient);
    QCOMPARE(events.nConnected.load(), 0);
    QVERIFY(!server.GetLog().contains(QStringLiteral("publish:")));

    // Another authority is no better than none.
    CTlsTerminator other;
    QVERIFY(other.Start(server.GetPort()));
    KPL_SetTlsCaFile(other.GetCaFile().toUtf8().constData());
    QCOMPARE(TestConnect(strSecureUrl, 20000), std::make_pair(0, int(KVS_ERROR_CERTIFICATE)));

    // rtmps:// to a server that answers, but not with TLS. (A plain RTMP
    // server takes the TLS greeting for the start of its handshake and
    // waits for the rest: a time-out.)
    std::promise<int> portPromise;
    std::future<int> port = portPromise.get_future();
    // Blocking calls on a thread of its own: it reads the greeting, as a
    // web server reads a request, before it answers and hangs up.
    std::thread web([&portPromise] {
        QTcpServer server;
        portPromise.set_value(server.listen(QHostAddress::LocalHost, 0) ? int(server.serverPort()) : 0);
        for (int i = 0; i < 2 && server.waitForNewConnection(60000); ++i)
        {
            std::unique_ptr<QTcpSocket> pSocket(server.nextPendingConnection());
            pSocket->waitForReadyRead(60000);
            pSocket->write("HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n");
            pSocket->waitForBytesWritten(60000);
            pSocket->disconnectFromHost();
        }
    });
    const int nWebPort = port.get();
    if (nWebPort <= 0)
        web.join();
    QVERIFY(nWebPort > 0);
    const QString strNotTls = QStringLiteral("rtmps://127.0.0.1:%1/live/%2").arg(nWebPort).arg(kKey);
    const auto notTls = TestConnect(strNotTls, 20000);
    web.join();
    QCOMPARE(notTls, std::make_pair(0, int(KVS_ERROR_NOT_TLS)));
    VerifyKeyAbsent(capture.Text());
}

void CTestRtmpProtocols::OnSrtPublish()
{
    if (!HasTool(QStringLiteral("srt-live-transmit")))
        VISTREL_SKIP_WITHOUT_SERVICE(QStringLiteral("srt-live-transmit (srt-tools) is not installed"));
    CSrtListener listener;
    QVERIFY2(listener.Start(), qPrintable(listener.GetLog()));
    const QString strUrl = QStringLiteral("srt://127.0.0.1:%1?streamid=%2").arg(listener.GetPort()).arg(kKey);
    const auto test = TestConnect(strUrl, 20000);
    QVERIFY2(test.first, qPrintable(QString::number(test.second) + listener.GetLog()));
    // srt-live-transmit quits, now and then, when a caller hangs up while it
    // is still setting the connection up, as the test's caller does: the
    // broadcast gets a listener of its own on the same port.
    listener.Stop();
    QVERIFY2(listener.Start(listener.GetPort()), qPrintable(listener.GetLog()));

    CStderrCapture capture;
    CEvents events;
    KVS_HANDLE hClient = CreateClient(strUrl, events, m_stream);
    QVERIFY(hClient);
    // A listener may need a moment to listen, longer on a loaded machine:
    // the client tries again, as on air.
    KPL_SetRTMPAutoReconnect(hClient, 1);
    QTRY_VERIFY2_WITH_TIMEOUT(events.nConnected >= 1, qPrintable(listener.GetLog()), 60000);
    Publish(hClient, m_stream);
    // Whatever was still queued goes out before the client lets go.
    QTRY_VERIFY_WITH_TIMEOUT(
        [hClient] {
            KPL_RTMP_STATUS status = {};
            KPL_GetRTMPStatus(hClient, &status);
            return status.nAudioQueued == 0;
        }(),
        30000);
    KPL_DestroyRTMPClient(hClient);
    listener.Stop();

    const CReadResult result = ReadStream(listener.GetReceivedFile(), INT_MAX, INT_MAX, 30000);
    QVERIFY2(result.bOpened, qPrintable(listener.GetLog()));
    QVERIFY(result.bVideoH264);
    QVERIFY(result.bAudioAac);
    QCOMPARE(result.nWidth, m_stream.m_nWidth);
    QCOMPARE(result.nHeight, m_stream.m_nHeight);
    // Four seconds were sent; the first and the last may be cut.
    QVERIFY2(result.nVideoPackets >= 50, qPrintable(QString::number(result.nVideoPackets)));
    QVERIFY2(result.nAudioPackets >= 80, qPrintable(QString::number(result.nAudioPackets)));
    QCOMPARE(events.nFailed.load(), 0);
    VerifyKeyAbsent(capture.Text());
}

void CTestRtmpProtocols::OnSrtNoListener()
{
    const int nPort = GetFreeUdpPort();
    QVERIFY(nPort > 0);
    const QString strUrl = QStringLiteral("srt://127.0.0.1:%1?streamid=%2").arg(nPort).arg(kKey);
    CStderrCapture capture;
    const auto test = TestConnect(strUrl, 1500);
    QCOMPARE(test.first, 0);
    QVERIFY(test.second == KVS_ERROR_TIMEOUT || test.second == KVS_ERROR_REFUSED || test.second == KVS_ERROR_NETWORK);
    VerifyKeyAbsent(capture.Text());
}

QTEST_GUILESS_MAIN(CTestRtmpProtocols)
#include "tst_rtmp_protocols.moc"
