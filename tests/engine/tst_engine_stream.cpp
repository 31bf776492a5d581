// Streaming alone (no file) through the engine to a loopback nginx-rtmp
// server, played back by a reader.
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "RtmpTestUtil.h"
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

QTEST_MAIN(TestEngineStream)
#include "tst_engine_stream.moc"
