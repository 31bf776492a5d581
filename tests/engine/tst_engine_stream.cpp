// Streaming through the engine to loopback nginx-rtmp servers, played back
// by readers: alone, and to several destinations beside a recording.
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "engine/KVMediaError.h"
#include "media/KVProtocol.h"
#include "ProtocolTestUtil.h"
#include "RecordedFile.h"
#include "RtmpTestUtil.h"
#include "ServiceCheck.h"
#include "TestRenderTarget.h"

#include <QtTest>

#include <future>

namespace
{
const int SIZE_320X240 = 18;
const int RATE_25 = 2;
const int DURATION_25 = 400000;
const KVS_WINDOW PREVIEW_WINDOW = 0x7f0001;
const KVS_WINDOW CHANNEL_WINDOW = 0x7f0002;
}

class TestEngineStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void streamOnlyWithAudio();
    void severalDestinationsFromOneEncode();
    void tlsDestinationTrustsTheStoredAuthorities();

private:
    CTestRenderTarget* m_pPreview = nullptr;
    CTestRenderTarget* m_pChannelWindow = nullptr;
};

void TestEngineStream::initTestCase()
{
    qputenv("VISTREL_VIRTUAL_VIDEO", "Camera");
    qputenv("VISTREL_VIRTUAL_AUDIO", "1");
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
    g_settings.SetEncoderParam(0, 2, 4, 0, 2, 0, 1, 1);
    QVERIFY(g_capture.Init());
    m_pPreview = new CTestRenderTarget(PREVIEW_WINDOW, 320, 240);
    m_pChannelWindow = new CTestRenderTarget(CHANNEL_WINDOW, 80, 60);
    QVERIFY(g_capture.CreateMixer(320, 240, DURATION_25, PREVIEW_WINDOW));
    QVERIFY(g_capture.OpenChannel(0, 0, CHANNEL_WINDOW));
    g_capture.PlaceChannel(0, 0, 0, 320, 240, 255, 0);
}

void TestEngineStream::cleanupTestCase()
{
    g_capture.Uninit();
    delete m_pChannelWindow;
    m_pChannelWindow = nullptr;
    delete m_pPreview;
    m_pPreview = nullptr;
}

void TestEngineStream::cleanup()
{
    g_capture.StopRecord();
}

void TestEngineStream::streamOnlyWithAudio()
{
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    int nTone = -1;
    for (int nIndex = 0; nIndex < g_capture.GetDeviceCount(false); ++nIndex)
    {
        QString strName;
        if (g_capture.GetDeviceName(false, nIndex, strName) && strName == QStringLiteral("Virtual Tone 1"))
            nTone = nIndex;
    }
    QVERIFY(nTone >= 0);
    QVERIFY(g_capture.OpenAudioDevice(nTone));

    const QString strUrl = server.GetUrl(QStringLiteral("engine"));
    QVERIFY(g_capture.StartRecord(QString(), strUrl));
    auto futureRead = std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 50, 80, 60000); });
    const CReadResult result = futureRead.get();
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetByteRate() > 0, 20000);
    g_capture.StopRecord();

    QVERIFY2(result.bOpened, qPrintable(server.GetLog()));
    QVERIFY(result.bVideoH264);
    QVERIFY(result.bAudioAac);
    QCOMPARE(result.nWidth, 320);
    QCOMPARE(result.nHeight, 240);
    QVERIFY(result.nVideoPackets >= 50);
    QVERIFY(result.nAudioPackets >= 80);
}

void TestEngineStream::severalDestinationsFromOneEncode()
{
    // Two applications of one server, and a server of its own that freezes
    // and restarts.
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    CNginxRtmp serverFailing;
    QVERIFY2(serverFailing.Start(), qPrintable(serverFailing.GetLog()));
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("several.mp4"));
    const std::vector<SStreamTarget> vecTargets = {
        {QStringLiteral("One"), server.GetUrl(QStringLiteral("one"))},
        {QStringLiteral("Two"), server.GetUrl(QStringLiteral("two"), QStringLiteral("live2"))},
        {QStringLiteral("Failing"), serverFailing.GetUrl(QStringLiteral("three"))}};
    auto fnRead = [](const QString& strUrl) {
        return std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 50, 0, 60000); });
    };
    auto futureOne = fnRead(vecTargets[0].strUrl);
    auto futureTwo = fnRead(vecTargets[1].strUrl);
    QString strReason;
    QVERIFY2(g_capture.StartRecord(strPath, vecTargets, strReason), qPrintable(strReason));
    QCOMPARE(g_capture.GetStreamCount(), 3);
    QCOMPARE(g_capture.GetStreamName(1), QStringLiteral("Two"));
    for (auto* pFuture : {&futureOne, &futureTwo})
    {
        const CReadResult result = pFuture->get();
        QVERIFY2(result.bVideoH264 && result.nVideoPackets >= 50, qPrintable(server.GetLog()));
        QCOMPARE(result.nWidth, 320);
    }

    // A frozen server holds its own client's packets only; the others'
    // players still get the picture meanwhile.
    QVERIFY(serverFailing.Freeze(true));
    const CReadResult resultFrozen = ReadStream(vecTargets[1].strUrl, 75, 0, 60000);
    QVERIFY2(resultFrozen.nVideoPackets >= 75, qPrintable(server.GetLog()));
    // Killed and back on its port: that destination reconnects on its own.
    QVERIFY(serverFailing.Restart());
    int nAttempt = 0;
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetStreamState(2, nAttempt) == CKVCapture::STREAM_PUBLISHING, 60000);
    const CReadResult resultBack = ReadStream(vecTargets[2].strUrl, 25, 0, 60000);
    QVERIFY2(resultBack.nVideoPackets >= 25, qPrintable(serverFailing.GetLog()));

    // The healthy destinations lost nothing to the failing one.
    for (int i = 0; i < 2; ++i)
    {
        KPL_RTMP_STATUS status = {};
        QVERIFY(g_capture.GetStreamStatus(i, status));
        QCOMPARE(status.nState, int(KPL_RTMP_PUBLISHING));
        QCOMPARE(status.nVideoDropped, uint64_t(0));
    }
    g_capture.SetRecordingStopped();
    const uint64_t nFramesTaken = g_capture.GetVideoFramesEncoded();
    g_capture.StopRecord();
    QCOMPARE(g_capture.GetStreamCount(), 0);
    // Nor did the recording.
    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    QVERIFY2(uint64_t(info.nVideoPackets) >= nFramesTaken,
             qPrintable(info.Describe() + QStringLiteral(", %1 frames taken").arg(nFramesTaken)));
}

// An rtmps server whose authority the system does not know: refused until
// the settings name the authority's file, then streamed to.
void TestEngineStream::tlsDestinationTrustsTheStoredAuthorities()
{
    if (!HasTool(QStringLiteral("stunnel4")) || !HasTool(QStringLiteral("openssl")))
        VISTREL_SKIP_WITHOUT_SERVICE(QStringLiteral("stunnel4 or openssl is not installed"));
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    CTlsTerminator tls;
    QVERIFY2(tls.Start(server.GetPort()), qPrintable(tls.GetLog()));
    const QString strSecureUrl = QStringLiteral("rtmps://127.0.0.1:%1/live/secure").arg(tls.GetPort());

    g_settings.SetTlsCaFile(QString());
    g_capture.ApplyStoredTlsCaFile();
    QString strReason;
    QVERIFY(!TestRtmpServer(strSecureUrl, 20000, strReason));
    QVERIFY2(strReason.contains(QStringLiteral("certificate")), qPrintable(strReason));

    g_settings.SetTlsCaFile(tls.GetCaFile());
    const QString strPlainUrl = server.GetUrl(QStringLiteral("secure"));
    auto futureRead = std::async(std::launch::async, [strPlainUrl] { return ReadStream(strPlainUrl, 25, 0, 60000); });
    QVERIFY2(g_capture.StartRecord(QString(), {{QStringLiteral("Secure"), strSecureUrl}}, strReason),
             qPrintable(strReason));
    const CReadResult result = futureRead.get();
    g_capture.StopRecord();
    g_settings.SetTlsCaFile(QString());
    QVERIFY2(result.nVideoPackets >= 25, qPrintable(server.GetLog() + tls.GetLog()));
}

QTEST_MAIN(TestEngineStream)
#include "tst_engine_stream.moc"
