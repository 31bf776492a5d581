// The engine's small building blocks: locks, text conversion and the frame
// duration arithmetic every part of the program shares.
#include "engine/CAutoConvertString.h"
#include "engine/CVoIPAutoLock.h"
#include "engine/CVoIPCritSec.h"
#include "config/OptionTables.h"
#include "engine/KVFrameDuration.h"

#include <QtTest>

#include <atomic>
#include <thread>

class TestEngineBasics : public QObject
{
    Q_OBJECT

private slots:
    void frameDurationTable_data();
    void frameDurationTable();
    void frameDurationRejectsBadRates();
    void critSecIsRecursiveAndExclusive();
    void convertString();
};

void TestEngineBasics::frameDurationTable_data()
{
    QTest::addColumn<double>("dRate");
    QTest::addColumn<int>("nDuration");
    QTest::newRow("30") << 30.0 << 333333;
    QTest::newRow("29.97") << 29.97 << 333667;
    QTest::newRow("25") << 25.0 << 400000;
    QTest::newRow("24") << 24.0 << 416666;
    QTest::newRow("20") << 20.0 << 500000;
    QTest::newRow("15") << 15.0 << 666666;
    QTest::newRow("10") << 10.0 << 1000000;
    QTest::newRow("5") << 5.0 << 2000000;
    // Read through the table, so that a rate stored there as a rounded
    // neighbour (59.9 for 59.94) shows as a wrong duration.
    QTest::newRow("60") << GetFrameRate(8) << 166666;
    QTest::newRow("59.94") << GetFrameRate(9) << 166833;
    QTest::newRow("50") << GetFrameRate(10) << 200000;
}

void TestEngineBasics::frameDurationTable()
{
    QFETCH(double, dRate);
    QFETCH(int, nDuration);
    QCOMPARE(FrameDurationFromRate(dRate), nDuration);
}

void TestEngineBasics::frameDurationRejectsBadRates()
{
    QCOMPARE(FrameDurationFromRate(0.0), 0);
    QCOMPARE(FrameDurationFromRate(-25.0), 0);
    QCOMPARE(FrameDurationFromRate(std::numeric_limits<double>::quiet_NaN()), 0);
    QCOMPARE(FrameDurationFromRate(1e-9), 2147483647);
}

void TestEngineBasics::critSecIsRecursiveAndExclusive()
{
    CVoIPCritSec csLock;
    std::atomic<int> nInside{0};
    std::atomic<bool> bOverlap{false};
    int nCounter = 0;

    auto worker = [&]() {
        for (int i = 0; i < 2000; ++i)
        {
            CVoIPAutoLock lockOuter(csLock);
            // Taking the lock again on the same thread must not deadlock.
            CVoIPAutoLock lockInner(csLock);
            if (nInside.fetch_add(1) != 0)
                bOverlap = true;
            ++nCounter;
            nInside.fetch_sub(1);
        }
    };
    std::thread thread1(worker);
    std::thread thread2(worker);
    thread1.join();
    thread2.join();

    QVERIFY(!bOverlap);
    QCOMPARE(nCounter, 4000);
}

void TestEngineBasics::convertString()
{
    // A null pointer or a null string cannot be converted.
    CAutoConvertString convNull(static_cast<const char16_t*>(nullptr));
    QVERIFY(convNull.GetString() == nullptr);
    CAutoConvertString convNullString{QString()};
    QVERIFY(convNullString.GetString() == nullptr);

    // An empty text is a valid, empty result.
    CAutoConvertString convEmpty(u"");
    QVERIFY(convEmpty.GetString() != nullptr);
    QCOMPARE(QByteArray(convEmpty.GetString()), QByteArray());

    // The system code page is UTF-8 here; the result stays valid and stable.
    CAutoConvertString convUrl(u"rtmp://127.0.0.1:1935/live/\u00e9t\u00e9");
    const char* pszFirst = convUrl;
    QVERIFY(pszFirst != nullptr);
    QCOMPARE(QByteArray(pszFirst), QString::fromUtf16(u"rtmp://127.0.0.1:1935/live/\u00e9t\u00e9").toLocal8Bit());
    QCOMPARE(static_cast<const char*>(convUrl), pszFirst);

    CAutoConvertString convUtf8(QStringLiteral("\u4e2d\u6587"), 65001);
    QCOMPARE(QByteArray(convUtf8.GetString()), QByteArray("\xe4\xb8\xad\xe6\x96\x87"));

    // A Windows code page Qt knows; and one that does not exist.
    CAutoConvertString convGbk(QStringLiteral("\u4e2d"), 936);
    QVERIFY(convGbk.GetString() != nullptr);
    QCOMPARE(QByteArray(convGbk.GetString()), QByteArray("\xd6\xd0"));
    CAutoConvertString convUnknown(QStringLiteral("abc"), 12345);
    QVERIFY(convUnknown.GetString() == nullptr);
}

QTEST_GUILESS_MAIN(TestEngineBasics)
#include "tst_engine_basics.moc"
