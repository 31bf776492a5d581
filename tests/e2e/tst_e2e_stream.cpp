// Streaming through the main window to a loopback nginx-rtmp server that is
// down, comes up, goes away and freezes: the status bar tells what the
// stream really does, and the recording beside it never waits for it.
#include "common/AppInfo.h"
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "app/CMainWnd.h"
#include "config/CSettings.h"
#include "app/CVistrel.h"
#include "media/KVProtocol.h"
#include "ProgramFixture.h"
#include "RecordedFile.h"
#include "RtmpTestUtil.h"
#include "StderrCapture.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

extern "C"
{
#include <libavformat/avformat.h>
}

namespace
{
const int s_nTimeoutMs = 60000;
// A frozen server takes every byte its socket buffers hold first.
const int s_nFreezeTimeoutMs = 180000;
const int SIZE_320X240 = 18;
const int RATE_25 = 2;
const int BITRATE_16000 = 0;
const int BITRATE_1000 = 4;
const int KEY_EVERY_300 = 2;
const int SAMPLE_RATE = 48000;
const QString s_strLinkStyle = QStringLiteral("<a style='color: #0000EE;'>");

int ToneDevice()
{
    for (int nIndex = 0; nIndex < g_capture.GetDeviceCount(false); ++nIndex)
    {
        QString strName;
        if (g_capture.GetDeviceName(false, nIndex, strName) && strName == QStringLiteral("Virtual Tone 1"))
            return nIndex;
    }
    return -1;
}

KPL_RTMP_STATUS StreamStatus()
{
    KPL_RTMP_STATUS status = {};
    g_capture.GetStreamStatus(status);
    return status;
}

// Frame numbers (in presentation order) of the key frames in the file.
QList<int64_t> ReadKeyFrames(const QString& strPath)
{
    QList<int64_t> listKeys;
    AVFormatContext* pFormat = nullptr;
    if (avformat_open_input(&pFormat, strPath.toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return listKeys;
    const int nVideo = av_find_best_stream(pFormat, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const double dFrames = nVideo >= 0 ? av_q2d(pFormat->streams[nVideo]->time_base) * 25 : 0;
    int64_t nFirst = INT64_MAX;
    QList<int64_t> listPts;
    AVPacket* pPacket = av_packet_alloc();
    while (nVideo >= 0 && av_read_frame(pFormat, pPacket) >= 0)
    {
        if (pPacket->stream_index == nVideo)
        {
            nFirst = std::min(nFirst, pPacket->pts);
            if (pPacket->flags & AV_PKT_FLAG_KEY)
                listPts << pPacket->pts;
        }
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
    avformat_close_input(&pFormat);
    for (int64_t nPts : listPts)
        listKeys << std::llround(double(nPts - nFirst) * dFrames);
    std::sort(listKeys.begin(), listKeys.end());
    return listKeys;
}
}

class TestE2eStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void statusFollowsTheServer();
    void congestionCostsPictureOnly();
    void clientThatCannotStartShowsFailed();
    void severalDestinationsSummedUp();

private:
    void OpenWindow(int nPort, const QString& strUrl, int nBitrate);
    void Start();
    QString StoppedFilePath();
    // The streaming indicator as the user reads it; every change is noted.
    QString Living();
    void WaitAudioSeconds(double dSeconds);

    std::unique_ptr<QTemporaryDir> m_pStorage;
    std::unique_ptr<CVistrel> m_pWnd;
    QStringList m_astrLiving;
};

void TestE2eStream::initTestCase()
{
    QVERIFY(ProgramFixture::StartProgram());
}

void TestE2eStream::cleanupTestCase()
{
    ProgramFixture::StopProgram();
}

void TestE2eStream::init()
{
    m_pStorage = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pStorage->isValid());
    m_astrLiving.clear();
}

void TestE2eStream::cleanup()
{
    if (m_pWnd && m_pWnd->GetOutputPanel()->IsRunning())
        m_pWnd->GetOutputPanel()->OnButtonStop();
    m_pWnd.reset();
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
        g_capture.CloseChannel(i);
    g_capture.DestroyMixer();
    g_capture.CloseAudio();
    m_pStorage.reset();
    for (int i = 1; i < CSettings::STREAM_DESTINATION_COUNT; ++i)
        g_settings.SetStreamDestination(i, SStreamDestination());
}

void TestE2eStream::OpenWindow(int nPort, const QString& strUrl, int nBitrate)
{
    g_settings.SetDataStorage(QDir::toNativeSeparators(m_pStorage->path()));
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
    // Balanced software encoding, a key frame every 300 frames (12 s).
    g_settings.SetEncoderParam(0, 1, nBitrate, 0, KEY_EVERY_300, 0, 1, 1);
    g_settings.SetRecord(true);
    g_settings.SetRtmpServer(1, QStringLiteral("127.0.0.1"), QString::number(nPort), QStringLiteral("state"), strUrl);
    const int nTone = ToneDevice();
    QVERIFY(nTone >= 0);
    g_settings.SetAudioDevice(nTone, 0);
    m_pWnd = std::make_unique<CVistrel>();
    m_pWnd->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWnd.get(), s_nTimeoutMs));
    // The Settings tab opens the stored device as it is built.
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.HasAudioDevice() && !g_capture.HasPendingAudioDevice(), s_nTimeoutMs);
}

void TestE2eStream::Start()
{
    m_pWnd->GetOutputPanel()->findChild<QPushButton*>(QStringLiteral("buttonStart"))->click();
    QVERIFY(m_pWnd->GetOutputPanel()->IsRunning());
}

QString TestE2eStream::StoppedFilePath()
{
    m_pWnd->GetOutputPanel()->findChild<QPushButton*>(QStringLiteral("buttonStop"))->click();
    if (m_pWnd->GetOutputPanel()->IsRunning())
        return QString();
    const QString strVideo = m_pStorage->path() + QStringLiteral("/Video");
    const QStringList astrFiles = QDir(strVideo).entryList({QStringLiteral("*.mp4")}, QDir::Files);
    return astrFiles.size() == 1 ? strVideo + QLatin1Char('/') + astrFiles.first() : QString();
}

QString TestE2eStream::Living()
{
    QLabel* pLabel = m_pWnd->findChild<QLabel*>(QStringLiteral("labelLiving"));
    if (!pLabel || !pLabel->isVisibleTo(m_pWnd.get()))
        return QString();
    QString strText = pLabel->text();
    // Shown as before: styled like a link.
    if (!strText.startsWith(s_strLinkStyle))
        return QStringLiteral("unstyled: ") + strText;
    strText.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    if (m_astrLiving.isEmpty() || m_astrLiving.last() != strText)
        m_astrLiving << strText;
    return strText;
}

void TestE2eStream::WaitAudioSeconds(double dSeconds)
{
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioSamplesEncoded() >= uint64_t(dSeconds * SAMPLE_RATE), s_nTimeoutMs);
}

void TestE2eStream::statusFollowsTheServer()
{
    // The port of a server that is down when the session starts.
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    server.Stop();
    OpenWindow(server.GetPort(), server.GetUrl(QStringLiteral("state")), BITRATE_1000);
    Start();

    // Refused: trying again, and saying how often.
    const QRegularExpression reAttempt(QStringLiteral("^RTMP reconnecting \\(attempt (\\d+)\\)$"));
    auto attempt = [&](const QString& strText) {
        const QRegularExpressionMatch match = reAttempt.match(strText);
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(attempt(Living()) >= 2, s_nTimeoutMs);
    int nLast = 0;
    for (const QString& strText : m_astrLiving)
    {
        QVERIFY2(strText == QStringLiteral("RTMP connecting") || attempt(strText) > nLast,
                 qPrintable(m_astrLiving.join(QStringLiteral(" | "))));
        nLast = std::max(nLast, attempt(strText));
    }

    // The server comes up: the stream is found and really flows.
    QVERIFY2(server.Restart(), qPrintable(server.GetLog()));
    QTRY_COMPARE_WITH_TIMEOUT(Living(), QStringLiteral("RTMP publishing"), s_nTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(StreamStatus().nVideoSent > 25 && StreamStatus().nAudioSent > 25, s_nTimeoutMs);

    // The server goes away mid-stream: no longer shown as publishing.
    server.Stop();
    QTRY_VERIFY_WITH_TIMEOUT(attempt(Living()) >= 1, s_nTimeoutMs);

    // Two more seconds of the recording's own clock meanwhile.
    WaitAudioSeconds(double(g_capture.GetAudioSamplesEncoded()) / SAMPLE_RATE + 2.0);
    QVERIFY(attempt(Living()) >= 1);
    const double dRecorded = double(g_capture.GetAudioSamplesEncoded()) / SAMPLE_RATE;
    const QString strPath = StoppedFilePath();
    QVERIFY(!strPath.isEmpty());
    QVERIFY(Living().isEmpty());

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    const QString strDetail = info.Describe() + QStringLiteral(", recorded %1 s").arg(dRecorded);
    QVERIFY2(qAbs(info.dVideoSeconds - dRecorded) <= 0.5, qPrintable(strDetail));
    QVERIFY2(qAbs(info.dAudioSeconds - dRecorded) <= 0.5, qPrintable(strDetail));
    // Every frame the recording took is in the file; how many it could take
    // is the machine's speed, which the server's absence does not change.
    QVERIFY2(uint64_t(info.nVideoPackets) == g_capture.GetVideoFramesEncoded(),
             qPrintable(strDetail + QStringLiteral(", %1 frames taken").arg(g_capture.GetVideoFramesEncoded())));
}

void TestE2eStream::congestionCostsPictureOnly()
{
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    // The socket buffers take about a minute of this simple picture before
    // the client's queue sees the freeze; the highest rate makes it no longer.
    OpenWindow(server.GetPort(), server.GetUrl(QStringLiteral("frozen")), BITRATE_16000);
    Start();
    QTRY_COMPARE_WITH_TIMEOUT(Living(), QStringLiteral("RTMP publishing"), s_nTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(StreamStatus().nVideoSent > 25 && StreamStatus().nAudioSent > 25, s_nTimeoutMs);

    const KPL_RTMP_STATUS before = StreamStatus();
    const uint64_t nFramesAtFreeze = g_capture.GetVideoFramesEncoded();
    QVERIFY(server.Freeze(true));
    QTRY_VERIFY_WITH_TIMEOUT(StreamStatus().nVideoDropped > before.nVideoDropped, s_nFreezeTimeoutMs);
    const uint64_t nFramesAtDrop = g_capture.GetVideoFramesEncoded();
    const uint64_t nByteRate = g_capture.GetByteRate();
    QVERIFY(StreamStatus().nKeyFrameRequests > before.nKeyFrameRequests);

    // The sound keeps coming and waits for the server, none of it lost.
    const uint64_t nAudioQueued = StreamStatus().nAudioQueued;
    QTRY_VERIFY_WITH_TIMEOUT(StreamStatus().nAudioQueued >= nAudioQueued + 50, s_nTimeoutMs);
    QCOMPARE(StreamStatus().nAudioDropped, before.nAudioDropped);
    // The status bar no longer claims the stream gets through.
    QTRY_COMPARE_WITH_TIMEOUT(Living(), QStringLiteral("RTMP stalled"), s_nTimeoutMs);

    // Thawed before the stall outlasts the queue: the same connection goes
    // on with a key frame made for it.
    const uint64_t nKeysBeforeThaw = StreamStatus().nKeyFramesSent;
    QVERIFY(server.Freeze(false));
    QTRY_VERIFY_WITH_TIMEOUT(StreamStatus().nKeyFramesSent > nKeysBeforeThaw, s_nTimeoutMs);
    QCOMPARE(StreamStatus().nAudioDropped, before.nAudioDropped);
    const double dRecorded = double(g_capture.GetAudioSamplesEncoded()) / SAMPLE_RATE;
    const QString strPath = StoppedFilePath();
    QVERIFY(!strPath.isEmpty());

    // The same encoder wrote the file: the requested key frame is there.
    // Only a drop asks for a key frame off the interval, and the only drop
    // came after the freeze; how many frames it takes to arrive depends on
    // the machine's speed, so its distance from the drop is not held to.
    // The interval's own key frames may sit a frame off their multiple of
    // 300.
    const QList<int64_t> listKeys = ReadKeyFrames(strPath);
    const bool bRequested = std::any_of(listKeys.begin(), listKeys.end(), [&](int64_t nFrame) {
        const int64_t nFromInterval = std::min(nFrame % 300, 300 - nFrame % 300);
        return nFromInterval > 2 && nFrame > int64_t(nFramesAtFreeze);
    });
    QString strKeys;
    for (int64_t nFrame : listKeys)
        strKeys += QString::number(nFrame) + QLatin1Char(' ');
    qInfo("key frames at %s; freeze at frame %llu, drop seen at %llu, %llu bytes/s", qPrintable(strKeys),
          static_cast<unsigned long long>(nFramesAtFreeze), static_cast<unsigned long long>(nFramesAtDrop),
          static_cast<unsigned long long>(nByteRate));
    QVERIFY2(bRequested, qPrintable(QStringLiteral("keys %1; freeze at %2, drop seen at %3")
                                        .arg(strKeys)
                                        .arg(nFramesAtFreeze)
                                        .arg(nFramesAtDrop)));
    const SFileInfo info = ReadRecordedFile(strPath);
    const QString strDetail = info.Describe() + QStringLiteral(", recorded %1 s").arg(dRecorded);
    QVERIFY2(qAbs(info.dVideoSeconds - dRecorded) <= 0.5, qPrintable(strDetail));
    QVERIFY2(qAbs(info.dAudioSeconds - dRecorded) <= 0.5, qPrintable(strDetail));
}

void TestE2eStream::clientThatCannotStartShowsFailed()
{
    // Fields that pass the check, but a stream address no client takes.
    OpenWindow(1935, QStringLiteral("not-a-stream"), BITRATE_1000);
    Start();
    // The status bar says why, not only that it failed.
    QTRY_VERIFY_WITH_TIMEOUT(Living().startsWith(QStringLiteral("RTMP failed: ")), s_nTimeoutMs);
    // The address may hold the stream key, so even here it is masked.
    QVERIFY2(Living().contains(QStringLiteral("not a valid RTMP address")), qPrintable(Living()));
    QVERIFY2(!Living().contains(QStringLiteral("not-a-stream")), qPrintable(Living()));
    QVERIFY(!StoppedFilePath().isEmpty());
}

// One destination publishing and one whose server is down: the status bar
// sums them up, its tooltip names each, and neither key reaches the log.
void TestE2eStream::severalDestinationsSummedUp()
{
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    OpenWindow(server.GetPort(), server.GetUrl(QStringLiteral("state")), BITRATE_1000);
    SStreamDestination backup;
    backup.bEnabled = true;
    backup.strName = QStringLiteral("Backup");
    backup.strServer = QStringLiteral("rtmp://127.0.0.1:%1/live2").arg(GetFreePort());
    backup.strKey = QStringLiteral("s3cretBackupKey");
    QVERIFY(g_settings.SetStreamDestination(1, backup));

    CStderrCapture capture;
    Start();
    const QRegularExpression reSummary(
        QStringLiteral("^Streams: 1 publishing, 1 reconnecting \\(attempt ([2-9]|\\d\\d+)\\)$"));
    QTRY_VERIFY_WITH_TIMEOUT(reSummary.match(Living()).hasMatch(), s_nTimeoutMs);
    const QString strTip = m_pWnd->findChild<QLabel*>(QStringLiteral("labelLiving"))->toolTip();
    QVERIFY2(strTip.startsWith(QStringLiteral("Stream 1: RTMP publishing\nBackup: RTMP reconnecting (attempt ")),
             qPrintable(strTip));
    QVERIFY(!StoppedFilePath().isEmpty());
    const QByteArray baLog = capture.Bytes();
    QVERIFY2(baLog.contains("Backup"), baLog.constData());
    QVERIFY(!baLog.contains("s3cretBackupKey"));
    QVERIFY(!baLog.contains("/live/state"));
}

int main(int argc, char** argv)
{
    av_log_set_level(AV_LOG_WARNING);
    QApplication app(argc, argv);
    TestE2eStream test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_stream.moc"
