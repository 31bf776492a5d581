// Recording and streaming at once from virtual video and audio, read back
// from the finished file and from a loopback RTMP server; the server dying
// mid-session; the recording process itself dying mid-file.
#include "engine/CKVCapture.h"
#include "engine/CKVChannel.h"
#include "config/CSettings.h"
#include "config/OptionTables.h"
#include "engine/KVFrameDuration.h"
#include "RecordedFile.h"
#include "common/AppInfo.h"
#include "platform/CrashReport.h"
#include "RtmpTestUtil.h"
#include "TestRenderTarget.h"
#include "platform/Log.h"
#include "StderrCapture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

extern "C"
{
#include <libavformat/avformat.h>
}

namespace
{
const int SIZE_320X240 = 18;
const int RATE_25 = 2;
const int DURATION_25 = 400000;
const int SAMPLE_RATE = 48000;
const KVS_WINDOW PREVIEW_WINDOW = 0x7d0001;
const KVS_WINDOW CHANNEL_WINDOW = 0x7d0002;
const int s_nTimeoutMs = 60000;

class CTestNotify : public IKVRecordNotify
{
public:
    void OnRecordStarted(const QString&) override {}
    void OnRecordStopped() override {}
    void OnSnapshot(const QString&) override {}
    void EnableStart(bool) override {}
    void RefreshOutput() override {}
    int OnAudioDeviceReleased(KVS_HANDLE) override { return 0; }
    void OnError(int nCode) override { m_nLastError = nCode; }
    int CheckRtmpSettings(int) override { return 1; }

    std::atomic<int> m_nLastError{0};
};

void ConfigureOutput(const QString& strStorage)
{
    qputenv("VISTREL_VIRTUAL_VIDEO", "Camera");
    qputenv("VISTREL_VIRTUAL_AUDIO", "1");
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
    // Software encoding at 1000 Kbps: the same on every machine.
    g_settings.SetEncoderParam(0, 2, 4, 0, 2, 0, 1, 1);
    g_settings.SetDataStorage(strStorage);
}

int ToneDevice()
{
    // A sound server's sources, when there is one, come before the tone.
    for (int nIndex = 0; nIndex < g_capture.GetDeviceCount(false); ++nIndex)
    {
        QString strName;
        if (g_capture.GetDeviceName(false, nIndex, strName) && strName == QStringLiteral("Virtual Tone 1"))
            return nIndex;
    }
    return -1;
}

// One composed camera and the tone, as the program sets them up before a
// session.
bool OpenSources()
{
    if (!g_capture.CreateMixer(320, 240, DURATION_25, PREVIEW_WINDOW) || !g_capture.OpenChannel(0, 0, CHANNEL_WINDOW))
        return false;
    g_capture.PlaceChannel(0, 0, 0, 320, 240, 255, 0);
    const int nTone = ToneDevice();
    return nTone >= 0 && g_capture.OpenAudioDevice(nTone);
}

// nginx keeps its master's pid in its work folder; the folder is named on
// the master's command line, and the server on our port is the one whose
// configuration listens there.
QList<pid_t> FindNginx(int nPort)
{
    const QByteArray baListen = "127.0.0.1:" + QByteArray::number(nPort) + ";";
    const QStringList astrProcesses = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& strPid : astrProcesses)
    {
        QFile fileCmd(QStringLiteral("/proc/%1/cmdline").arg(strPid));
        if (!fileCmd.open(QIODevice::ReadOnly))
            continue;
        const QByteArray baCmd = fileCmd.readAll();
        if (!baCmd.startsWith("nginx: master process"))
            continue;
        // The master rewrites its arguments into one space-separated line.
        const QList<QByteArray> listArgs = baCmd.simplified().replace('\0', ' ').split(' ');
        const int nFlag = listArgs.indexOf("-p");
        if (nFlag < 0 || nFlag + 1 >= listArgs.size())
            continue;
        const QString strDir = QString::fromLocal8Bit(listArgs.at(nFlag + 1));
        QFile fileConf(strDir + QStringLiteral("/nginx.conf"));
        if (!fileConf.open(QIODevice::ReadOnly) || !fileConf.readAll().contains(baListen))
            continue;
        QList<pid_t> listPids{pid_t(strPid.toLongLong())};
        QFile fileChildren(QStringLiteral("/proc/%1/task/%1/children").arg(strPid));
        if (fileChildren.open(QIODevice::ReadOnly))
            for (const QByteArray& baChild : fileChildren.readAll().split(' '))
                if (baChild.trimmed().toLongLong() > 0)
                    listPids.append(pid_t(baChild.trimmed().toLongLong()));
        return listPids;
    }
    return {};
}

// The child side of killedRecordingStaysReadable: records until killed and
// reports the frames it has encoded.
int RunRecordingChild(int argc, char** argv, const QString& strPath)
{
    QGuiApplication app(argc, argv);
    ConfigureOutput(QFileInfo(strPath).absolutePath());
    if (!g_capture.Init())
        return 2;
    CTestRenderTarget preview(PREVIEW_WINDOW, 320, 240);
    CTestRenderTarget channel(CHANNEL_WINDOW, 80, 60);
    if (argc >= 4 && std::strcmp(argv[3], "--crash-reports") == 0 && !CrashReport::Install(VISTREL_VERSION_TEXT))
        return 4;
    if (!OpenSources() || !g_capture.StartRecord(strPath, QString()))
        return 3;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [] {
        std::printf("frames %llu\n", static_cast<unsigned long long>(g_capture.GetVideoFramesEncoded()));
        std::fflush(stdout);
    });
    timer.start(100);
    return app.exec();
}
}

class TestE2eRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void recordAndStreamTogether();
    void serverKilledRecordingGoesOn();
    void killedRecordingStaysReadable();
    void crashLeavesAReport();
    void busyMachineKeepsTracksInStep();
    void streamGetsKeyFramesEveryTwoSeconds();
    void recordingKeepsTheKeyFrameSetting();
    void recordingAtFastRates_data();
    void recordingAtFastRates();
    void streamKeyNeverWrittenOut();
    void mediaServerFansOutAsHls();

private:
    void WaitAudioSeconds(double dSeconds);

    QTemporaryDir m_dir;
    std::unique_ptr<CTestRenderTarget> m_pPreview;
    std::unique_ptr<CTestRenderTarget> m_pChannel;
    std::unique_ptr<CTestNotify> m_pNotify;
};

void TestE2eRecord::initTestCase()
{
    QVERIFY(m_dir.isValid());
    ConfigureOutput(m_dir.path());
}

void TestE2eRecord::init()
{
    QVERIFY(g_capture.Init());
    m_pPreview = std::make_unique<CTestRenderTarget>(PREVIEW_WINDOW, 320, 240);
    m_pChannel = std::make_unique<CTestRenderTarget>(CHANNEL_WINDOW, 80, 60);
    m_pNotify = std::make_unique<CTestNotify>();
    g_capture.AddNotify(m_pNotify.get());
}

void TestE2eRecord::cleanup()
{
    g_capture.StopRecord();
    g_capture.Uninit();
    g_capture.RemoveNotify(m_pNotify.get());
    QCoreApplication::processEvents();
    m_pNotify.reset();
    m_pChannel.reset();
    m_pPreview.reset();
}

void TestE2eRecord::WaitAudioSeconds(double dSeconds)
{
    // The recording's own clock, not the wall clock, decides the length.
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioSamplesEncoded() >= uint64_t(dSeconds * SAMPLE_RATE), s_nTimeoutMs);
}

void TestE2eRecord::recordAndStreamTogether()
{
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    QVERIFY(OpenSources());
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetAudioLevel() > 50, 20000);

    const QString strPath = m_dir.filePath(QStringLiteral("both.mp4"));
    const QString strUrl = server.GetUrl(QStringLiteral("both"));
    // The player waits for the publisher, as a viewer would.
    auto futureRead = std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 50, 80, 60000); });
    QVERIFY(g_capture.StartRecord(strPath, strUrl));
    WaitAudioSeconds(4.0);
    const CReadResult result = futureRead.get();
    const double dRecorded = double(g_capture.GetAudioSamplesEncoded()) / SAMPLE_RATE;
    g_capture.StopRecord();

    QVERIFY2(result.bOpened, qPrintable(server.GetLog()));
    QVERIFY(result.bVideoH264);
    QVERIFY2(result.nVideoPackets >= 50, qPrintable(QString::number(result.nVideoPackets)));

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    QCOMPARE(info.nVideoCodec, int(AV_CODEC_ID_H264));
    QVERIFY(info.bAudio);
    QCOMPARE(info.nAudioCodec, int(AV_CODEC_ID_AAC));
    const QString strDetail = info.Describe() + QStringLiteral(", recorded %1 s").arg(dRecorded);
    QVERIFY2(qAbs(info.dVideoSeconds - dRecorded) <= 0.5, qPrintable(strDetail));
    QVERIFY2(qAbs(info.dAudioSeconds - dRecorded) <= 0.5, qPrintable(strDetail));
}

void TestE2eRecord::serverKilledRecordingGoesOn()
{
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    QVERIFY(OpenSources());

    const QString strPath = m_dir.filePath(QStringLiteral("killedserver.mp4"));
    const QString strUrl = server.GetUrl(QStringLiteral("killed"));
    auto futureRead = std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 25, 40, 60000); });
    QVERIFY(g_capture.StartRecord(strPath, strUrl));
    // The stream really flows before the server goes.
    const CReadResult result = futureRead.get();
    QVERIFY2(result.nVideoPackets >= 25, qPrintable(server.GetLog()));
    WaitAudioSeconds(3.0);

    const QList<pid_t> listPids = FindNginx(server.GetPort());
    QVERIFY2(listPids.size() >= 2, qPrintable(QString::number(listPids.size())));
    for (pid_t nPid : listPids)
        QCOMPARE(kill(nPid, SIGKILL), 0);

    // Three more seconds of the recording's own clock: neither the file nor
    // the composition waits for the dead server.
    const uint64_t nSamplesAtKill = g_capture.GetAudioSamplesEncoded();
    WaitAudioSeconds(double(nSamplesAtKill) / SAMPLE_RATE + 3.0);
    QVERIFY(g_capture.IsRecording());
    const double dRecorded = double(g_capture.GetAudioSamplesEncoded()) / SAMPLE_RATE;
    g_capture.StopRecord();
    QVERIFY(!g_capture.IsRecording());
    // Read after the stop, which may repeat the last frame to meet the sound.
    const uint64_t nFramesTaken = g_capture.GetVideoFramesEncoded();

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    const QString strDetail = info.Describe() + QStringLiteral(", recorded %1 s").arg(dRecorded);
    QVERIFY2(qAbs(info.dVideoSeconds - dRecorded) <= 0.5, qPrintable(strDetail));
    // Every frame the recording took is in the file: how many it could take
    // depends on the machine's speed (a slow one records fewer, longer
    // frames), but the dead server costs the file none of them.
    QVERIFY2(uint64_t(info.nVideoPackets) == nFramesTaken,
             qPrintable(strDetail + QStringLiteral(", %1 frames taken").arg(nFramesTaken)));
    // Nor did the picture wait for it: a wait would last the client's
    // connection time-out (5 s).
    QVERIFY2(info.dLongestFrameSeconds < 4.0, qPrintable(strDetail));
    // A stream failure is not a file failure.
    QVERIFY2(m_pNotify->m_nLastError.load() != 2, qPrintable(QString::number(m_pNotify->m_nLastError.load())));
}

// Reads the child's frame counts until it has recorded nFrames; false when
// it ended or fell silent first.
bool WaitChildFrames(QProcess& child, qulonglong nFrames)
{
    qulonglong nDone = 0;
    while (nDone < nFrames && child.state() == QProcess::Running)
    {
        if (!child.canReadLine() && !child.waitForReadyRead(s_nTimeoutMs))
            break;
        while (child.canReadLine())
        {
            const QByteArray baOutput = child.readLine().trimmed();
            if (baOutput.startsWith("frames "))
                nDone = baOutput.mid(7).toULongLong();
        }
    }
    return nDone >= nFrames && child.state() == QProcess::Running;
}

void TestE2eRecord::killedRecordingStaysReadable()
{
    const QString strPath = m_dir.filePath(QStringLiteral("killedprocess.mp4"));
    QProcess child;
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--recording-child"), strPath});
    QVERIFY(child.waitForStarted(30000));
    // Eight seconds by the child's recording clock: 200 frames at 25 fps.
    QVERIFY(WaitChildFrames(child, 200));
    child.kill();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    QCOMPARE(info.nVideoCodec, int(AV_CODEC_ID_H264));
    QVERIFY2(info.dVideoSeconds >= 6.0, qPrintable(info.Describe()));
}

// A recording process that crashes: a report with the signal, a backtrace
// and the last diagnostics, a file that still plays, and the report named
// once at the next start.
void TestE2eRecord::crashLeavesAReport()
{
    QTemporaryDir dirState;
    qputenv("XDG_STATE_HOME", QFile::encodeName(dirState.path()));
    const QString strPath = m_dir.filePath(QStringLiteral("crashed.mp4"));
    QProcess child;
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--recording-child"), strPath, QStringLiteral("--crash-reports")});
    QVERIFY(child.waitForStarted(30000));
    QVERIFY(WaitChildFrames(child, 100));
    QCOMPARE(kill(pid_t(child.processId()), SIGSEGV), 0);
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const QStringList astrReports =
        QDir(CrashReport::GetFolder()).entryList({QStringLiteral("crash-*.txt")}, QDir::Files);
    QCOMPARE(astrReports.size(), 1);
    const QString strReport = QDir(CrashReport::GetFolder()).filePath(astrReports.first());
    QFile file(strReport);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString strText = QString::fromUtf8(file.readAll());
    QVERIFY2(strText.startsWith(QStringLiteral("Vistrel " VISTREL_VERSION_TEXT " crashed: SIGSEGV (11)\ntime: 20")),
             qPrintable(strText));
    // A frame or more of the program, then what it last logged.
    const int nBacktrace = strText.indexOf(QStringLiteral("\nbacktrace:\n"));
    const int nDiagnostics = strText.indexOf(QStringLiteral("\nlast diagnostics:\n"));
    QVERIFY2(nBacktrace > 0 && nDiagnostics > nBacktrace &&
                 strText.mid(nBacktrace, nDiagnostics - nBacktrace).count(QLatin1Char('\n')) >= 3,
             qPrintable(strText));
    QCOMPARE(QFileInfo(strReport).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    QVERIFY2(info.dVideoSeconds >= 2.0, qPrintable(info.Describe()));
    // Named once.
    QCOMPARE(CrashReport::TakeUnseenReport(), strReport);
    QCOMPARE(CrashReport::TakeUnseenReport(), QString());
    qunsetenv("XDG_STATE_HOME");
}

void TestE2eRecord::busyMachineKeepsTracksInStep()
{
    // 1080p at the slowest preset, with every core kept busy beside it: far
    // fewer frames can be encoded than the mixer composes.
    g_settings.SetOutputFormat(0, RATE_25);
    g_settings.SetEncoderParam(0, 0, 4, 0, 2, 0, 1, 1);
    std::atomic<bool> bBusy{true};
    std::vector<std::thread> vecBusy;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
        vecBusy.emplace_back([&bBusy] {
            volatile uint64_t nSpin = 0;
            while (bBusy.load(std::memory_order_relaxed))
                ++nSpin;
        });
    const auto fnRelease = [&] {
        bBusy = false;
        for (std::thread& thread : vecBusy)
            thread.join();
        vecBusy.clear();
        ConfigureOutput(m_dir.path());
    };

    const bool bOpened = g_capture.CreateMixer(1920, 1080, DURATION_25, PREVIEW_WINDOW) &&
                         g_capture.OpenChannel(0, 0, CHANNEL_WINDOW) && ToneDevice() >= 0 &&
                         g_capture.OpenAudioDevice(ToneDevice());
    if (bOpened)
        g_capture.PlaceChannel(0, 0, 0, 1920, 1080, 255, 0);
    const QString strPath = m_dir.filePath(QStringLiteral("busy.mp4"));
    const bool bStarted = bOpened && g_capture.StartRecord(strPath, QString());
    // Checked on the file below.
    if (bStarted)
        (void)QTest::qWaitFor([] { return g_capture.GetAudioSamplesEncoded() >= 6 * SAMPLE_RATE; }, s_nTimeoutMs);
    g_capture.StopRecord();
    fnRelease();
    QVERIFY(bStarted);

    const SFileInfo info = ReadRecordedFile(strPath);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    QCOMPARE(info.nWidth, 1920);
    QVERIFY2(info.dAudioSeconds >= 6.0, qPrintable(info.Describe()));
    // However few frames made it, the picture lasts as long as the sound.
    QVERIFY2(qAbs(info.dVideoSeconds - info.dAudioSeconds) <= 0.04 + 1024.0 / SAMPLE_RATE, qPrintable(info.Describe()));
}

namespace
{
// The longest Key Frame setting: 900 frames, 36 s at 25 fps.
const int KEY_FRAME_LONGEST = 0;
const int64_t FRAME_MS_25 = 40;

// The most frames between two key frames (the second not counted).
int LongestKeyGap(const std::vector<CReadPacket>& vecPackets)
{
    int nLongest = 0;
    int nSinceKey = 0;
    for (const CReadPacket& packet : vecPackets)
    {
        if (packet.bKey)
            nSinceKey = 0;
        nLongest = std::max(nLongest, ++nSinceKey);
    }
    return nLongest;
}
}

void TestE2eRecord::streamGetsKeyFramesEveryTwoSeconds()
{
    g_settings.SetEncoderParam(0, 2, 4, 0, KEY_FRAME_LONGEST, 0, 1, 1);
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    QVERIFY(OpenSources());

    const QString strPath = m_dir.filePath(QStringLiteral("keys.mp4"));
    const QString strUrl = server.GetUrl(QStringLiteral("keys"));
    // Seven seconds of pictures: three key intervals at least.
    auto futureRead = std::async(std::launch::async, [strUrl] { return ReadVideoPackets(strUrl, 175, 90000); });
    QVERIFY(g_capture.StartRecord(strPath, strUrl));
    const std::vector<CReadPacket> vecPackets = futureRead.get();
    g_capture.StopRecord();
    ConfigureOutput(m_dir.path());

    QVERIFY2(vecPackets.size() >= 175, qPrintable(QString::number(vecPackets.size())));
    // A player that joins gets a picture from its very first packet.
    QVERIFY(vecPackets.front().bKey);
    // By time stamps; a loaded machine that skipped frames stretches the
    // interval by the frames it skipped, never by more.
    int64_t nLastKey = vecPackets.front().nMs;
    int64_t nSkipped = 0;
    int nKeys = 1;
    for (size_t i = 1; i < vecPackets.size(); ++i)
    {
        nSkipped += std::max<int64_t>(0, vecPackets[i].nMs - vecPackets[i - 1].nMs - FRAME_MS_25);
        if (!vecPackets[i].bKey)
            continue;
        const int64_t nGap = vecPackets[i].nMs - nLastKey;
        QVERIFY2(nGap <= 2000 + nSkipped, qPrintable(QStringLiteral("key frames %1 ms apart at %2 ms, %3 ms skipped")
                                                         .arg(nGap)
                                                         .arg(vecPackets[i].nMs)
                                                         .arg(nSkipped)));
        nLastKey = vecPackets[i].nMs;
        nSkipped = 0;
        ++nKeys;
    }
    QVERIFY2(nKeys >= 3, qPrintable(QString::number(nKeys)));
    QVERIFY2(vecPackets.back().nMs - nLastKey <= 2000 + nSkipped, qPrintable(QString::number(nLastKey)));
}

void TestE2eRecord::recordingKeepsTheKeyFrameSetting()
{
    g_settings.SetEncoderParam(0, 2, 4, 0, KEY_FRAME_LONGEST, 0, 1, 1);
    QVERIFY(OpenSources());
    const QString strPath = m_dir.filePath(QStringLiteral("longgop.mp4"));
    QVERIFY(g_capture.StartRecord(strPath, QString()));
    // Past the stream's 50 frames, well short of the setting's 900.
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() >= 80, s_nTimeoutMs);
    g_capture.StopRecord();
    ConfigureOutput(m_dir.path());

    const std::vector<CReadPacket> vecPackets = ReadVideoPackets(strPath, 1000, s_nTimeoutMs);
    QVERIFY2(vecPackets.size() >= 80, qPrintable(QString::number(vecPackets.size())));
    QVERIFY(vecPackets.front().bKey);
    QVERIFY2(LongestKeyGap(vecPackets) > 75, qPrintable(QString::number(LongestKeyGap(vecPackets))));
}

void TestE2eRecord::recordingAtFastRates_data()
{
    QTest::addColumn<int>("nRateIndex");
    QTest::addColumn<double>("dRate");
    QTest::newRow("60") << 8 << 60.0;
    QTest::newRow("59.94") << 9 << 59.94;
    QTest::newRow("50") << 10 << 50.0;
}

void TestE2eRecord::recordingAtFastRates()
{
    QFETCH(int, nRateIndex);
    QFETCH(double, dRate);
    // The whole session at the stored rate: cameras, mixer, encoder and
    // file all take their frame duration from the setting.
    g_settings.SetOutputFormat(SIZE_320X240, nRateIndex);
    const int nDuration = FrameDurationFromRate(GetFrameRate(nRateIndex));
    const bool bOpened = g_capture.CreateMixer(320, 240, nDuration, PREVIEW_WINDOW) &&
                         g_capture.OpenChannel(0, 0, CHANNEL_WINDOW) && g_capture.OpenAudioDevice(ToneDevice());
    g_capture.PlaceChannel(0, 0, 0, 320, 240, 255, 0);
    const QString strPath = m_dir.filePath(QStringLiteral("rate%1.mp4").arg(nRateIndex));
    const bool bStarted = bOpened && g_capture.StartRecord(strPath, QString());
    ConfigureOutput(m_dir.path());
    QVERIFY(bStarted);
    QCOMPARE(g_capture.GetChannel(0)->GetFrameDuration(), nDuration);
    WaitAudioSeconds(3.0);
    const double dRecorded = double(g_capture.GetAudioSamplesEncoded()) / SAMPLE_RATE;
    g_capture.StopRecord();

    const SFileInfo info = ReadRecordedFile(strPath);
    const QString strDetail = info.Describe() + QStringLiteral(", %1 fps base rate, frames of %2 s, time base %3/%4")
                                                    .arg(info.dFrameRate)
                                                    .arg(info.dMedianFrameSeconds)
                                                    .arg(info.nTimeBaseNum)
                                                    .arg(info.nTimeBaseDen);
    QVERIFY2(info.bOpened, qPrintable(strPath));
    QVERIFY2(qAbs(info.dFrameRate - dRate) < 0.01, qPrintable(strDetail));
    // The stamps count in units that hold one frame duration exactly.
    QVERIFY2(info.nTimeBaseNum > 0 &&
                 (int64_t(nDuration) * info.nTimeBaseDen) % (int64_t(10000000) * info.nTimeBaseNum) == 0,
             qPrintable(strDetail));
    QVERIFY2(qAbs(info.dMedianFrameSeconds - nDuration / 1e7) < 1e-6, qPrintable(strDetail));
    // A busy machine drops frames and lets others last longer, so only the
    // shape is held: the video spans the recording and never holds more
    // frames than its length has room for.
    QVERIFY2(qAbs(info.dVideoSeconds - dRecorded) <= 0.5, qPrintable(strDetail));
    QVERIFY2(info.nVideoPackets <= int(info.dVideoSeconds * dRate) + 2, qPrintable(strDetail));
    QVERIFY2(info.nVideoPackets >= int(info.dVideoSeconds * dRate) / 4, qPrintable(strDetail));
}

namespace
{
// Standard error into a file for the object's lifetime.

const QString s_strKey = QStringLiteral("k3ySecretXYZ");

bool StreamReconnecting(int nMinAttempt)
{
    int nAttempt = 0;
    return g_capture.GetStreamState(nAttempt) == CKVCapture::STREAM_RECONNECTING && nAttempt >= nMinAttempt;
}
}

void TestE2eRecord::streamKeyNeverWrittenOut()
{
    QVERIFY(OpenSources());
    CNginxRtmp server;
    QVERIFY2(server.Start(), qPrintable(server.GetLog()));
    CStderrCapture capture;

    // Nothing listens on the port.
    QVERIFY(g_capture.StartRecord(QString(),
                                  QStringLiteral("rtmp://127.0.0.1:%1/live/%2").arg(GetFreePort()).arg(s_strKey)));
    QTRY_VERIFY_WITH_TIMEOUT(StreamReconnecting(1), s_nTimeoutMs);
    g_capture.StopRecord();

    // An address the client cannot take.
    QString strReason;
    g_capture.StartRecord(QString(), QStringLiteral("rtmp://127.0.0.1:99999/live/%1").arg(s_strKey), strReason);
    int nAttempt = 0;
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetStreamState(nAttempt) == CKVCapture::STREAM_FAILED || StreamReconnecting(1),
                             s_nTimeoutMs);
    const QString strStreamError = g_capture.GetStreamError() + strReason;
    g_capture.StopRecord();

    // A server killed while the stream flows.
    const QString strUrl = server.GetUrl(s_strKey);
    auto futureRead = std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 10, 0, 60000); });
    QVERIFY(g_capture.StartRecord(QString(), strUrl));
    QVERIFY2(futureRead.get().nVideoPackets >= 10, qPrintable(server.GetLog()));
    for (pid_t nPid : FindNginx(server.GetPort()))
        QCOMPARE(kill(nPid, SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(StreamReconnecting(2), s_nTimeoutMs);
    g_capture.StopRecord();

    const QString strErr = capture.Text();
    QVERIFY2(!strErr.contains(s_strKey), qPrintable(strErr));
    QVERIFY2(!strStreamError.contains(s_strKey), qPrintable(strStreamError));
    // The failures were reported, with the address masked.
    QVERIFY2(strErr.contains(QStringLiteral("/live/...")), qPrintable(strErr));

    // Nor in the lines kept for a crash report.
    QFile fileRecent(m_dir.filePath(QStringLiteral("recent.txt")));
    QVERIFY(fileRecent.open(QIODevice::ReadWrite | QIODevice::Truncate));
    Log::WriteRecent(fileRecent.handle());
    fileRecent.seek(0);
    const QString strRecent = QString::fromUtf8(fileRecent.readAll());
    QVERIFY2(!strRecent.contains(s_strKey), qPrintable(strRecent));
}

// One pushed stream, many players: the media server turns it into HLS, and
// a player reads the playlist and its segments over HTTP.
void TestE2eRecord::mediaServerFansOutAsHls()
{
    CNginxRtmp server;
    QVERIFY2(server.Start(true), qPrintable(server.GetLog()));
    QVERIFY(OpenSources());
    QVERIFY(g_capture.StartRecord(QString(), server.GetUrl(QStringLiteral("fan"))));

    // The playlist exists once the first segment is complete.
    const QString strPlaylist = server.GetHlsPlaylistUrl(QStringLiteral("fan"));
    std::vector<CReadPacket> vecPackets;
    QTRY_VERIFY2_WITH_TIMEOUT((vecPackets = ReadVideoPackets(strPlaylist, 25, 20000)).size() >= 25,
                              qPrintable(server.GetLog()), s_nTimeoutMs);
    g_capture.StopRecord();
    // A segment starts on a key frame, so a player gets a picture at once.
    QVERIFY(vecPackets.front().bKey);
    for (size_t i = 1; i < vecPackets.size(); ++i)
        QVERIFY2(vecPackets[i].nMs > vecPackets[i - 1].nMs, qPrintable(QString::number(i)));
}

int main(int argc, char** argv)
{
    av_log_set_level(AV_LOG_WARNING);
    if (argc >= 3 && std::strcmp(argv[1], "--recording-child") == 0)
        return RunRecordingChild(argc, argv, QString::fromLocal8Bit(argv[2]));
    QGuiApplication app(argc, argv);
    TestE2eRecord test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_record.moc"
