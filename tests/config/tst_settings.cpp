// The settings store against fresh, malformed and hand-edited records, in
// the real per-user settings file of a private XDG_CONFIG_HOME.
#include "config/CSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        CSettings settings;
        settings.clear();
        settings.sync();
    }

    void storedInUserConfigFile()
    {
        CSettings settings;
        settings.SetRecord(false);
        settings.sync();
        const QString strExpected = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Ostrana/Vistrel V2.1.conf";
        QCOMPARE(QFileInfo(settings.fileName()).absoluteFilePath(), QFileInfo(strExpected).absoluteFilePath());
        QVERIFY(QFileInfo::exists(strExpected));

        // A second store (the next run) sees what the first wrote.
        CSettings other;
        QCOMPARE(other.GetRecord(), false);
    }

    // The file holds the stream key: whichever way it is written, and
    // whatever an older build left, only its owner may read it.
    void fileKeptPrivate_data()
    {
        QTest::addColumn<bool>("bWideBefore");
        QTest::addColumn<int>("nWay");
        QTest::newRow("new file, stream key stored") << false << 0;
        QTest::newRow("0644 file, stream key stored") << true << 0;
        QTest::newRow("0644 file, other value, store destroyed") << true << 1;
        QTest::newRow("new file, other value, update event") << false << 2;
        QTest::newRow("0644 file, only opened") << true << 3;
    }

    void fileKeptPrivate()
    {
        QString strPath;
        {
            CSettings settings;
            strPath = settings.fileName();
        }
        QFile::remove(strPath);
        const QFile::Permissions wide = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QFETCH(bool, bWideBefore);
        QFETCH(int, nWay);
        if (bWideBefore)
        {
            QFile file(strPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[General]\nrecord=true\n");
            file.close();
            QVERIFY(file.setPermissions(wide));
        }
        {
            CSettings settings;
            if (nWay == 0)
                QVERIFY(settings.SetRtmpServer(1, "127.0.0.1", "1935", "s3cret", "rtmp://127.0.0.1:1935/live/s3cret"));
            else if (nWay == 1 || nWay == 2)
                settings.SetRecord(false);
            if (nWay == 2)
                QTRY_VERIFY(QFileInfo::exists(strPath));
            if (nWay != 1)
                QCOMPARE(int(QFileInfo(strPath).permissions() & ~(QFile::ReadUser | QFile::WriteUser)),
                         int(QFile::ReadOwner | QFile::WriteOwner));
        }
        QVERIFY(QFileInfo::exists(strPath));
        QCOMPARE(int(QFileInfo(strPath).permissions() & ~(QFile::ReadUser | QFile::WriteUser)),
                 int(QFile::ReadOwner | QFile::WriteOwner));
    }

    void outputFormat_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("nSize");
        QTest::addColumn<int>("nRate");
        QTest::addColumn<QString>("strAfter");
        QTest::newRow("absent") << QVariant() << 11 << 2 << "11, 2";
        QTest::newRow("one part") << QVariant("3") << 11 << 2 << "11, 2";
        QTest::newRow("three parts") << QVariant("3, 4, 5") << 11 << 2 << "11, 2";
        QTest::newRow("valid") << QVariant("3, 4") << 3 << 4 << "3, 4";
        QTest::newRow("blanks") << QVariant(" 4 ,  1 ") << 4 << 1 << " 4 ,  1 ";
        QTest::newRow("not a number") << QVariant("x, 1") << 0 << 1 << "x, 1";
        QTest::newRow("size beyond table") << QVariant("19, 2") << 11 << 2 << "11, 2";
        QTest::newRow("negative size") << QVariant("-1, 2") << 11 << 2 << "11, 2";
        QTest::newRow("rate beyond table") << QVariant("0, 11") << 11 << 2 << "11, 2";
        // The rates added at the end of the table stay what they were stored as.
        QTest::newRow("60 fps") << QVariant("0, 8") << 0 << 8 << "0, 8";
        QTest::newRow("50 fps") << QVariant("0, 10") << 0 << 10 << "0, 10";
        QTest::newRow("unquoted list") << QVariant(QStringList{"5", "3"}) << 5 << 3 << "";
    }

    void outputFormat()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, nSize);
        QFETCH(int, nRate);
        QFETCH(QString, strAfter);
        CSettings settings;
        if (stored.isValid())
            settings.setValue("outputformat", stored);
        int nGotSize = -9, nGotRate = -9;
        settings.GetOutputFormat(nGotSize, nGotRate);
        QCOMPARE(nGotSize, nSize);
        QCOMPARE(nGotRate, nRate);
        if (!strAfter.isEmpty())
            QCOMPARE(settings.value("outputformat").toString(), strAfter);
    }

    void outputSize()
    {
        CSettings settings;
        settings.SetOutputFormat(11, 2);
        QCOMPARE(settings.value("outputformat").toString(), QString("11, 2"));
        QCOMPARE(settings.GetOutputWidth(), 768);
        QCOMPARE(settings.GetOutputHeight(), 576);
        settings.SetOutputFormat(3, 0);
        QCOMPARE(settings.GetOutputWidth(), 1368);
        QCOMPARE(settings.GetOutputHeight(), 768);

        // A bad record gives size 0 and is left for GetOutputFormat to repair.
        settings.setValue("outputformat", "3");
        QCOMPARE(settings.GetOutputWidth(), 1920);
        QCOMPARE(settings.GetOutputHeight(), 1080);
        settings.setValue("outputformat", "40, 2");
        QCOMPARE(settings.GetOutputWidth(), 1920);
        QCOMPARE(settings.value("outputformat").toString(), QString("40, 2"));
    }

    void encoderParam()
    {
        CSettings settings;
        int an[8];
        settings.GetEncoderParam(an[0], an[1], an[2], an[3], an[4], an[5], an[6], an[7]);
        QCOMPARE(QVector<int>(an, an + 8), (QVector<int>{0, 2, 4, 0, 2, 1, 1, 1}));
        QVERIFY(!settings.contains("encoderparam"));

        settings.SetEncoderParam(1, 0, 3, 1, 4, 0, 2, 2);
        QCOMPARE(settings.value("encoderparam").toString(), QString("1, 0, 3, 1, 4, 0, 2, 2"));
        settings.GetEncoderParam(an[0], an[1], an[2], an[3], an[4], an[5], an[6], an[7]);
        QCOMPARE(QVector<int>(an, an + 8), (QVector<int>{1, 0, 3, 1, 4, 0, 2, 2}));

        // Wrong field count, and each table index one past its table.
        const QStringList astrBad = {"1, 0, 3, 1, 4, 0, 2",     "3, 0, 0, 0, 0, 0, 0, 0", "0, 3, 0, 0, 0, 0, 0, 0",
                                     "0, 0, 11, 0, 0, 0, 0, 0", "0, 0, 0, 2, 0, 0, 0, 0", "0, 0, 0, 0, 7, 0, 0, 0",
                                     "0, 0, 0, 0, 0, 0, 6, 0",  "0, 0, 0, 0, 0, 0, 0, 3"};
        for (const QString& strBad : astrBad)
        {
            settings.setValue("encoderparam", strBad);
            settings.GetEncoderParam(an[0], an[1], an[2], an[3], an[4], an[5], an[6], an[7]);
            QVERIFY2(QVector<int>(an, an + 8) == (QVector<int>{0, 2, 4, 0, 2, 1, 1, 1}), qPrintable(strBad));
            QCOMPARE(settings.value("encoderparam").toString(), strBad); // not written back
        }
    }

    void smallListRecords()
    {
        CSettings settings;
        int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0, g = 0;

        settings.GetAudioDevice(a, b);
        QCOMPARE(QVector<int>({a, b}), QVector<int>({-1, 0}));
        settings.SetAudioDevice(2, 1);
        QCOMPARE(settings.value("audiodevice").toString(), QString("2, 1"));
        settings.GetAudioDevice(a, b);
        QCOMPARE(QVector<int>({a, b}), QVector<int>({2, 1}));

        settings.GetLogo(a, b, c);
        QCOMPARE(QVector<int>({a, b, c}), QVector<int>({-1, 1, 50}));
        settings.SetLogo(2, 3, 40);
        QCOMPARE(settings.value("logo").toString(), QString("2,3,40"));
        settings.GetLogo(a, b, c);
        QCOMPARE(QVector<int>({a, b, c}), QVector<int>({2, 3, 40}));
        for (const char* szBad : {"2,4,40", "2,3,101", "-2,3,40", "2,3"})
        {
            settings.setValue("logo", szBad);
            settings.GetLogo(a, b, c);
            QVERIFY2(QVector<int>({a, b, c}) == QVector<int>({-1, 1, 50}), szBad);
        }

        settings.GetCaptionOpt(a, b, c, d, e, f, g);
        QCOMPARE(QVector<int>({a, b, c, d, e, f, g}), QVector<int>({0, 0, 0, 0, 0, 0, 4}));
        settings.SetCaptionOpt(1, 1, 0, 3, 5, 6, 2);
        QCOMPARE(settings.value("captionopt").toString(), QString("1, 1, 0, 3, 5, 6, 2"));
        settings.GetCaptionOpt(a, b, c, d, e, f, g);
        QCOMPARE(QVector<int>({a, b, c, d, e, f, g}), QVector<int>({1, 1, 0, 3, 5, 6, 2}));
        settings.setValue("captionopt", "1, 1, 0, 3, 5, 7, 2"); // font size beyond its table
        settings.GetCaptionOpt(a, b, c, d, e, f, g);
        QCOMPARE(QVector<int>({a, b, c, d, e, f, g}), QVector<int>({0, 0, 0, 0, 0, 0, 4}));

        settings.GetTimeOpt(a, b, c, d);
        QCOMPARE(QVector<int>({a, b, c, d}), QVector<int>({1, 0, 0, 0}));
        settings.SetTimeOpt(0, 2, 6, 5);
        QCOMPARE(settings.value("timeopt").toString(), QString("0, 2, 6, 5"));
        settings.GetTimeOpt(a, b, c, d);
        QCOMPARE(QVector<int>({a, b, c, d}), QVector<int>({0, 2, 6, 5}));
        settings.setValue("timeopt", "0, 2, 6, 6"); // position beyond the six
        settings.GetTimeOpt(a, b, c, d);
        QCOMPARE(QVector<int>({a, b, c, d}), QVector<int>({1, 0, 0, 0}));
    }

    void colors()
    {
        CSettings settings;
        int r = -1, g = -1, b = -1;
        const int anDefault[] = {255, 0, 255, 0};
        for (int nWhich = 0; nWhich < 4; ++nWhich)
        {
            settings.GetColor(nWhich, r, g, b);
            QCOMPARE(QVector<int>({r, g, b}), QVector<int>(3, anDefault[nWhich]));
        }
        settings.SetColor(CSettings::COLOR_TIME_BORDER, 10, 20, 30);
        QCOMPARE(settings.value("timeborder").toString(), QString("10, 20, 30"));
        settings.GetColor(CSettings::COLOR_TIME_BORDER, r, g, b);
        QCOMPARE(QVector<int>({r, g, b}), QVector<int>({10, 20, 30}));

        // Any other selector means the caption text colour.
        settings.SetColor(9, 1, 2, 3);
        QCOMPARE(settings.value("captionfont").toString(), QString("1, 2, 3"));
        settings.GetColor(-1, r, g, b);
        QCOMPARE(QVector<int>({r, g, b}), QVector<int>({1, 2, 3}));

        // A component outside 0..255 would bleed into its neighbour when packed.
        settings.setValue("captionborder", "256, 0, 0");
        settings.GetColor(CSettings::COLOR_CAPTION_BORDER, r, g, b);
        QCOMPARE(QVector<int>({r, g, b}), QVector<int>({0, 0, 0}));
        settings.setValue("timefont", "12, 34");
        settings.GetColor(CSettings::COLOR_TIME_FONT, r, g, b);
        QCOMPARE(QVector<int>({r, g, b}), QVector<int>({255, 255, 255}));
    }

    void rtmpServer()
    {
        CSettings settings;
        int nPush = -1;
        QString strAddress, strPort, strStream, strUrl;
        QVERIFY(settings.GetRtmpServer(nPush, strAddress, strPort, strStream, strUrl));
        QCOMPARE(nPush, 0);
        QCOMPARE(QStringList({strAddress, strPort, strStream, strUrl}),
                 QStringList({"127.0.0.1", "1935", "test", "rtmp://127.0.0.1:1935/live/test"}));
        QVERIFY(!settings.contains("RtmpServer"));

        settings.SetRtmpServer(1, "10.1.2.3", "1936", "cam 1", "rtmp://10.1.2.3:1936/live/cam 1");
        QCOMPARE(settings.value("RtmpServer").toString(),
                 QString("1,10.1.2.3,1936,cam 1,rtmp://10.1.2.3:1936/live/cam 1"));
        QVERIFY(settings.GetRtmpServer(nPush, strAddress, strPort, strStream, strUrl));
        QCOMPARE(nPush, 1);
        QCOMPARE(strStream, QString("cam 1"));

        // A record with a "," in a text (hand-edited, or left by an older
        // build) has too many parts and reads as the defaults.
        settings.setValue("RtmpServer", "1,10.1.2.3,1936,a,b,rtmp://10.1.2.3:1936/live/a,b");
        QVERIFY(settings.GetRtmpServer(nPush, strAddress, strPort, strStream, strUrl));
        QCOMPARE(nPush, 0);
        QCOMPARE(strStream, QString("test"));
    }

    // The one-value forms name the same fields, in the stored order.
    void recordForms()
    {
        CSettings settings;
        SEncoderParam param;
        param.nProfile = 1;
        param.nBitrate = 3;
        param.nMode = 1;
        param.nKeyFrame = 4;
        param.nAudioBitrate = 2;
        param.nAudioQuality = 2;
        settings.SetEncoderParamRecord(param);
        QCOMPARE(settings.value("encoderparam").toString(), QString("1, 0, 3, 1, 4, 0, 2, 2"));
        settings.setValue("encoderparam", "2, 1, 5, 0, 3, 1, 0, 1");
        const SEncoderParam read = settings.GetEncoderParamRecord();
        QCOMPARE(QVector<int>({read.nProfile, read.nQuality, read.nBitrate, read.nMode, read.nKeyFrame,
                               read.nEncoderKind, read.nAudioBitrate, read.nAudioQuality}),
                 QVector<int>({2, 1, 5, 0, 3, 1, 0, 1}));
        settings.setValue("encoderparam", "2, 1, 5, 0, 3, 1, 0");
        QCOMPARE(settings.GetEncoderParamRecord().nQuality, 2);

        settings.setValue("RtmpServer", "1,10.1.2.3,1936,cam1,rtmp://10.1.2.3:1936/live/cam1");
        const SRtmpServer server = settings.GetRtmpServerRecord();
        QCOMPARE(server.nPush, 1);
        QCOMPARE(QStringList({server.strAddress, server.strPort, server.strStream, server.strUrl}),
                 QStringList({"10.1.2.3", "1936", "cam1", "rtmp://10.1.2.3:1936/live/cam1"}));
        settings.remove("RtmpServer");
        QCOMPARE(settings.GetRtmpServerRecord().strUrl, QString("rtmp://127.0.0.1:1935/live/test"));
    }

    // Such a record is never written: the last good one stays, in every field.
    void rtmpServerRefusesComma_data()
    {
        QTest::addColumn<QStringList>("astrFields");
        QTest::newRow("address") << QStringList({"10.1,2.3", "1936", "cam1", "rtmp://x"});
        QTest::newRow("port") << QStringList({"10.1.2.3", "19,36", "cam1", "rtmp://x"});
        QTest::newRow("stream") << QStringList({"10.1.2.3", "1936", "a,b", "rtmp://x"});
        QTest::newRow("url") << QStringList({"10.1.2.3", "1936", "cam1", "rtmp://x,y"});
    }

    void rtmpServerRefusesComma()
    {
        QFETCH(QStringList, astrFields);
        CSettings settings;
        const QString strGood("1,10.1.2.3,1936,cam1,rtmp://10.1.2.3:1936/live/cam1");
        QVERIFY(settings.SetRtmpServer(1, "10.1.2.3", "1936", "cam1", "rtmp://10.1.2.3:1936/live/cam1"));
        QVERIFY(!settings.SetRtmpServer(0, astrFields[0], astrFields[1], astrFields[2], astrFields[3]));
        QCOMPARE(settings.value("RtmpServer").toString(), strGood);

        // The next run still pushes where the user said.
        settings.sync();
        CSettings next;
        int nPush = -1;
        QString strAddress, strPort, strStream, strUrl;
        next.GetRtmpServer(nPush, strAddress, strPort, strStream, strUrl);
        QCOMPARE(nPush, 1);
        QCOMPARE(QStringList({strAddress, strPort, strStream}), QStringList({"10.1.2.3", "1936", "cam1"}));
    }

    // The device's name sits in a key of its own: the record itself keeps the
    // two fields that older builds require, and their records still read.
    void audioDeviceName()
    {
        CSettings settings;
        settings.setValue("audiodevice", "3, 1"); // as an older build wrote it
        int nDevice = -9, nMonitor = -9;
        settings.GetAudioDevice(nDevice, nMonitor);
        QCOMPARE(QVector<int>({nDevice, nMonitor}), QVector<int>({3, 1}));
        QCOMPARE(settings.GetAudioDeviceName(), QString());

        settings.SetAudioDevice(2, 1, "Monitor of Null Output");
        QCOMPARE(settings.value("audiodevice").toString(), QString("2, 1"));
        settings.sync();
        CSettings next;
        QCOMPARE(next.GetAudioDeviceName(), QString("Monitor of Null Output"));

        // No device, or one chosen without a name, leaves no stale name
        // that would lead the next start to the earlier device.
        settings.SetAudioDevice(-1, 0, "Monitor of Null Output");
        QVERIFY(!settings.contains("audiodevicename"));
        settings.SetAudioDevice(1, 0, "Virtual Tone 1");
        settings.SetAudioDevice(4, 0);
        QVERIFY(!settings.contains("audiodevicename"));
        settings.GetAudioDevice(nDevice, nMonitor);
        QCOMPARE(nDevice, 4);
    }

    void dataStorage()
    {
        CSettings settings;
        const QString strExpected = QDir::toNativeSeparators(
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Vistrel V2.1/Storage Files");
        QCOMPARE(settings.GetDataStorage(), strExpected);
        QCOMPARE(settings.value("DataStorage").toString(), strExpected);
        for (const char* szSub : {"", "/Snapshot", "/Video"})
            QVERIFY2(QDir(strExpected + szSub).exists(), szSub);

        QTemporaryDir tmp;
        const QString strRoot = tmp.path() + "/deep/root";
        settings.SetDataStorage(strRoot);
        QCOMPARE(settings.GetDataStorage(), strRoot);
        QVERIFY(QDir(strRoot + "/Snapshot").exists());
        QVERIFY(QDir(strRoot + "/Video").exists());
    }

    void screenPos()
    {
        CSettings settings;
        int l = -1, t = -1, w = -1, h = -1;
        // Absent format: repaired to 768 x 576 on the way.
        settings.GetScreenPos(l, t, w, h);
        QCOMPARE(QVector<int>({l, t, w, h}), QVector<int>({0, 144, 768, 288}));
        QCOMPARE(settings.value("outputformat").toString(), QString("11, 2"));
        QVERIFY(!settings.contains("screenpos"));

        settings.SetOutputFormat(0, 2);
        settings.GetScreenPos(l, t, w, h);
        QCOMPARE(QVector<int>({l, t, w, h}), QVector<int>({0, 270, 1920, 540}));
        settings.SetOutputFormat(2, 2); // 1440 x 900: 900 >> 3 = 112, 900 >> 2 = 225
        settings.GetScreenPos(l, t, w, h);
        QCOMPARE(QVector<int>({l, t, w, h}), QVector<int>({0, 224, 1440, 450}));

        settings.SetScreenPos(10, 20, 300, 400);
        QCOMPARE(settings.value("screenpos").toString(), QString("10, 20, 300, 400"));
        settings.GetScreenPos(l, t, w, h);
        QCOMPARE(QVector<int>({l, t, w, h}), QVector<int>({10, 20, 300, 400}));
        settings.setValue("screenpos", "1, 2, 3");
        settings.GetScreenPos(l, t, w, h);
        QCOMPARE(QVector<int>({l, t, w, h}), QVector<int>({0, 224, 1440, 450}));
    }

    void plainValues()
    {
        CSettings settings;
        QCOMPARE(settings.GetRecord(), true);
        QCOMPARE(settings.GetLayoutIndex(), -1);
        QCOMPARE(settings.GetScreen(), false);
        QCOMPARE(settings.GetBgPath(), QString());
        QVERIFY(settings.GetFrameGeometry().isEmpty());

        settings.SetLayoutIndex(4);
        settings.SetScreen(true);
        settings.SetBgPath("0");
        const QByteArray baGeometry("\x01\x02\x00\xff", 4);
        settings.SetFrameGeometry(baGeometry);
        for (int n = 0; n < 3; ++n)
        {
            QCOMPARE(settings.GetScreenEnabled(n), false);
            settings.SetScreenEnabled(n, n != 1);
        }
        settings.SetScreenEnabled(3, true);
        settings.SetScreenEnabled(-1, true);
        settings.sync();

        CSettings next;
        QCOMPARE(next.GetLayoutIndex(), 4);
        QCOMPARE(next.GetScreen(), true);
        QCOMPARE(next.GetBgPath(), QString("0"));
        QCOMPARE(next.GetFrameGeometry(), baGeometry);
        QCOMPARE(next.GetScreenEnabled(0), true);
        QCOMPARE(next.GetScreenEnabled(1), false);
        QCOMPARE(next.GetScreenEnabled(2), true);
        QCOMPARE(next.GetScreenEnabled(3), false);
        QVERIFY(!next.contains("screen_3"));
        QVERIFY(!next.contains("screen_-1"));
    }

    void optionTables()
    {
        QCOMPARE(GetVideoSizeCount(), 19);
        QCOMPARE(GetVideoWidth(11), 768);
        QCOMPARE(GetVideoHeight(11), 576);
        QCOMPARE(GetVideoWidth(18), 320);
        QCOMPARE(GetFrameRateCount(), 11);
        QCOMPARE(GetFrameRate(1), 29.97);
        QCOMPARE(GetFrameRate(8), 60.0);
        QCOMPARE(GetFrameRate(9), 59.94);
        QCOMPARE(GetFrameRate(10), 50.0);
        QCOMPARE(GetProfileCount(), 3);
        QCOMPARE(GetProfileName(2), QString("Base Line"));
        QCOMPARE(GetQualityName(1), QString("Balanced"));
        QCOMPARE(GetModeName(1), QString("Low Latency"));
        // Without a translator the lists show the same English texts.
        QCOMPARE(GetQualityText(2), QString("Best Speed"));
        QCOMPARE(GetFrameRateText(2), QString("25.00 FPS"));
        QCOMPARE(GetFrameRateText(1), QString("29.97 FPS"));
        QCOMPARE(GetFrameRateText(9), QString("59.94 FPS"));
        QCOMPARE(GetBitrateText(4), QString(" 1000 Kbps"));
        QCOMPARE(GetAudioBitrateText(5), QString("  8 Kbps"));
        QCOMPARE(GetBitrateCount(), 11);
        QCOMPARE(GetBitrate(10), 50);
        QCOMPARE(GetKeyFrame(2), 300);
        QCOMPARE(GetAudioBitrate(1), 128);
        QCOMPARE(GetAudioQuality(1), 50);
        QCOMPARE(GetFontSizeCount(), 7);
        QCOMPARE(GetFontSize(6), 128);

        // Outside a table: entry 0, never a read beyond it.
        for (int nBad : {-1, 1000})
        {
            QCOMPARE(GetVideoWidth(nBad), 1920);
            QCOMPARE(GetVideoHeight(nBad), 1080);
            QCOMPARE(GetFrameRate(nBad), 30.0);
            QCOMPARE(GetProfileName(nBad), QString("High Profile"));
            QCOMPARE(GetModeName(nBad), QString("Normal"));
            QCOMPARE(GetBitrate(nBad), 16000);
            QCOMPARE(GetAudioQuality(nBad), 100);
            QCOMPARE(GetFontSize(nBad), 32);
        }
        QCOMPARE(GetVideoWidth(GetVideoSizeCount()), 1920);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
