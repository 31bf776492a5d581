// The media layer on emulated USB cameras: listing through sysfs and the
// device nodes, the format asked for, the picture controls, capture through
// libavdevice with MJPEG decoding and scaling, and cameras unplugged,
// plugged back and plugged in anew.
#include "media/capture/v4l2/V4l2Device.h"
#include "media/KVProperty.h"
#include "media/KVStream.h"
#include "V4l2EmuControl.h"

#include <QSet>
#include <QtTest>

#include <linux/videodev2.h>

#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/ioctl.h>
#include <unistd.h>

namespace
{
// The cameras (tests/v4l2/CMakeLists.txt): camera 0 a full HD camera with
// uncompressed pictures up to 1280 x 720; camera 1 the same model (hence the
// same name) with small sizes only; camera 2 starts unplugged, and so do
// camera 3, which is not on USB (neither serial number nor port), and
// camera 4.

struct SSink
{
    std::mutex mutex;
    int nFrames = 0;
    QByteArray baLast;
    int nHeight = 0;
};

void OnFrame(const uint8_t* pFrame, int nStride, void* pUser)
{
    auto* pSink = static_cast<SSink*>(pUser);
    std::lock_guard<std::mutex> lock(pSink->mutex);
    ++pSink->nFrames;
    pSink->baLast = QByteArray(reinterpret_cast<const char*>(pFrame), nStride * pSink->nHeight);
}

int Frames(SSink& sink)
{
    std::lock_guard<std::mutex> lock(sink.mutex);
    return sink.nFrames;
}

// Y, U and V of pixel (x, y) of a packed YUYV picture nWidth wide.
void PixelAt(SSink& sink, int nWidth, int x, int y, int* pY, int* pU, int* pV)
{
    std::lock_guard<std::mutex> lock(sink.mutex);
    const auto* p = reinterpret_cast<const uint8_t*>(sink.baLast.constData()) + (size_t(y) * nWidth + (x & ~1)) * 2;
    *pY = p[0];
    *pU = p[1];
    *pV = p[3];
}

// What the node is set to now, asked the way any other program would.
bool CurrentFormat(const char* pszNode, v4l2_format* pFormat, v4l2_streamparm* pParm)
{
    const int fd = ::open(pszNode, O_RDWR | O_NONBLOCK);
    if (fd < 0)
        return false;
    std::memset(pFormat, 0, sizeof(*pFormat));
    std::memset(pParm, 0, sizeof(*pParm));
    pFormat->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    pParm->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    const bool bOk = ::ioctl(fd, VIDIOC_G_FMT, pFormat) == 0 && ::ioctl(fd, VIDIOC_G_PARM, pParm) == 0;
    ::close(fd);
    return bOk;
}

QByteArray Identity(int nIndex)
{
    KVS_VIDEO_CAPTURE_INFO info{};
    if (!KVS_GetVideoCaptureInfo(nIndex, &info))
        return QByteArray();
    return QByteArray(info.szIdentity);
}

QString Name(int nIndex)
{
    KVS_VIDEO_CAPTURE_INFO info{};
    return KVS_GetVideoCaptureInfo(nIndex, &info) ? QString::fromUtf16(info.szName) : QString();
}

// Whether a capture opened by identity delivers emulated camera nCamera's
// picture; empty when it does, else what went wrong.
QString CaptureShows(const QByteArray& baIdentity, int nCamera)
{
    KVS_HANDLE hCapture = KVS_OpenVideoCapture(baIdentity.constData());
    if (!hCapture)
        return QStringLiteral("cannot open %1").arg(QString::fromLatin1(baIdentity));
    SSink sink;
    sink.nHeight = 240;
    KVS_SetVideoCaptureCallback(hCapture, &OnFrame, &sink);
    QString strError;
    if (!KVS_SetVideoCaptureFormat(hCapture, KVS_COLOR_YUYV, 320, 240, 400000) || !KVS_StartVideoCapture(hCapture))
        strError = QStringLiteral("cannot start %1").arg(QString::fromLatin1(baIdentity));
    QDeadlineTimer deadline(30000);
    while (strError.isEmpty() && Frames(sink) < 3 && !deadline.hasExpired())
        QTest::qWait(20);
    KVS_CloseVideoCapture(hCapture);
    if (strError.isEmpty() && Frames(sink) < 3)
        strError = QStringLiteral("no frames from %1").arg(QString::fromLatin1(baIdentity));
    if (!strError.isEmpty())
        return strError;
    int nY = 0, nU = 0, nV = 0;
    PixelAt(sink, 320, 160, 60, &nY, &nU, &nV);
    if (V4l2Emu::LooksLikeCamera(nCamera, nY, nU, nV))
        return QString();
    return QStringLiteral("%1 shows %2 %3 %4").arg(QString::fromLatin1(baIdentity)).arg(nY).arg(nU).arg(nV);
}
}

class TestV4l2Devices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(V4l2Emu::IsLoaded(), "the camera emulation is not preloaded");
        QVERIFY(V4l2Emu::SetPlugged(2, false));
        QVERIFY(KVS_Initialize());
    }
    void cleanupTestCase() { KVS_Uninitialize(); }

    void camerasAreListedWithNamesSizesAndSerials()
    {
        // The metadata nodes beside each camera are no capture devices.
        QCOMPARE(KVS_GetVideoCaptureCount(), 2);
        KVS_VIDEO_CAPTURE_INFO_EX info{};
        QVERIFY(KVS_GetVideoCaptureInfoEx(0, &info));
        QCOMPARE(QString::fromUtf16(info.info.szName), QStringLiteral("Emu Cam HD"));
        QCOMPARE(info.nFamily, 2);
        // Width and height each at their largest, from different sizes.
        QCOMPARE(info.nMaxWidth, 1920);
        QCOMPARE(info.nMaxHeight, 1200);
        QVERIFY(KVS_GetVideoCaptureInfoEx(1, &info));
        QCOMPARE(QString::fromUtf16(info.info.szName), QStringLiteral("Emu Cam HD (2)"));
        QCOMPARE(info.nFamily, 1);
        QCOMPARE(info.nMaxWidth, 640);
        QCOMPARE(info.nMaxHeight, 480);

        const char* apszSerial[] = {"SN-A1", "SN-B2"};
        for (int nIndex = 0; nIndex < 2; ++nIndex)
        {
            KVS_HANDLE hCapture = KVS_OpenVideoCapture(Identity(nIndex).constData());
            QVERIFY(hCapture);
            KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(hCapture);
            QVERIFY(hProperty);
            char szSerial[64] = {};
            QVERIFY(KVP_GetSerialNo(hProperty, szSerial));
            QCOMPARE(QByteArray(szSerial), QByteArray(apszSerial[nIndex]));
            KVP_ClosePropertyHandle(hProperty);
            KVS_CloseVideoCapture(hCapture);
        }
    }

    void formatIsChosenForSizeAndRate()
    {
        struct
        {
            int nWidth, nHeight;
            double dFps;
            uint32_t nFourcc;
            int nChosenWidth, nChosenHeight;
        } aCases[] = {
            // Offered uncompressed at that size and rate.
            {640, 480, 30, V4L2_PIX_FMT_YUYV, 640, 480},
            // Uncompressed 1280 x 720 comes at 10 fps only: MJPEG keeps 30.
            {1280, 720, 30, V4L2_PIX_FMT_MJPEG, 1280, 720},
            {1280, 720, 10, V4L2_PIX_FMT_YUYV, 1280, 720},
            // Only MJPEG has it.
            {1920, 1080, 25, V4L2_PIX_FMT_MJPEG, 1920, 1080},
            // No exact size: the smallest covering one, at the rate.
            {1000, 700, 25, V4L2_PIX_FMT_MJPEG, 1280, 720},
            {600, 300, 30, V4L2_PIX_FMT_YUYV, 640, 480},
        };
        for (const auto& c : aCases)
        {
            KVMedia::SV4l2Choice choice;
            QVERIFY(KVMedia::ChooseV4l2Format(QStringLiteral("/dev/video0"), c.nWidth, c.nHeight, &choice, c.dFps));
            const QString strCase = QStringLiteral("%1x%2@%3").arg(c.nWidth).arg(c.nHeight).arg(c.dFps);
            QVERIFY2(choice.nFourcc == c.nFourcc, qPrintable(strCase));
            QVERIFY2(choice.nWidth == c.nChosenWidth && choice.nHeight == c.nChosenHeight, qPrintable(strCase));
        }
    }

    void controlsHaveTheCamerasRangesAndReachIt()
    {
        KVS_HANDLE hCapture = KVS_OpenVideoCapture(Identity(0).constData());
        QVERIFY(hCapture);
        KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(hCapture);
        QVERIFY(hProperty);
        const int aRanges[4][3] = {{-64, 64, 0}, {0, 64, 32}, {-40, 40, 0}, {0, 128, 64}};
        const uint32_t aIds[4] = {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_HUE, V4L2_CID_SATURATION};
        const int fd = ::open("/dev/video0", O_RDWR);
        QVERIFY(fd >= 0);
        for (int nId = KVPHD_PARAM_BRIGHTNESS; nId <= KVPHD_PARAM_SATURATION; ++nId)
        {
            int nMin = 0, nMax = 0, nDefault = 0, nValue = 0;
            QVERIFY(KVPHD_GetVideoProcParamRange(hProperty, nId, &nMin, &nMax, &nDefault));
            QCOMPARE(nMin, aRanges[nId][0]);
            QCOMPARE(nMax, aRanges[nId][1]);
            QCOMPARE(nDefault, aRanges[nId][2]);
            QVERIFY(KVPHD_GetVideoProcParam(hProperty, nId, &nValue));
            QCOMPARE(nValue, nDefault);
            QVERIFY(KVPHD_SetVideoProcParam(hProperty, nId, nMax - 1));
            QVERIFY(!KVPHD_SetVideoProcParam(hProperty, nId, nMax + 1));
            // The device itself holds the new value.
            v4l2_control control{aIds[nId], 0};
            QCOMPARE(::ioctl(fd, VIDIOC_G_CTRL, &control), 0);
            QCOMPARE(control.value, nMax - 1);
            QVERIFY(KVPHD_SetVideoProcParam(hProperty, nId, nDefault));
        }
        ::close(fd);
        QCOMPARE(KVPHD_IsSignalPresent(hProperty), 1);
        KVP_ClosePropertyHandle(hProperty);
        KVS_CloseVideoCapture(hCapture);
    }

    void captureDecodesAndScalesToTheExactSize()
    {
        // 1280 x 720 at 30 fps comes as MJPEG; the frames are decoded and
        // scaled down to 400 x 224.
        KVS_HANDLE hCapture = KVS_OpenVideoCapture(Identity(0).constData());
        QVERIFY(hCapture);
        QVERIFY(KVS_SetVideoCaptureFormat(hCapture, KVS_COLOR_YUYV, 1280, 720, 333333));
        SSink sink;
        sink.nHeight = 720;
        KVS_SetVideoCaptureCallback(hCapture, &OnFrame, &sink);
        QVERIFY(KVS_StartVideoCapture(hCapture));
        QTRY_VERIFY_WITH_TIMEOUT(Frames(sink) >= 10, 30000);

        v4l2_format format;
        v4l2_streamparm parm;
        QVERIFY(CurrentFormat("/dev/video0", &format, &parm));
        QCOMPARE(format.fmt.pix.pixelformat, uint32_t(V4L2_PIX_FMT_MJPEG));
        QCOMPARE(format.fmt.pix.width, 1280u);
        QCOMPARE(parm.parm.capture.timeperframe.denominator / parm.parm.capture.timeperframe.numerator, 30u);

        int nY = 0, nU = 0, nV = 0;
        PixelAt(sink, 1280, 640, 200, &nY, &nU, &nV);
        QVERIFY2(V4l2Emu::LooksLikeCamera(0, nY, nU, nV),
                 qPrintable(QStringLiteral("%1 %2 %3").arg(nY).arg(nU).arg(nV)));
        KVS_StopVideoCapture(hCapture);

        // A size the camera does not offer: scaled from the nearest one.
        QVERIFY(KVS_SetVideoCaptureFormat(hCapture, KVS_COLOR_YUYV, 400, 224, 400000));
        {
            std::lock_guard<std::mutex> lock(sink.mutex);
            sink.nFrames = 0;
            sink.nHeight = 224;
        }
        QVERIFY(KVS_StartVideoCapture(hCapture));
        QTRY_VERIFY_WITH_TIMEOUT(Frames(sink) >= 5, 30000);
        QVERIFY(CurrentFormat("/dev/video0", &format, &parm));
        QCOMPARE(format.fmt.pix.pixelformat, uint32_t(V4L2_PIX_FMT_YUYV));
        QCOMPARE(format.fmt.pix.width, 640u);
        QCOMPARE(parm.parm.capture.timeperframe.denominator / parm.parm.capture.timeperframe.numerator, 25u);
        {
            std::lock_guard<std::mutex> lock(sink.mutex);
            QCOMPARE(sink.baLast.size(), 400 * 2 * 224);
        }
        PixelAt(sink, 400, 399, 100, &nY, &nU, &nV);
        QVERIFY2(V4l2Emu::LooksLikeCamera(0, nY, nU, nV),
                 qPrintable(QStringLiteral("%1 %2 %3").arg(nY).arg(nU).arg(nV)));
        KVS_CloseVideoCapture(hCapture);
    }

    void unplugEndsTheCaptureAndReplugBringsItBack()
    {
        KVS_HANDLE hCapture = KVS_OpenVideoCapture(Identity(1).constData());
        QVERIFY(hCapture);
        KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(hCapture);
        QVERIFY(KVS_SetVideoCaptureFormat(hCapture, KVS_COLOR_YUYV, 320, 240, 400000));
        SSink sink;
        sink.nHeight = 240;
        KVS_SetVideoCaptureCallback(hCapture, &OnFrame, &sink);
        QVERIFY(KVS_StartVideoCapture(hCapture));
        QTRY_VERIFY_WITH_TIMEOUT(Frames(sink) >= 3, 30000);
        const int nGeneration = KVS_RefreshVideoDevices();

        QVERIFY(V4l2Emu::SetPlugged(1, false));
        QTRY_VERIFY_WITH_TIMEOUT(!KVS_IsVideoCaptureRunning(hCapture), 30000);
        QCOMPARE(KVPHD_IsSignalPresent(hProperty), 0);
        QVERIFY(KVS_RefreshVideoDevices() != nGeneration);
        QVERIFY(!KVS_IsVideoCapturePresent(1));
        QVERIFY(KVS_IsVideoCapturePresent(0));
        // It keeps its number, and cannot start while it is away.
        QCOMPARE(KVS_GetVideoCaptureCount(), 2);
        QVERIFY(!KVS_StartVideoCapture(hCapture));

        QVERIFY(V4l2Emu::SetPlugged(1, true));
        KVS_RefreshVideoDevices();
        QVERIFY(KVS_IsVideoCapturePresent(1));
        QCOMPARE(KVS_GetVideoCaptureCount(), 2);
        const int nBefore = Frames(sink);
        QVERIFY(KVS_StartVideoCapture(hCapture));
        QTRY_VERIFY_WITH_TIMEOUT(Frames(sink) >= nBefore + 3, 30000);
        int nY = 0, nU = 0, nV = 0;
        PixelAt(sink, 320, 160, 60, &nY, &nU, &nV);
        QVERIFY2(V4l2Emu::LooksLikeCamera(1, nY, nU, nV),
                 qPrintable(QStringLiteral("%1 %2 %3").arg(nY).arg(nU).arg(nV)));
        KVP_ClosePropertyHandle(hProperty);
        KVS_CloseVideoCapture(hCapture);
    }

    void cameraPluggedInLaterIsAppended()
    {
        QVERIFY(V4l2Emu::SetPlugged(2, true));
        KVS_RefreshVideoDevices();
        QCOMPARE(KVS_GetVideoCaptureCount(), 3);
        KVS_VIDEO_CAPTURE_INFO_EX info{};
        QVERIFY(KVS_GetVideoCaptureInfoEx(2, &info));
        QCOMPARE(QString::fromUtf16(info.info.szName), QStringLiteral("Late Cam"));
        QCOMPARE(info.nMaxWidth, 1920);
        // The earlier ones keep their numbers and names.
        QVERIFY(KVS_GetVideoCaptureInfoEx(1, &info));
        QCOMPARE(QString::fromUtf16(info.info.szName), QStringLiteral("Emu Cam HD (2)"));
    }

    void cameraOnTheNodeOfAnAbsentOneIsANewDevice()
    {
        const QByteArray baAway = Identity(1);
        QVERIFY(V4l2Emu::SetPlugged(1, false));
        KVS_RefreshVideoDevices();
        QVERIFY(!KVS_IsVideoCapturePresent(1));

        // Another camera gets the node camera 1 had.
        QVERIFY(V4l2Emu::SetNode(4, 2));
        QVERIFY(V4l2Emu::SetPlugged(4, true));
        KVS_RefreshVideoDevices();
        QCOMPARE(KVS_GetVideoCaptureCount(), 4);
        QCOMPARE(Name(3), QStringLiteral("Stray Cam"));
        QVERIFY(KVS_IsVideoCapturePresent(3));
        QVERIFY(!KVS_IsVideoCapturePresent(1));
        QSet<QByteArray> setIdentities;
        for (int nIndex = 0; nIndex < 4; ++nIndex)
            setIdentities.insert(Identity(nIndex));
        QCOMPARE(setIdentities.size(), 4);
        const QString strNewcomer = CaptureShows(Identity(3), 4);
        QVERIFY2(strNewcomer.isEmpty(), qPrintable(strNewcomer));
        // What was opened for the absent camera must not reach the newcomer.
        KVS_HANDLE hAway = KVS_OpenVideoCapture(baAway.constData());
        QVERIFY(hAway);
        QVERIFY(!KVS_StartVideoCapture(hAway));
        KVS_CloseVideoCapture(hAway);

        // Camera 1 comes back on the next free node: its own entry again.
        QVERIFY(V4l2Emu::SetNode(1, 10));
        QVERIFY(V4l2Emu::SetPlugged(1, true));
        KVS_RefreshVideoDevices();
        QCOMPARE(KVS_GetVideoCaptureCount(), 4);
        QVERIFY(KVS_IsVideoCapturePresent(1));
        QCOMPARE(Identity(1), baAway);
    }

    void cameraWithoutSerialOrPortStaysOneDevice()
    {
        // Nothing but its node tells it from another camera of its model.
        QVERIFY(V4l2Emu::SetPlugged(3, true));
        for (int nRound = 0; nRound < 3; ++nRound)
            KVS_RefreshVideoDevices();
        QCOMPARE(KVS_GetVideoCaptureCount(), 5);
        QCOMPARE(Name(4), QStringLiteral("Bare Cam"));
        QVERIFY(KVS_IsVideoCapturePresent(4));
    }
};

QTEST_GUILESS_MAIN(TestV4l2Devices)
#include "tst_v4l2_devices.moc"
