// Names and display texts of the output panel: elapsed time, file names and
// the free-space rule for starting a recording.
#include "app/OutputNames.h"

#include <QSet>
#include <QtTest>

class TestOutputNames : public QObject
{
    Q_OBJECT

private slots:
    void Elapsed_data();
    void Elapsed();
    void FileNames();
    void FreeSnapshotNames();
    void RoomForVideo_data();
    void RoomForVideo();
};

void TestOutputNames::Elapsed_data()
{
    QTest::addColumn<uint>("nSeconds");
    QTest::addColumn<QString>("strText");
    QTest::newRow("zero") << 0u << "00:00:00";
    QTest::newRow("last two-digit hour") << 359999u << "99:59:59";
    QTest::newRow("hours grow") << 360000u << "100:00:00";
    // What a 32-bit tick difference at its largest gives: still no wrap.
    QTest::newRow("largest") << 4294967u << "1193:02:47";
}

void TestOutputNames::Elapsed()
{
    QFETCH(uint, nSeconds);
    QFETCH(QString, strText);
    QCOMPARE(FormatElapsed(nSeconds), strText);
}

void TestOutputNames::FileNames()
{
    const QDateTime dt(QDate(2024, 3, 7), QTime(9, 5, 1));
    QCOMPARE(MakeRecordFileName(dt), QStringLiteral("2024.03.07 09.05.01.mp4"));
    QCOMPARE(MakeSnapshotFileName(dt), QStringLiteral("2024.03.07 09.05.01.jpg"));
    // Afternoon hours stay on the 24-hour clock, so names sort by time.
    QCOMPARE(MakeSnapshotFileName(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59))),
             QStringLiteral("2024.12.31 23.59.59.jpg"));
}

void TestOutputNames::FreeSnapshotNames()
{
    const QDateTime dt(QDate(2024, 3, 7), QTime(9, 5, 1));
    QSet<QString> setTaken;
    const auto fnTaken = [&setTaken](const QString& strName) { return setTaken.contains(strName); };
    // Each name taken in turn, as three snapshots within one second do.
    QStringList astrNames;
    for (int i = 0; i < 3; ++i)
    {
        astrNames << MakeFreeSnapshotFileName(dt, fnTaken);
        setTaken.insert(astrNames.last());
    }
    QCOMPARE(astrNames,
             QStringList({QStringLiteral("2024.03.07 09.05.01.jpg"), QStringLiteral("2024.03.07 09.05.01 (2).jpg"),
                          QStringLiteral("2024.03.07 09.05.01 (3).jpg")}));
    // A gap left by a failed or removed snapshot is used again.
    setTaken.remove(astrNames.at(1));
    QCOMPARE(MakeFreeSnapshotFileName(dt, fnTaken), astrNames.at(1));
    // Nothing free: no name rather than one that overwrites.
    QCOMPARE(MakeFreeSnapshotFileName(dt, [](const QString&) { return true; }), QString());
}

void TestOutputNames::RoomForVideo_data()
{
    QTest::addColumn<qulonglong>("nFree");
    QTest::addColumn<int>("nKbps");
    QTest::addColumn<bool>("bRoom");
    // 8000 Kbps are 1 000 000 bytes a second: 60 seconds need 60 000 000.
    QTest::newRow("exactly 60 s") << 60000000ull << 8000 << true;
    QTest::newRow("one byte short") << 59999999ull << 8000 << false;
    QTest::newRow("no rate to divide by") << 0ull << 0 << true;
}

void TestOutputNames::RoomForVideo()
{
    QFETCH(qulonglong, nFree);
    QFETCH(int, nKbps);
    QFETCH(bool, bRoom);
    QCOMPARE(HasRoomForVideo(nFree, nKbps, 60), bRoom);
}

QTEST_GUILESS_MAIN(TestOutputNames)
#include "tst_app_outputnames.moc"
