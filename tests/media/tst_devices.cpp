// Device configuration and enumeration: the environment a run is given, the
// lists and records built from it, and the per-device properties.
#include "media/KVProperty.h"
#include "media/KVProtocol.h"
#include "media/KVStream.h"
#include "media/capture/virtual/VirtualConfig.h"

#include "media/capture/v4l2/V4l2Device.h"

#include <QtTest>

#include <linux/videodev2.h>

#include <cstring>

using namespace KVMedia;

class TestDevices : public QObject
{
    Q_OBJECT

private:
    static QString Name(int nIndex)
    {
        KVS_VIDEO_CAPTURE_INFO info;
        return KVS_GetVideoCaptureInfo(nIndex, &info) ? QString::fromUtf16(info.szName) : QString();
    }
    static void InitWith(const QByteArray& baVideo, const QByteArray& baAudio = QByteArray())
    {
        qputenv("VISTREL_NO_V4L2", "1");
        qputenv("VISTREL_VIRTUAL_VIDEO", baVideo);
        qputenv("VISTREL_VIRTUAL_AUDIO", baAudio);
        QVERIFY(KVS_Initialize());
    }

private slots:
    void cleanup() { KVS_Uninitialize(); }

    void countGivesNumberedDefaultCameras()
    {
        QStringList listErrors;
        const auto vec = ParseVirtualVideoConfig(QStringLiteral(" 3 "), &listErrors);
        QCOMPARE(int(vec.size()), 3);
        QVERIFY(listErrors.isEmpty());
        QCOMPARE(vec[0].strName, QStringLiteral("Virtual Camera 1"));
        QCOMPARE(vec[2].strName, QStringLiteral("Virtual Camera 3"));
        for (const auto& entry : vec)
        {
            QCOMPARE(entry.nFamily, 2);
            QCOMPARE(entry.nMaxWidth, 1920);
            QCOMPARE(entry.nMaxHeight, 1080);
            QVERIFY(entry.baSerial.isEmpty());
            QVERIFY(!entry.bNoSignal);
        }
        QVERIFY(ParseVirtualVideoConfig(QStringLiteral("0"), &listErrors).empty());
        QVERIFY(ParseVirtualVideoConfig(QString(), &listErrors).empty());
        QVERIFY(listErrors.isEmpty());

        // Absurd counts are capped or refused, with a word why.
        QCOMPARE(int(ParseVirtualVideoConfig(QStringLiteral("100000000000000000000"), &listErrors).size()),
                 MAX_VIRTUAL_DEVICES);
        QCOMPARE(listErrors.size(), 1);
        QVERIFY(ParseVirtualVideoConfig(QStringLiteral("-2"), &listErrors).empty());
        QCOMPARE(listErrors.size(), 2);
    }

    void listEntriesWithDefaultsForTrailingFields()
    {
        QStringList listErrors;
        const auto vec = ParseVirtualVideoConfig(
            QStringLiteral("Stage|3|1280x720|SN-1|nosignal; Lectern|1 ;Booth||640X480;Door|||SER;;Hall|2|||signal;"),
            &listErrors);
        QVERIFY2(listErrors.isEmpty(), qPrintable(listErrors.join('\n')));
        QCOMPARE(int(vec.size()), 5);
        QCOMPARE(vec[0].strName, QStringLiteral("Stage"));
        QCOMPARE(vec[0].nFamily, 3);
        QCOMPARE(vec[0].nMaxWidth, 1280);
        QCOMPARE(vec[0].nMaxHeight, 720);
        QCOMPARE(vec[0].baSerial, QByteArray("SN-1"));
        QVERIFY(vec[0].bNoSignal);
        QCOMPARE(vec[1].strName, QStringLiteral("Lectern"));
        QCOMPARE(vec[1].nFamily, 1);
        QCOMPARE(vec[1].nMaxWidth, 1920);
        QCOMPARE(vec[2].nFamily, 2);
        QCOMPARE(vec[2].nMaxWidth, 640);
        QCOMPARE(vec[2].nMaxHeight, 480);
        QCOMPARE(vec[3].baSerial, QByteArray("SER"));
        QCOMPARE(vec[3].nMaxHeight, 1080);
        QVERIFY(!vec[4].bNoSignal);
    }

    void malformedEntriesAreSkippedWithADiagnostic()
    {
        QStringList listErrors;
        const auto vec = ParseVirtualVideoConfig(
            QStringLiteral("Good;|2;Bad|x;Odd|2|1919x1080;Zero|2|0x0;Star|2|1920*1080;Many|2|8x8|s|nosignal|z;"
                           "Sig|2|8x8|s|maybe;Huge|2|99999x2;Neg|-1;Last"),
            &listErrors);
        QCOMPARE(int(vec.size()), 2);
        QCOMPARE(vec[0].strName, QStringLiteral("Good"));
        QCOMPARE(vec[1].strName, QStringLiteral("Last"));
        QCOMPARE(listErrors.size(), 9);
    }

    // A camera listing 1920x1080 and 1600x1200 can deliver both: its
    // largest width and largest height are taken one by one, and each size
    // it lists is asked for exactly as it is.
    void realDeviceSizesByWidthAndHeight()
    {
        const uint32_t nMjpeg = V4L2_PIX_FMT_MJPEG;
        const std::vector<KVMedia::SV4l2Size> vecSizes = {
            {V4L2_PIX_FMT_YUYV, 640, 480}, {nMjpeg, 1920, 1080}, {nMjpeg, 1600, 1200}};
        int nWidth = 0, nHeight = 0;
        KVMedia::GetLargestDimensions(vecSizes, &nWidth, &nHeight);
        QCOMPARE(QSize(nWidth, nHeight), QSize(1920, 1200));
        KVMedia::SV4l2Choice choice;
        QVERIFY(KVMedia::ChooseV4l2Size(vecSizes, 1600, 1200, &choice));
        QCOMPARE(QSize(choice.nWidth, choice.nHeight), QSize(1600, 1200));
        // Larger than anything offered: the largest, scaled up afterwards.
        QVERIFY(KVMedia::ChooseV4l2Size(vecSizes, 2560, 1440, &choice));
        QCOMPARE(QSize(choice.nWidth, choice.nHeight), QSize(1920, 1080));
    }

    // The output rate decides between picture and rate: up to 30 fps the
    // rate comes first, above it a camera keeps its full picture at half
    // the rate rather than sending a small one at the full rate.
    void realDeviceSizeChosenForTheRate_data()
    {
        QTest::addColumn<double>("dFps");
        QTest::addColumn<int>("nWantWidth");
        QTest::addColumn<QSize>("sizeChosen");
        QTest::addColumn<bool>("bMjpeg");
        QTest::newRow("30: MJPEG keeps the rate") << 30.0 << 1920 << QSize(1920, 1080) << true;
        QTest::newRow("60: full size at 30") << 60.0 << 1920 << QSize(1920, 1080) << true;
        QTest::newRow("59.94: full size at 30") << 59.94 << 1920 << QSize(1920, 1080) << true;
        QTest::newRow("60: a small cell at the rate") << 60.0 << 640 << QSize(640, 480) << false;
        QTest::newRow("50: 720p at the rate") << 50.0 << 1280 << QSize(1280, 720) << true;
    }

    void realDeviceSizeChosenForTheRate()
    {
        QFETCH(double, dFps);
        QFETCH(int, nWantWidth);
        QFETCH(QSize, sizeChosen);
        QFETCH(bool, bMjpeg);
        const uint32_t nMjpeg = V4L2_PIX_FMT_MJPEG;
        const uint32_t nYuyv = V4L2_PIX_FMT_YUYV;
        // A common 1080p webcam: uncompressed slowly, MJPEG at 30 fps, 60
        // only at small sizes.
        const std::vector<KVMedia::SV4l2Size> vecSizes = {{nYuyv, 1920, 1080, 5},
                                                          {nYuyv, 640, 480, 60},
                                                          {nMjpeg, 1920, 1080, 30},
                                                          {nMjpeg, 1280, 720, 60},
                                                          {nMjpeg, 640, 480, 60}};
        KVMedia::SV4l2Choice choice;
        QVERIFY(KVMedia::ChooseV4l2Size(vecSizes, nWantWidth, nWantWidth * 9 / 16, &choice, dFps));
        QCOMPARE(QSize(choice.nWidth, choice.nHeight), sizeChosen);
        QCOMPARE(choice.nFourcc == nMjpeg, bMjpeg);
    }

    void audioCount()
    {
        QStringList listErrors;
        QCOMPARE(ParseVirtualAudioCount(QStringLiteral("2"), &listErrors), 2);
        QCOMPARE(ParseVirtualAudioCount(QString(), &listErrors), 0);
        QVERIFY(listErrors.isEmpty());
        QCOMPARE(ParseVirtualAudioCount(QStringLiteral("two"), &listErrors), 0);
        QCOMPARE(listErrors.size(), 1);
    }

    void initializeListsVirtualDevicesWithTheirRecords()
    {
        InitWith("Stage|3|1280x720|SN-1;Lectern|1|720x576", "2");
        QCOMPARE(KVS_GetVideoCaptureCount(), 2);

        KVS_VIDEO_CAPTURE_INFO_EX infoEx;
        std::memset(&infoEx, 0xAB, sizeof(infoEx));
        QVERIFY(KVS_GetVideoCaptureInfoEx(0, &infoEx));
        QCOMPARE(QString::fromUtf16(infoEx.info.szName), QStringLiteral("Stage"));
        QCOMPARE(infoEx.nFamily, 3);
        QCOMPARE(infoEx.nMaxWidth, 1280);
        QCOMPARE(infoEx.nMaxHeight, 720);
        QVERIFY(std::strlen(infoEx.info.szIdentity) > 0);
        QVERIFY(KVS_GetVideoCaptureInfoEx(1, &infoEx));
        QCOMPARE(QString::fromUtf16(infoEx.info.szName), QStringLiteral("Lectern"));
        QCOMPARE(infoEx.nFamily, 1);

        KVS_VIDEO_CAPTURE_INFO info;
        QVERIFY(!KVS_GetVideoCaptureInfo(2, &info));
        QVERIFY(!KVS_GetVideoCaptureInfo(-1, &info));
        QVERIFY(!KVS_GetVideoCaptureInfo(0, nullptr));
        QVERIFY(!KVS_OpenVideoCapture("virtual:nonexistent"));
        QVERIFY(!KVS_OpenVideoCapture(nullptr));

        QCOMPARE(KVS_GetAudioCaptureCount3(), 2);
        KVS_AUDIO_CAPTURE_INFO audio0, audio1;
        QVERIFY(KVS_GetAudioCaptureInfo3(0, &audio0));
        QVERIFY(KVS_GetAudioCaptureInfo3(1, &audio1));
        QCOMPARE(QString::fromUtf16(audio1.szName), QStringLiteral("Virtual Tone 2"));
        QVERIFY(std::memcmp(&audio0.guid, &audio1.guid, sizeof(KVS_GUID)) != 0);
        QVERIFY(!KVS_GetAudioCaptureInfo3(2, &audio0));
    }

    void sameNamesAreMadeUnique()
    {
        InitWith("Cam;Cam;Cam (2);Cam");
        QCOMPARE(Name(0), QStringLiteral("Cam"));
        QCOMPARE(Name(1), QStringLiteral("Cam (3)"));
        QCOMPARE(Name(2), QStringLiteral("Cam (2)"));
        QCOMPARE(Name(3), QStringLiteral("Cam (4)"));
    }

    void reinitialiseReadsTheEnvironmentAgain()
    {
        InitWith("2");
        QCOMPARE(KVS_GetVideoCaptureCount(), 2);
        KVS_Uninitialize();
        InitWith("5");
        QCOMPARE(KVS_GetVideoCaptureCount(), 5);
        QCOMPARE(Name(4), QStringLiteral("Virtual Camera 5"));
        KVS_Uninitialize();
        QCOMPARE(KVS_GetVideoCaptureCount(), 0);
    }

    void virtualDevicesComeAfterRealOnes()
    {
        // Real devices are looked for this time; on a machine without any
        // the list is just the virtual ones, and nothing breaks either way.
        qputenv("VISTREL_NO_V4L2", "0");
        qputenv("VISTREL_VIRTUAL_VIDEO", "First;Second");
        QVERIFY(KVS_Initialize());
        const int nCount = KVS_GetVideoCaptureCount();
        QVERIFY(nCount >= 2);
        QCOMPARE(Name(nCount - 2), QStringLiteral("First"));
        QCOMPARE(Name(nCount - 1), QStringLiteral("Second"));
        for (int i = 0; i < nCount - 2; ++i)
        {
            KVS_VIDEO_CAPTURE_INFO_EX info;
            QVERIFY(KVS_GetVideoCaptureInfoEx(i, &info));
            QVERIFY(info.nFamily == 1 || info.nFamily == 2);
            QVERIFY(info.nMaxWidth > 0 && info.nMaxHeight > 0);
        }
    }

    void propertiesOfAVirtualDevice()
    {
        const QByteArray baLongSerial(100, 'S');
        InitWith("Long|2|1920x1080|" + baLongSerial + ";Plain;Dark|2|||nosignal");
        KVS_VIDEO_CAPTURE_INFO info;
        QVERIFY(KVS_GetVideoCaptureInfo(0, &info));
        const KVS_HANDLE hCapture = KVS_OpenVideoCapture(info.szIdentity);
        QVERIFY(hCapture);
        const KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(hCapture);
        QVERIFY(hProperty);

        char szSerial[64];
        std::memset(szSerial, 0, sizeof(szSerial));
        QVERIFY(KVP_GetSerialNo(hProperty, szSerial));
        QCOMPARE(QByteArray(szSerial), baLongSerial.left(63));

        for (int nId = KVPHD_PARAM_BRIGHTNESS; nId <= KVPHD_PARAM_SATURATION; ++nId)
        {
            int nMin = -1, nMax = -1, nDefault = -1, nValue = -1;
            QVERIFY(KVPHD_GetVideoProcParamRange(hProperty, nId, &nMin, &nMax, &nDefault));
            QCOMPARE(nMin, 0);
            QCOMPARE(nMax, 255);
            QCOMPARE(nDefault, 128);
            QVERIFY(KVPHD_GetVideoProcParam(hProperty, nId, &nValue));
            QCOMPARE(nValue, 128);
            QVERIFY(KVPHD_SetVideoProcParam(hProperty, nId, 10 + nId));
            QVERIFY(!KVPHD_SetVideoProcParam(hProperty, nId, 256));
            QVERIFY(!KVPHD_SetVideoProcParam(hProperty, nId, -1));
            QVERIFY(KVPHD_GetVideoProcParam(hProperty, nId, &nValue));
            QCOMPARE(nValue, 10 + nId);
        }
        int nValue = 0;
        QVERIFY(!KVPHD_GetVideoProcParam(hProperty, 4, &nValue));
        QVERIFY(!KVPHD_SetVideoProcParam(hProperty, -1, 0));
        QCOMPARE(KVPHD_IsSignalPresent(hProperty), 1);
        int nType = -1;
        QVERIFY(KVPHD_GetInputType(hProperty, &nType));
        QCOMPARE(nType, 0);

        // The controls belong to the device, not to the handle: a second
        // handle after the capture was closed sees the same values.
        QVERIFY(KVS_CloseVideoCapture(hCapture));
        QVERIFY(!KVS_OpenVideoCapturePropertyHandle(hCapture));
        QVERIFY(KVPHD_GetVideoProcParam(hProperty, KVPHD_PARAM_HUE, &nValue));
        QVERIFY(KVP_ClosePropertyHandle(hProperty));
        QVERIFY(!KVP_ClosePropertyHandle(hProperty));
        QVERIFY(!KVPHD_GetVideoProcParam(hProperty, KVPHD_PARAM_HUE, &nValue));

        const KVS_HANDLE hAgain = KVS_OpenVideoCapture(info.szIdentity);
        const KVS_HANDLE hProperty2 = KVS_OpenVideoCapturePropertyHandle(hAgain);
        QVERIFY(KVPHD_GetVideoProcParam(hProperty2, KVPHD_PARAM_HUE, &nValue));
        QCOMPARE(nValue, 10 + KVPHD_PARAM_HUE);

        // No serial number: empty text, still a successful call.
        QVERIFY(KVS_GetVideoCaptureInfo(1, &info));
        const KVS_HANDLE hPlain = KVS_OpenVideoCapture(info.szIdentity);
        const KVS_HANDLE hPlainProperty = KVS_OpenVideoCapturePropertyHandle(hPlain);
        std::memset(szSerial, 'x', sizeof(szSerial));
        QVERIFY(KVP_GetSerialNo(hPlainProperty, szSerial));
        QCOMPARE(szSerial[0], '\0');

        QVERIFY(KVS_GetVideoCaptureInfo(2, &info));
        const KVS_HANDLE hDark = KVS_OpenVideoCapture(info.szIdentity);
        const KVS_HANDLE hDarkProperty = KVS_OpenVideoCapturePropertyHandle(hDark);
        QCOMPARE(KVPHD_IsSignalPresent(hDarkProperty), 0);
        // Closing the library closes whatever is still open; the handles are
        // refused afterwards.
        KVS_Uninitialize();
        QVERIFY(!KVPHD_IsSignalPresent(hDarkProperty));
        QVERIFY(!KVS_StartVideoCapture(hDark));
    }

    void hardwareEncoderProbeAndProtocolStart()
    {
        const int nFirst = KVS_IsSupportH264HD();
        QVERIFY(nFirst == 0 || nFirst == 1);
        QCOMPARE(KVS_IsSupportH264HD(), nFirst);
        QCOMPARE(KPL_Initialize(), 1);
        KPL_Uninitialize();
    }
};

QTEST_MAIN(TestDevices)
#include "tst_devices.moc"
