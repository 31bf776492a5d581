// Display texts, RTMP field checks and file paths of the common helpers.
#include "config/CSettings.h"
#include "common/DiskSpace.h"
#include "common/Formatting.h"
#include "common/OutputPaths.h"
#include "common/StreamDestination.h"
#include "common/StreamFields.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestHelpers : public QObject
{
    Q_OBJECT

private slots:
    void FormatSizeSteps_data();
    void FormatSizeSteps();
    void FormatBitRateSteps_data();
    void FormatBitRateSteps();
    void IpAddress_data();
    void IpAddress();
    void Port_data();
    void Port();
    void StreamName_data();
    void StreamName();
    void FreeSpace();
    void RoomToFinish();
    void ExeDir();
    void FilePaths();
    void FilePathsBelowStorage();
    void DiskGuardSecondsLeft();
    void LowFrameRate();
    void RtmpFieldsError();
    void StreamDestinations_data();
    void StreamDestinations();
    void StoredDestinationsStreamed();
};

void TestHelpers::FormatSizeSteps_data()
{
    QTest::addColumn<qint64>("nBytes");
    QTest::addColumn<QString>("strText");
    const qint64 nKB = 1024, nMB = nKB * 1024, nGB = nMB * 1024;
    QTest::newRow("zero") << qint64(0) << "0 B";
    QTest::newRow("negative") << qint64(-5) << "-5 B";
    QTest::newRow("below KB") << qint64(1023) << "1023 B";
    QTest::newRow("one KB") << nKB << "1.00 KB";
    QTest::newRow("KB and a half") << nKB + 512 << "1.50 KB";
    QTest::newRow("below MB") << nMB - 1 << "1024.00 KB";
    QTest::newRow("one MB") << nMB << "1.00 MB";
    QTest::newRow("below GB") << nGB - 1 << "1024.00 MB";
    QTest::newRow("one GB") << nGB << "1.00 GB";
    QTest::newRow("no unit above GB") << 2 * nGB * 1024 << "2048.00 GB";
    QTest::newRow("beyond 32 bits") << qint64(5) * nGB + nGB / 4 << "5.25 GB";
}

void TestHelpers::FormatSizeSteps()
{
    QFETCH(qint64, nBytes);
    QFETCH(QString, strText);
    QCOMPARE(FormatSize(nBytes), strText);
}

void TestHelpers::FormatBitRateSteps_data()
{
    QTest::addColumn<float>("fRate");
    QTest::addColumn<QString>("strText");
    QTest::newRow("zero") << 0.0f << "0.00 b/s";
    QTest::newRow("exactly 1024 bits stays") << 128.0f << "1024.00 b/s";
    QTest::newRow("just above 1024 bits") << 129.0f << "1.01 Kb/s";
    QTest::newRow("Mb") << 1048576.0f << "8.00 Mb/s";
    QTest::newRow("Gb") << 1073741824.0f << "8.00 Gb/s";
    // 1024 Gb/s and beyond have no unit of their own and must not step off
    // the end of the unit table.
    QTest::newRow("beyond Gb") << 1024.0f * 1073741824.0f << "8192.00 Gb/s";
    QTest::newRow("far beyond Gb") << float(1ULL << 60) << "8589934592.00 Gb/s";
}

void TestHelpers::FormatBitRateSteps()
{
    QFETCH(float, fRate);
    QFETCH(QString, strText);
    QCOMPARE(FormatBitRate(fRate), strText);
}

void TestHelpers::IpAddress_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<bool>("bValid");
    QTest::newRow("private") << "192.168.1.10" << true;
    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("edges") << "0.0.0.0" << true;
    QTest::newRow("broadcast") << "255.255.255.255" << true;
    QTest::newRow("leading zero") << "010.1.1.1" << true;
    QTest::newRow("256") << "256.1.1.1" << false;
    QTest::newRow("three parts") << "1.2.3" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;
    QTest::newRow("trailing blank") << "1.2.3.4 " << false;
    QTest::newRow("leading blank") << " 1.2.3.4" << false;
    QTest::newRow("host name") << "localhost" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("four digits") << "1000.1.1.1" << false;
    QTest::newRow("trailing dot") << "1.2.3.4." << false;
    QTest::newRow("newline after") << "1.2.3.4\n" << false;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\xd9\xa1.\xd9\xa2.\xd9\xa3.\xd9\xa4") << false;
}

void TestHelpers::IpAddress()
{
    QFETCH(QString, strText);
    QFETCH(bool, bValid);
    QCOMPARE(IsValidIPAddress(strText), bValid);
}

void TestHelpers::Port_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<bool>("bValid");
    QTest::newRow("rtmp") << "1935" << true;
    QTest::newRow("one") << "1" << true;
    QTest::newRow("highest") << "65535" << true;
    QTest::newRow("leading zeros") << "01935" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("zeros") << "000" << false;
    QTest::newRow("negative") << "-1" << false;
    QTest::newRow("plus sign") << "+1935" << false;
    QTest::newRow("inner blank") << "19 35" << false;
    QTest::newRow("above 16 bits") << "65536" << false;
    QTest::newRow("70000") << "70000" << false;
    QTest::newRow("beyond 32 bits") << "4294968231" << false;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\xd9\xa1\xd9\xa9\xd9\xa3\xd9\xa5") << false;
}

void TestHelpers::Port()
{
    QFETCH(QString, strText);
    QFETCH(bool, bValid);
    QCOMPARE(IsValidPort(strText), bValid);
}

void TestHelpers::StreamName_data()
{
    QTest::addColumn<QString>("strText");
    QTest::addColumn<bool>("bValid");
    QTest::newRow("mixed") << "live_01-a" << true;
    QTest::newRow("one letter") << "A" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blank") << "live 01" << false;
    QTest::newRow("slash") << "live/01" << false;
    QTest::newRow("bar") << "live|01" << false;
    QTest::newRow("query") << "live?x=1" << false;
    QTest::newRow("non-ascii letter") << QString::fromUtf8("caf\xc3\xa9") << false;
    QTest::newRow("trailing newline") << "live\n" << false;
}

void TestHelpers::StreamName()
{
    QFETCH(QString, strText);
    QFETCH(bool, bValid);
    QCOMPARE(IsValidStreamName(strText), bValid);
}

void TestHelpers::FreeSpace()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(GetFreeDiskSpace(dir.path()) > 0);
    QCOMPARE(GetFreeDiskSpace(dir.path() + QStringLiteral("/no/such/folder")), uint64_t(0));
    QCOMPARE(GetFreeDiskSpace(QString()), uint64_t(0));
}

void TestHelpers::RoomToFinish()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(CheckRoomToFinish(dir.path(), 4096), EFinishRoom::Enough);
    QCOMPARE(CheckRoomToFinish(dir.path(), UINT64_MAX), EFinishRoom::Short);
    // A folder taken away measures no free space, yet no freeing of space
    // brings it back: asking the user again would never end.
    const QString strGone = dir.filePath(QStringLiteral("Video"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Video")));
    QVERIFY(QDir(strGone).removeRecursively());
    QCOMPARE(CheckRoomToFinish(strGone, 4096), EFinishRoom::FolderUnusable);
    QCOMPARE(CheckRoomToFinish(strGone, 0), EFinishRoom::FolderUnusable);
    QVERIFY(IsFolderWritable(dir.path()));
    QVERIFY(!IsFolderWritable(strGone));
}

void TestHelpers::ExeDir()
{
    QCOMPARE(GetExeDir(), QCoreApplication::applicationDirPath());
    QVERIFY(!GetExeDir().endsWith(QLatin1Char('/')));
}

void TestHelpers::FilePaths()
{
    const QString strRoot = QDir::fromNativeSeparators(QDir::tempPath() + QStringLiteral("/Data"));
    const QString strName = QStringLiteral("2015.06.01 10.20.30.mp4");
    QCOMPARE(MakeRecordFilePath(strRoot, strName),
             QDir::toNativeSeparators(strRoot + QStringLiteral("/Video/2015.06.01 10.20.30.mp4")));
    QCOMPARE(MakeSnapshotFilePath(strRoot, QStringLiteral("a.jpg")),
             QDir::toNativeSeparators(strRoot + QStringLiteral("/Snapshot/a.jpg")));
}

void TestHelpers::FilePathsBelowStorage()
{
    // The storage folder comes from the settings, which create it with its
    // two sub-folders when none is stored yet.
    const QString strPath = GetRecordFilePath(QStringLiteral("x.mp4"));
    const QString strRoot = g_settings.GetDataStorage();
    QVERIFY(!strRoot.isEmpty());
    QCOMPARE(strPath, MakeRecordFilePath(strRoot, QStringLiteral("x.mp4")));
    QVERIFY(QFileInfo(QFileInfo(strPath).absolutePath()).isDir());
    const QString strShot = GetSnapshotFilePath(QStringLiteral("y.jpg"));
    QVERIFY(QFileInfo(QFileInfo(strShot).absolutePath()).isDir());
}

void TestHelpers::DiskGuardSecondsLeft()
{
    // No rate measured yet: never a warning.
    QCOMPARE(GetRecordSecondsLeft(1000, 0, 0), int64_t(10000));
    QCOMPARE(GetRecordSecondsLeft(0, 4096, 0), int64_t(10000));
    // 250 s left at 8 Mb/s: warned (below 300), still recording.
    QCOMPARE(GetRecordSecondsLeft(250000000 + 4096, 4096, 1000000), int64_t(250));
    // 9 s: stopped (below 10).
    QCOMPARE(GetRecordSecondsLeft(9000000 + 4096, 4096, 1000000), int64_t(9));
    QCOMPARE(GetRecordSecondsLeft(9999999, 0, 1000000), int64_t(9));
    QCOMPARE(GetRecordSecondsLeft(10000000, 0, 1000000), int64_t(10));
    // Not even the end of the file fits; no wrap-around of the difference.
    QCOMPARE(GetRecordSecondsLeft(4096, 4096, 1000000), int64_t(0));
    QCOMPARE(GetRecordSecondsLeft(100, 4096, 1), int64_t(0));
    // Terabytes free at a slow rate stay exact.
    QCOMPARE(GetRecordSecondsLeft(uint64_t(4) << 40, 0, 1024), int64_t(uint64_t(4) << 30));
}

void TestHelpers::LowFrameRate()
{
    // 25 fps configured: below 20 fps counts as low.
    QVERIFY(IsFrameRateLow(19.9f, 400000));
    QVERIFY(!IsFrameRateLow(20.0f, 400000));
    QVERIFY(!IsFrameRateLow(25.0f, 400000));
    // 60 fps: 48 is the limit.
    QVERIFY(IsFrameRateLow(47.5f, 166666));
    QVERIFY(!IsFrameRateLow(48.5f, 166666));
    // No output format known: nothing to compare with.
    QVERIFY(!IsFrameRateLow(0.0f, 0));
}

void TestHelpers::RtmpFieldsError()
{
    QVERIFY(GetRtmpFieldsError(QStringLiteral("127.0.0.1"), QStringLiteral("1935"), QStringLiteral("cam1")).isEmpty());
    // The address is reported before the port, the port before the name.
    QCOMPARE(GetRtmpFieldsError(QStringLiteral("host"), QStringLiteral("0"), QStringLiteral("a b")),
             QStringLiteral("RTMP IP address is invalid!"));
    QCOMPARE(GetRtmpFieldsError(QStringLiteral("127.0.0.1"), QStringLiteral("0"), QStringLiteral("a b")),
             QStringLiteral("RTMP port is invalid!"));
    QCOMPARE(GetRtmpFieldsError(QStringLiteral("127.0.0.1"), QStringLiteral("1935"), QString()),
             QStringLiteral("RTMP stream name is invalid!\nOnly letter, number, '-' and '_' are supported!"));
}

void TestHelpers::StreamDestinations_data()
{
    QTest::addColumn<QString>("strServer");
    QTest::addColumn<QString>("strKey");
    QTest::addColumn<int>("nLatency");
    QTest::addColumn<QString>("strPassphrase");
    QTest::addColumn<QString>("strUrl");
    QTest::addColumn<QString>("strError");
    // A bare address composes and checks as it always did.
    QTest::newRow("address") << "127.0.0.1"
                             << "cam1" << 0 << ""
                             << "rtmp://127.0.0.1:1935/live/cam1"
                             << "";
    QTest::newRow("address, bad name")
        << "127.0.0.1"
        << "a-b?c" << 0 << ""
        << "rtmp://127.0.0.1:1935/live/a-b?c"
        << "RTMP stream name is invalid!\nOnly letter, number, '-' and '_' are supported!";
    // As platforms hand them out: the server URL, "/", the key.
    QTest::newRow("rtmp app") << "rtmp://a.example/live2/"
                              << "ab-12?x=1" << 0 << ""
                              << "rtmp://a.example/live2/ab-12?x=1"
                              << "";
    QTest::newRow("rtmps port") << "rtmps://b.example:443/app"
                                << "k" << 0 << ""
                                << "rtmps://b.example:443/app/k"
                                << "";
    QTest::newRow("key in url") << "rtmp://a.example/app/key"
                                << "" << 0 << ""
                                << "rtmp://a.example/app/key"
                                << "";
    QTest::newRow("no app") << "rtmp://a.example"
                            << "k" << 0 << ""
                            << "rtmp://a.example/k"
                            << "The server URL needs an application, as in rtmp://host/app.";
    QTest::newRow("no key") << "rtmp://a.example/app"
                            << "" << 0 << ""
                            << "rtmp://a.example/app"
                            << "The stream key is empty.";
    QTest::newRow("key with space") << "rtmp://a.example/app"
                                    << "a b" << 0 << ""
                                    << "rtmp://a.example/app/a b"
                                    << "The stream key cannot contain spaces or ','.";
    QTest::newRow("other scheme") << "http://a.example/app"
                                  << "k" << 0 << ""
                                  << "http://a.example/app/k"
                                  << "The server URL must begin with rtmp://, rtmps:// or srt://.";
    QTest::newRow("no host") << "rtmp:///app"
                             << "k" << 0 << ""
                             << "rtmp:///app/k"
                             << "The server URL is invalid.";
    // SRT: the key is the stream id (escaped), latency in microseconds.
    QTest::newRow("srt") << "srt://127.0.0.1:9000"
                         << "#!::r=live/k,m=publish" << 250 << "0123456789"
                         << "srt://127.0.0.1:9000?streamid=%23%21%3A%3Ar%3Dlive%2Fk%2Cm%3Dpublish&latency=250000"
                            "&passphrase=0123456789"
                         << "The stream key cannot contain spaces or ','.";
    QTest::newRow("srt plain") << "srt://127.0.0.1:9000?mode=caller"
                               << "" << 0 << ""
                               << "srt://127.0.0.1:9000?mode=caller"
                               << "";
    QTest::newRow("srt no port") << "srt://127.0.0.1"
                                 << "k" << 0 << ""
                                 << "srt://127.0.0.1?streamid=k"
                                 << "An SRT server URL needs a port, as in srt://host:port.";
    QTest::newRow("srt short passphrase")
        << "srt://127.0.0.1:9000"
        << "" << 0 << "short"
        << "srt://127.0.0.1:9000?passphrase=short"
        << "The SRT passphrase must be 10 to 79 characters, without spaces, '&', '#' or ','.";
}

void TestHelpers::StreamDestinations()
{
    QFETCH(QString, strServer);
    QFETCH(QString, strKey);
    QFETCH(int, nLatency);
    QFETCH(QString, strPassphrase);
    QFETCH(QString, strUrl);
    QFETCH(QString, strError);
    SStreamDestination destination;
    destination.strServer = strServer;
    destination.strPort = QStringLiteral("1935");
    destination.strKey = strKey;
    destination.nSrtLatencyMs = nLatency;
    destination.strSrtPassphrase = strPassphrase;
    QCOMPARE(ComposeStreamUrl(destination), strUrl);
    QCOMPARE(GetStreamDestinationError(destination), strError);
}

// What a session streams to, read from the stored settings: the first
// destination from the record older builds read, the others composed, the
// first bad field named with its destination.
void TestHelpers::StoredDestinationsStreamed()
{
    // The test's own settings folder.
    g_settings.clear();
    QVERIFY(GetEnabledStreamTargets().empty());
    SStreamDestination first;
    first.bEnabled = true;
    first.strServer = QStringLiteral("10.1.2.3");
    first.strPort = QStringLiteral("1936");
    first.strKey = QStringLiteral("cam1");
    first.strUrl = ComposeStreamUrl(first);
    QVERIFY(g_settings.SetStreamDestination(0, first));
    QCOMPARE(g_settings.value(QStringLiteral("RtmpServer")).toString(),
             QStringLiteral("1,10.1.2.3,1936,cam1,rtmp://10.1.2.3:1936/live/cam1"));
    SStreamDestination third;
    third.bEnabled = true;
    third.strName = QStringLiteral("Platform");
    third.strServer = QStringLiteral("rtmps://b.example/app");
    QVERIFY(g_settings.SetStreamDestination(2, third));
    SStreamDestination second = third;
    second.bEnabled = false;
    QVERIFY(g_settings.SetStreamDestination(1, second));

    const std::vector<SStreamTarget> vecTargets = GetEnabledStreamTargets();
    QCOMPARE(int(vecTargets.size()), 2);
    QCOMPARE(vecTargets[0].strName, QStringLiteral("Stream 1"));
    QCOMPARE(vecTargets[0].strUrl, QStringLiteral("rtmp://10.1.2.3:1936/live/cam1"));
    QCOMPARE(vecTargets[1].strName, QStringLiteral("Platform"));
    QCOMPARE(vecTargets[1].strUrl, QStringLiteral("rtmps://b.example/app"));
    QCOMPARE(GetEnabledStreamDestinationsError(), QStringLiteral("Platform: The stream key is empty."));
    // The first destination's own message reads as it always did.
    g_settings.setValue(QStringLiteral("RtmpServer"), QStringLiteral("1,,,,"));
    QCOMPARE(GetEnabledStreamDestinationsError(), QStringLiteral("RTMP IP address is invalid!"));
    g_settings.clear();
}

QTEST_GUILESS_MAIN(TestHelpers)
#include "tst_app_helpers.moc"
