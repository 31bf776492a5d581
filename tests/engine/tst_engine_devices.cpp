// Device list and ordering of the engine, on virtual devices chosen per case.
#include "engine/CKVCapture.h"
#include "config/CSettings.h"

#include <QtTest>

namespace
{
const int SIZE_1920X1080 = 0;
const int SIZE_768X576 = 11;
const int RATE_25 = 2;

// Five devices: one of each family, small and large.
const char* const FIVE_DEVICES = "A|1|720x576|SN-0042;B|2|1920x1080;C|2|640x480;D|3|1280x720;E|4|1920x1080";

QList<int> OrderedDevices()
{
    QList<int> listDevices;
    for (int i = 0; i < g_capture.GetOrderedDeviceCount(); ++i)
        listDevices << g_capture.GetOrderedDevice(i);
    return listDevices;
}
}

class TestEngineDevices : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void orderForSmallAndLargeOutput();
    void namesSerialAndCounts();
    void noUsableDevice();
    void atMostSixteenDevices();
    void channelNumbersOutsideRange();
    void uninitIsRepeatable();

private:
    bool InitWith(const char* pszDevices, int nSize);
};

bool TestEngineDevices::InitWith(const char* pszDevices, int nSize)
{
    qputenv("VISTREL_VIRTUAL_VIDEO", pszDevices);
    g_settings.SetOutputFormat(nSize, RATE_25);
    return g_capture.Init();
}

void TestEngineDevices::cleanup()
{
    g_capture.Uninit();
}

void TestEngineDevices::orderForSmallAndLargeOutput()
{
    QVERIFY(InitWith(FIVE_DEVICES, SIZE_768X576));

    // Large devices of families 2 and 3 first, then the small ones of
    // families 1, 2 and 3 in library order; family 4 never.
    QCOMPARE(OrderedDevices(), (QList<int>{1, 3, 0, 2}));
    QVERIFY(g_capture.IsDeviceOrdered(0));
    QVERIFY(!g_capture.IsDeviceOrdered(4));
    QVERIFY(!g_capture.IsDeviceOrdered(-1));

    // A large output keeps only the large devices of families 2 and 3.
    g_settings.SetOutputFormat(SIZE_1920X1080, RATE_25);
    QVERIFY(g_capture.BuildDeviceOrder());
    QCOMPARE(OrderedDevices(), (QList<int>{1, 3}));
    // Devices dropped by the rebuild are no longer reported as ordered.
    QVERIFY(!g_capture.IsDeviceOrdered(0));
    QVERIFY(!g_capture.IsDeviceOrdered(2));
    QCOMPARE(g_capture.GetOrderedDevice(2), -1);

    // Back to a small output: the small devices return.
    g_settings.SetOutputFormat(SIZE_768X576, RATE_25);
    QVERIFY(g_capture.BuildDeviceOrder());
    QCOMPARE(OrderedDevices(), (QList<int>{1, 3, 0, 2}));

    QCOMPARE(g_capture.GetOrderedDevice(16), -1);
    QCOMPARE(g_capture.GetOrderedDevice(-1), -1);
    QCOMPARE(g_capture.GetOrderedDevice(1000), -1);
}

void TestEngineDevices::namesSerialAndCounts()
{
    QVERIFY(InitWith(FIVE_DEVICES, SIZE_768X576));

    QCOMPARE(g_capture.GetDeviceCount(true), 5);
    QString strName;
    QVERIFY(g_capture.GetDeviceName(true, 3, strName));
    QCOMPARE(strName, QStringLiteral("D"));
    strName = QStringLiteral("unchanged");
    QVERIFY(!g_capture.GetDeviceName(true, 5, strName));
    QVERIFY(!g_capture.GetDeviceName(true, -1, strName));
    QCOMPARE(strName, QStringLiteral("unchanged"));

    // The serial number is that of device 0.
    QCOMPARE(g_capture.GetSerialNumber(), QStringLiteral("SN-0042"));
    g_capture.Uninit();
    QVERIFY(InitWith("B|2|1920x1080;A|1|720x576|SN-0042", SIZE_768X576));
    QCOMPARE(g_capture.GetSerialNumber(), QString());

    // Nothing is open yet.
    QVERIFY(!g_capture.IsDeviceInUse(0));
    QVERIFY(!g_capture.IsDeviceInUse(-1));
}

void TestEngineDevices::noUsableDevice()
{
    // Devices exist, but none qualifies for a large output.
    QVERIFY(!InitWith("A|1|720x576;C|2|640x480;E|4|1920x1080", SIZE_1920X1080));
    QCOMPARE(g_capture.GetDeviceCount(true), 3);
    QCOMPARE(g_capture.GetOrderedDeviceCount(), 0);
    QCOMPARE(g_capture.GetOrderedDevice(0), -1);
    g_capture.Uninit();

    // No device at all.
    QVERIFY(!InitWith("", SIZE_768X576));
    QCOMPARE(g_capture.GetDeviceCount(true), 0);
    QVERIFY(g_capture.GetChannel(0) == nullptr);
}

void TestEngineDevices::atMostSixteenDevices()
{
    QByteArray baDevices;
    for (int i = 0; i < 20; ++i)
        baDevices += "Cam" + QByteArray::number(i) + "|2|1920x1080;";
    baDevices.chop(1);
    QVERIFY(InitWith(baDevices.constData(), SIZE_1920X1080));

    QCOMPARE(g_capture.GetDeviceCount(true), 20);
    QCOMPARE(g_capture.GetOrderedDeviceCount(), 16);
    for (int i = 0; i < 16; ++i)
        QCOMPARE(g_capture.GetOrderedDevice(i), i);
    QCOMPARE(g_capture.GetOrderedDevice(16), -1);
    QVERIFY(!g_capture.IsDeviceOrdered(16));
}

void TestEngineDevices::channelNumbersOutsideRange()
{
    QVERIFY(InitWith(FIVE_DEVICES, SIZE_768X576));

    for (int nChannel = 0; nChannel < 6; ++nChannel)
    {
        QVERIFY(g_capture.GetChannel(nChannel) != nullptr);
        QCOMPARE(g_capture.GetChannel(nChannel)->GetIndex(), nChannel);
        QCOMPARE(g_capture.GetChannel(nChannel)->GetDeviceIndex(), -1);
    }
    QVERIFY(g_capture.GetChannel(6) == nullptr);
    QVERIFY(g_capture.GetChannel(-1) == nullptr);
    QVERIFY(!g_capture.OpenChannel(6, 1, 0));
    QVERIFY(!g_capture.OpenChannel(-1, 1, 0));
    g_capture.CloseChannel(6);
    g_capture.CloseChannel(-1);
    QCOMPARE(g_capture.ShowChannelPropertyDialog(6), -1);
    QCOMPARE(g_capture.ShowChannelPropertyDialog(-1), -1);
    // A closed channel has no dialog to show, but the number is valid.
    QCOMPARE(g_capture.ShowChannelPropertyDialog(0), 1);
}

void TestEngineDevices::uninitIsRepeatable()
{
    g_capture.Uninit();
    g_capture.Uninit();

    // Init twice in a row starts over instead of stacking.
    QVERIFY(InitWith(FIVE_DEVICES, SIZE_768X576));
    QVERIFY(g_capture.Init());
    QCOMPARE(g_capture.GetOrderedDeviceCount(), 4);

    g_capture.Uninit();
    QCOMPARE(g_capture.GetDeviceCount(true), 0);
    QCOMPARE(g_capture.GetOrderedDeviceCount(), 0);
    QVERIFY(g_capture.GetChannel(0) == nullptr);
    g_capture.Uninit();

    // And the engine starts again after being shut down.
    QVERIFY(InitWith(FIVE_DEVICES, SIZE_768X576));
    QCOMPARE(g_capture.GetOrderedDeviceCount(), 4);
}

QTEST_GUILESS_MAIN(TestEngineDevices)
#include "tst_engine_devices.moc"
