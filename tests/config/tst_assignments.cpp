// Channel and caption assignments: first-run defaults, stored records and
// what a save writes back.
#include "config/CSettings.h"

#include <QtTest>

#include <set>

namespace
{
std::function<bool(int)> DevicesPresent(const std::set<int>& anPresent)
{
    return [anPresent](int nDevice) { return anPresent.count(nDevice) > 0; };
}
}

class TestAssignments : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        CSettings settings;
        settings.clear();
        settings.sync();
    }

    void firstRun_data()
    {
        QTest::addColumn<int>("nDeviceCount");
        QTest::addColumn<QVector<int>>("anPresent");
        QTest::addColumn<QVector<int>>("anDevices");
        QTest::newRow("no device") << 0 << QVector<int>{} << QVector<int>{-1, -1, -1, -1, -1, -1};
        QTest::newRow("one device") << 1 << QVector<int>{0} << QVector<int>{0, -1, -1, -1, -1, -1};
        QTest::newRow("two devices") << 2 << QVector<int>{0, 1} << QVector<int>{0, 1, -1, -1, -1, -1};
        // Indices with gaps are found by counting upward.
        QTest::newRow("gaps") << 3 << QVector<int>{1, 4, 9} << QVector<int>{1, 4, 9, -1, -1, -1};
        QTest::newRow("eight devices") << 8 << QVector<int>{0, 1, 2, 3, 4, 5, 6, 7} << QVector<int>{0, 1, 2, 3, 4, 5};
    }

    void firstRun()
    {
        QFETCH(int, nDeviceCount);
        QFETCH(QVector<int>, anPresent);
        QFETCH(QVector<int>, anDevices);
        CSettings settings;
        QCOMPARE(settings.LoadAssignments(nDeviceCount, DevicesPresent({anPresent.begin(), anPresent.end()})), 1);
        for (int i = 0; i < CSettings::CHANNEL_COUNT; ++i)
        {
            QCOMPARE(settings.GetChannelName(i), QString("Video %1").arg(i + 1));
            QCOMPARE(settings.GetChannelDevice(i), anDevices[i]);
            QCOMPARE(settings.GetChannelPosition(i), anDevices[i] == -1 ? -1 : i);
        }
        QCOMPARE(settings.GetCaption(), QString());
        int an[7];
        settings.GetCaptionData(an[0], an[1], an[2], an[3], an[4], an[5], an[6]);
        QCOMPARE(QVector<int>(an, an + 7), (QVector<int>{0, 1, 1, 3, 0, 0, 0}));
    }

    // The engine's answers cannot make the search run for ever, or past the
    // engine's own maximum of 16 devices.
    void searchIsBounded()
    {
        CSettings settings;
        int nHighest = -1;
        int nCalls = 0;
        auto fnNone = [&](int nDevice) {
            ++nCalls;
            nHighest = std::max(nHighest, nDevice);
            return false;
        };
        settings.LoadAssignments(4, fnNone);
        QVERIFY(nCalls <= 16);
        QVERIFY(nHighest <= 15);
        for (int i = 0; i < CSettings::CHANNEL_COUNT; ++i)
        {
            QCOMPARE(settings.GetChannelDevice(i), -1);
            QCOMPARE(settings.GetChannelPosition(i), -1);
        }

        // A device reported only beyond the maximum is never assigned.
        settings.LoadAssignments(2, DevicesPresent({3, 40}));
        QCOMPARE(settings.GetChannelDevice(0), 3);
        QCOMPARE(settings.GetChannelDevice(1), -1);
        QCOMPARE(settings.GetChannelPosition(1), -1);

        settings.LoadAssignments(2, nullptr);
        QCOMPARE(settings.GetChannelDevice(0), -1);
    }

    void storedRecords()
    {
        CSettings settings;
        settings.setValue("channel_0", "Front, 2, 1, 50, 50, 50, 50");
        settings.setValue("channel_1", "Six, 1, 2, 50, 50, 50");           // 6 parts
        settings.setValue("channel_2", "Back,x, 0,7,8,9,10");              // not a number
        settings.setValue("channel_3", "Cam, left, 3, 3, 50, 50, 50, 50"); // name with a comma
        settings.setValue("channel_4", ", 4, 4, 50, 50, 50, 50");          // empty name
        settings.LoadAssignments(2, DevicesPresent({0, 1}));

        QCOMPARE(settings.GetChannelName(0), QString("Front"));
        QCOMPARE(settings.GetChannelDevice(0), 2);
        QCOMPARE(settings.GetChannelPosition(0), 1);

        // Only channels falling back to defaults take part in the search, so
        // channel 1 gets device 0 at its own number.
        QCOMPARE(settings.GetChannelName(1), QString("Video 2"));
        QCOMPARE(settings.GetChannelDevice(1), 0);
        QCOMPARE(settings.GetChannelPosition(1), 1);

        QCOMPARE(settings.GetChannelName(2), QString("Back"));
        QCOMPARE(settings.GetChannelDevice(2), 0);
        QCOMPARE(settings.GetChannelPosition(2), 0);

        QCOMPARE(settings.GetChannelName(3), QString("Cam, left"));
        QCOMPARE(settings.GetChannelDevice(3), 3);
        QCOMPARE(settings.GetChannelName(4), QString());
        QCOMPARE(settings.GetChannelDevice(4), 4);

        // Channel 5 is beyond the device count: defaults without a device.
        QCOMPARE(settings.GetChannelName(5), QString("Video 6"));
        QCOMPARE(settings.GetChannelDevice(5), -1);

        // Saving writes every channel, keeps the reserved numbers and
        // overwrites the malformed one.
        settings.SaveAssignments();
        QCOMPARE(settings.value("channel_0").toString(), QString("Front, 2, 1, 50, 50, 50, 50"));
        QCOMPARE(settings.value("channel_1").toString(), QString("Video 2, 0, 1, 50, 50, 50, 50"));
        QCOMPARE(settings.value("channel_2").toString(), QString("Back, 0, 0, 7, 8, 9, 10"));
        QCOMPARE(settings.value("channel_5").toString(), QString("Video 6, -1, -1, 50, 50, 50, 50"));
    }

    // A name with commas survives a save and the next start unchanged.
    void commaNameRoundTrip()
    {
        {
            CSettings settings;
            settings.LoadAssignments(1, DevicesPresent({0}));
            settings.SetChannelName(0, "Hall, west,door");
            settings.SetChannelPosition(0, 3);
            settings.SaveAssignments();
            settings.sync();
        }
        CSettings next;
        next.LoadAssignments(1, DevicesPresent({0}));
        QCOMPARE(next.GetChannelName(0), QString("Hall, west,door"));
        QCOMPARE(next.GetChannelDevice(0), 0);
        QCOMPARE(next.GetChannelPosition(0), 3);
    }

    void caption()
    {
        int an[7];
        {
            CSettings settings;
            settings.LoadAssignments(0, nullptr);
            settings.SetCaption(QString::fromUtf8("Live, from the hall \xe7\x9b\xb4\xe6\x92\xad"));
            settings.SetCaptionData(2, 6, 5, 4, 1, 0, 1);
            settings.SaveAssignments();
            QCOMPARE(settings.value("captiondata").toString(), QString("2, 6, 5, 4, 1, 0, 1"));
            settings.sync();
        }
        CSettings next;
        next.LoadAssignments(0, nullptr);
        QCOMPARE(next.GetCaption(), QString::fromUtf8("Live, from the hall \xe7\x9b\xb4\xe6\x92\xad"));
        next.GetCaptionData(an[0], an[1], an[2], an[3], an[4], an[5], an[6]);
        QCOMPARE(QVector<int>(an, an + 7), (QVector<int>{2, 6, 5, 4, 1, 0, 1}));

        for (const char* szBad :
             {"2, 6, 5, 4, 1, 0", "2, 7, 5, 4, 1, 0, 1", "2, 6, 6, 4, 1, 0, 1", "2, 6, 5, 6, 1, 0, 1"})
        {
            next.setValue("captiondata", szBad);
            next.LoadAssignments(0, nullptr);
            next.GetCaptionData(an[0], an[1], an[2], an[3], an[4], an[5], an[6]);
            QVERIFY2(QVector<int>(an, an + 7) == (QVector<int>{0, 1, 1, 3, 0, 0, 0}), szBad);
        }
    }

    void channelAccess()
    {
        CSettings settings;
        settings.LoadAssignments(3, DevicesPresent({0, 1, 2}));
        settings.SetChannelPosition(0, 2);
        settings.SetChannelPosition(2, 2);
        // Device -1 does not count even at a matching position.
        settings.SetChannelDevice(3, -1);
        settings.SetChannelPosition(3, 1);
        QCOMPARE(settings.FindChannelAtPosition(2), 0);
        QCOMPARE(settings.FindChannelAtPosition(1), 1);
        settings.SetChannelDevice(1, -1);
        QCOMPARE(settings.FindChannelAtPosition(1), -1);
        QCOMPARE(settings.FindChannelAtPosition(5), -1);
        settings.SetChannelPosition(4, -1);
        settings.SetChannelDevice(4, 7);
        QCOMPARE(settings.FindChannelAtPosition(-1), -1);

        // Channel numbers outside 0..5 read as "nothing" and change nothing.
        for (int nBad : {-1, 6, 100})
        {
            QCOMPARE(settings.GetChannelDevice(nBad), -1);
            QCOMPARE(settings.GetChannelPosition(nBad), -1);
            QCOMPARE(settings.GetChannelName(nBad), QString());
            settings.SetChannelDevice(nBad, 5);
            settings.SetChannelPosition(nBad, 5);
            settings.SetChannelName(nBad, "x");
        }
        QCOMPARE(settings.FindChannelAtPosition(5), -1);
    }
};

QTEST_GUILESS_MAIN(TestAssignments)
#include "tst_assignments.moc"
