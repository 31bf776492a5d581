// Virtual capture end to end: formats, frames, pacing, picture controls,
// signal, the latest-frame copy and the life cycle of capture handles.
#include "media/capture/CaptureSource.h"
#include "media/image/YuyvLayout.h"
#include "CaptureTestUtil.h"
#include "media/KVProperty.h"

#include <QScopeGuard>
#include <QtTest>

#include <atomic>
#include <cmath>

namespace
{
// Counts callbacks that arrive after the test declared the capture closed.
struct SClosedWatch
{
    std::atomic<bool> bClosed{false};
    std::atomic<int> nFrames{0};
    std::atomic<int> nLate{0};
};

void OnWatchedFrame(const uint8_t*, int, void* pUser)
{
    auto* pWatch = static_cast<SClosedWatch*>(pUser);
    pWatch->nFrames++;
    if (pWatch->bClosed)
        pWatch->nLate++;
}

struct SSelfStop
{
    KVS_HANDLE hCapture = nullptr;
    std::atomic<bool> bClose{false};
    std::atomic<int> nFrames{0};
    std::atomic<int> nDone{0};
};

void OnFrameStopSelf(const uint8_t*, int, void* pUser)
{
    auto* pSelf = static_cast<SSelfStop*>(pUser);
    pSelf->nFrames++;
    if (pSelf->bClose)
        KVS_CloseVideoCapture(pSelf->hCapture);
    else
        KVS_StopVideoCapture(pSelf->hCapture);
    pSelf->nDone++;
}

int CountDifferentBytes(const QByteArray& ba1, const QByteArray& ba2)
{
    if (ba1.size() != ba2.size())
        return -1;
    int nDiff = 0;
    for (int i = 0; i < ba1.size(); ++i)
        nDiff += ba1[i] != ba2[i];
    return nDiff;
}

QByteArray LatestFrame(KVS_HANDLE hCapture, int nWidth, int nHeight, uint64_t* pSeq = nullptr)
{
    QByteArray ba(nWidth * 2 * nHeight, '\0');
    if (!KVS_CopyLatestFrame(hCapture, reinterpret_cast<uint8_t*>(ba.data()), nWidth * 2, nWidth, nHeight, pSeq))
        return QByteArray();
    return ba;
}

// A frame taken after the capture produced at least one more.
QByteArray NextFrame(KVS_HANDLE hCapture, int nWidth, int nHeight)
{
    const uint64_t nSeq = KVS_GetLatestFrameSeq(hCapture);
    if (!QTest::qWaitFor([&] { return KVS_GetLatestFrameSeq(hCapture) > nSeq + 1; }, 10000))
        return QByteArray();
    return LatestFrame(hCapture, nWidth, nHeight);
}
}

class TestCapture : public QObject
{
    Q_OBJECT

    int m_nAlpha = -1;
    int m_nBeta = -1;
    int m_nGamma = -1;

    KVS_HANDLE StartDevice(int nIndex, int nWidth, int nHeight, int nDuration = 400000)
    {
        const KVS_HANDLE h = OpenDevice(nIndex);
        if (h && KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, nWidth, nHeight, nDuration) && KVS_StartVideoCapture(h))
            return h;
        KVS_CloseVideoCapture(h);
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        qputenv("VISTREL_VIRTUAL_VIDEO", "Alpha|2|1920x1080|SN-A;Beta|2|1280x720;Gamma|1|720x576||nosignal");
        QVERIFY(KVS_Initialize());
        m_nAlpha = FindDevice(u"Alpha");
        m_nBeta = FindDevice(u"Beta");
        m_nGamma = FindDevice(u"Gamma");
        QVERIFY(m_nAlpha >= 0 && m_nBeta >= 0 && m_nGamma >= 0);
    }

    void cleanupTestCase() { KVS_Uninitialize(); }

    void sharedFramesStayAsTheyWereWhileHeld()
    {
        const KVS_HANDLE h = StartDevice(m_nBeta, 320, 180, 100000);
        QVERIFY(h);
        QTRY_VERIFY_WITH_TIMEOUT(KVS_GetLatestFrameSeq(h) > 0, 10000);
        const std::shared_ptr<const KVMedia::SCapturedFrame> pHeld = KVS_AcquireLatestFrame(h, 320, 180, 0);
        QVERIFY(pHeld);
        QCOMPARE(pHeld->abData.size(), size_t(320 * 2 * 180) + KVMedia::FRAME_READ_PADDING);
        const std::vector<uint8_t> abAtAcquire = pHeld->abData;
        QVERIFY(!KVS_AcquireLatestFrame(h, 640, 360, 0));
        QVERIFY(!KVS_AcquireLatestFrame(h, 320, 180, KVS_GetLatestFrameSeq(h))); // nothing newer yet

        // The capture goes on through more frames than it keeps buffers
        // for; the held one must not be among those written again.
        QTRY_VERIFY_WITH_TIMEOUT(KVS_GetLatestFrameSeq(h) > pHeld->nSeq + 12, 10000);
        const auto pNewer = KVS_AcquireLatestFrame(h, 320, 180, pHeld->nSeq);
        QVERIFY(pNewer);
        QVERIFY(pNewer->nSeq > pHeld->nSeq);
        QVERIFY(pNewer->abData != abAtAcquire); // the picture moves...
        QVERIFY(pHeld->abData == abAtAcquire);  // ...but not the held one

        // A frame outlives the capture it came from.
        QVERIFY(KVS_CloseVideoCapture(h));
        QVERIFY(pNewer->abData.size() == size_t(320 * 2 * 180) + KVMedia::FRAME_READ_PADDING);
        QVERIFY(!KVS_AcquireLatestFrame(h, 320, 180, 0));
    }

    void framesArriveAtTheRequestedSizeAndRate()
    {
        SFrameSink sink;
        sink.Reset(640, 360);
        const KVS_HANDLE h = OpenDevice(m_nAlpha);
        QVERIFY(h);
        // A failed check returns at once: the capture must not go on
        // calling into the sink after it is gone.
        auto closeGuard = qScopeGuard([h] { KVS_CloseVideoCapture(h); });
        QVERIFY(KVS_SetVideoCaptureCallback(h, OnSinkFrame, &sink));
        QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 640, 360, 400000));
        QVERIFY(KVS_StartVideoCapture(h));
        QVERIFY(KVS_StartVideoCapture(h)); // already running: still fine
        QTRY_VERIFY_WITH_TIMEOUT(sink.Frames() > 0, 10000);

        // About 25 frames a second: a missing or doubled pace shows far
        // outside these bounds, scheduling noise does not.
        QElapsedTimer timer;
        const int nStart = sink.Frames();
        timer.start();
        QTest::qWait(1600);
        const double dExpected = timer.elapsed() / 40.0;
        const int nCounted = sink.Frames() - nStart;
        QVERIFY2(nCounted > dExpected * 0.5 && nCounted < dExpected * 1.5 + 2,
                 qPrintable(QStringLiteral("%1 frames, about %2 expected").arg(nCounted).arg(dExpected)));
        QCOMPARE(sink.BadStrides(), 0);
        QCOMPARE(sink.Last().size(), 640 * 2 * 360);

        // The latest-frame copy: exact size only, sequence counting up.
        uint64_t nSeq1 = 0, nSeq2 = 0;
        QVERIFY(!LatestFrame(h, 640, 360, &nSeq1).isEmpty());
        QVERIFY(nSeq1 > 0);
        QTRY_VERIFY_WITH_TIMEOUT(KVS_GetLatestFrameSeq(h) > nSeq1, 10000);
        QVERIFY(!LatestFrame(h, 640, 360, &nSeq2).isEmpty());
        QVERIFY(nSeq2 > nSeq1);
        QVERIFY(LatestFrame(h, 320, 180).isEmpty());
        QByteArray baPadded(700 * 2 * 360, '\x7f');
        QVERIFY(KVS_CopyLatestFrame(h, reinterpret_cast<uint8_t*>(baPadded.data()), 1400, 640, 360, nullptr));
        QCOMPARE(baPadded.at(1399), '\x7f'); // padding of the line untouched
        QVERIFY(!KVS_CopyLatestFrame(h, reinterpret_cast<uint8_t*>(baPadded.data()), 1000, 640, 360, nullptr));
        QVERIFY(!KVS_CopyLatestFrame(h, nullptr, 1280, 640, 360, nullptr));

        // A format change while running takes effect without a stop.
        sink.Switch(1920, 1080);
        QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 1920, 1080, 333333));
        QTRY_VERIFY_WITH_TIMEOUT(sink.Last().size() == 1920 * 2 * 1080, 10000);
        QCOMPARE(sink.BadStrides(), 0);
        QVERIFY(LatestFrame(h, 640, 360).isEmpty());
        QVERIFY(!LatestFrame(h, 1920, 1080).isEmpty());

        // Nothing arrives once stop has returned.
        QVERIFY(KVS_StopVideoCapture(h));
        const int nAtStop = sink.Frames();
        QTest::qWait(200);
        QCOMPARE(sink.Frames(), nAtStop);
        // The last frame stays available to readers while stopped.
        QVERIFY(!LatestFrame(h, 1920, 1080).isEmpty());
        closeGuard.dismiss();
        QVERIFY(KVS_CloseVideoCapture(h));
    }

    void picturesAreDistinctAndMoving()
    {
        const KVS_HANDLE hAlpha = StartDevice(m_nAlpha, 320, 240);
        const KVS_HANDLE hBeta = StartDevice(m_nBeta, 320, 240);
        QVERIFY(hAlpha && hBeta);
        const QByteArray baAlpha1 = NextFrame(hAlpha, 320, 240);
        const QByteArray baAlpha2 = NextFrame(hAlpha, 320, 240);
        const QByteArray baBeta = NextFrame(hBeta, 320, 240);
        QVERIFY(!baAlpha1.isEmpty() && !baAlpha2.isEmpty() && !baBeta.isEmpty());
        // Different devices: most of the picture differs.
        QVERIFY(CountDifferentBytes(baAlpha1, baBeta) > baBeta.size() / 4);
        // The same device from frame to frame: the bar and counter move, the
        // rest stays.
        const int nMoved = CountDifferentBytes(baAlpha1, baAlpha2);
        QVERIFY(nMoved > 0);
        QVERIFY(nMoved < baAlpha1.size() / 4);
        KVS_CloseVideoCapture(hAlpha);
        KVS_CloseVideoCapture(hBeta);
    }

    void pictureControlsChangeThePicture()
    {
        const KVS_HANDLE h = StartDevice(m_nBeta, 320, 240);
        QVERIFY(h);
        const KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(h);
        QVERIFY(hProperty);
        const QByteArray baBase = NextFrame(h, 320, 240);
        QVERIFY(!baBase.isEmpty());
        const double dBaseLuma = MeanLuma(baBase);
        const double dBaseChroma = MeanChroma(baBase);
        QVERIFY(dBaseChroma > 5);

        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_BRIGHTNESS, 220));
        QTRY_VERIFY_WITH_TIMEOUT(MeanLuma(LatestFrame(h, 320, 240)) > dBaseLuma + 40, 10000);
        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_BRIGHTNESS, 128));

        // No contrast: one flat grey, whatever the pattern.
        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_CONTRAST, 0));
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(MeanLuma(LatestFrame(h, 320, 240)) - 128) < 0.5, 10000);
        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_CONTRAST, 128));

        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_SATURATION, 0));
        QTRY_VERIFY_WITH_TIMEOUT(MeanChroma(LatestFrame(h, 320, 240)) < 1, 10000);
        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_SATURATION, 255));
        QTRY_VERIFY_WITH_TIMEOUT(MeanChroma(LatestFrame(h, 320, 240)) > dBaseChroma * 1.5, 10000);
        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_SATURATION, 128));

        // Hue turns the colours: chroma changes, luma does not.
        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_HUE, 0));
        QByteArray baTurned;
        QTRY_VERIFY_WITH_TIMEOUT(
            (baTurned = LatestFrame(h, 320, 240), std::abs(MeanChroma(baTurned) - dBaseChroma) < 2 &&
                                                      CountDifferentBytes(baTurned, baBase) > baBase.size() / 8),
            10000);
        QVERIFY(std::abs(MeanLuma(baTurned) - dBaseLuma) < 1);
        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_HUE, 128));

        // Back at the defaults the picture is the original one again.
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(MeanChroma(LatestFrame(h, 320, 240)) - dBaseChroma) < 0.5, 10000);
        KVP_ClosePropertyHandle(hProperty);
        KVS_CloseVideoCapture(h);
    }

    void missingSignalIsReportedAndShown()
    {
        const KVS_HANDLE h = StartDevice(m_nGamma, 320, 240);
        QVERIFY(h);
        const KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(h);
        QCOMPARE(KVPHD_IsSignalPresent(hProperty), 0);
        // Frames keep coming (a card, not a frozen picture).
        const QByteArray baCard = NextFrame(h, 320, 240);
        QVERIFY(!baCard.isEmpty());

        QVERIFY(KVS_SetVirtualVideoSignal(m_nGamma, 1));
        QCOMPARE(KVPHD_IsSignalPresent(hProperty), 1);
        QTRY_VERIFY_WITH_TIMEOUT(CountDifferentBytes(LatestFrame(h, 320, 240), baCard) > baCard.size() / 4, 10000);
        QVERIFY(KVS_SetVirtualVideoSignal(m_nGamma, 0));
        QCOMPARE(KVPHD_IsSignalPresent(hProperty), 0);
        QVERIFY(!KVS_SetVirtualVideoSignal(-1, 0));
        KVP_ClosePropertyHandle(hProperty);
        KVS_CloseVideoCapture(h);
    }

    void absurdFormatsAreRefused()
    {
        const KVS_HANDLE h = OpenDevice(m_nBeta); // largest 1280x720
        QVERIFY(h);
        QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 0, 0, 400000));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, -2, 240, 400000));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 8193, 240, 400000));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 320, 8193, 400000));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 100000, 100000, 400000));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, 1, 320, 240, 400000));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, 2, 320, 240, 400000));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 320, 240, 0));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 320, 240, -400000));
        QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 1280, 720, 400000));

        // The smallest picture there is still gets drawn, clipped.
        QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 2, 3, 100000));
        QVERIFY(KVS_StartVideoCapture(h));
        QTRY_VERIFY_WITH_TIMEOUT(!LatestFrame(h, 2, 3).isEmpty(), 10000);
        QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 1, 1, 100000));
        QTRY_VERIFY_WITH_TIMEOUT(!LatestFrame(h, 1, 1).isEmpty(), 10000);

        // A refused change leaves the accepted format in place.
        QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 160, 120, 400000));
        QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 9000, 120, 400000));
        QTRY_VERIFY_WITH_TIMEOUT(!LatestFrame(h, 160, 120).isEmpty(), 10000);
        KVS_CloseVideoCapture(h);
    }

    // Sizes beyond the device's largest, either way, are captured at what
    // the device offers and scaled; the picture stays the device's picture.
    void largerSizesAreScaledFromTheNearestOffered()
    {
        struct SCase
        {
            int nWidth, nHeight;
        } const aCases[] = {{1920, 1080}, {1282, 720}, {1280, 722}, {640, 960}};
        const KVS_HANDLE hNative = StartDevice(m_nBeta, 1280, 720);
        QVERIFY(hNative);
        const QByteArray baNative = NextFrame(hNative, 1280, 720);
        KVS_CloseVideoCapture(hNative);
        QVERIFY(!baNative.isEmpty());
        for (const SCase& c : aCases)
        {
            SFrameSink sink;
            sink.Reset(c.nWidth, c.nHeight);
            const KVS_HANDLE h = OpenDevice(m_nBeta);
            QVERIFY(KVS_SetVideoCaptureCallback(h, OnSinkFrame, &sink));
            QVERIFY2(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, c.nWidth, c.nHeight, 400000),
                     qPrintable(QStringLiteral("%1x%2").arg(c.nWidth).arg(c.nHeight)));
            QVERIFY(KVS_StartVideoCapture(h));
            QTRY_VERIFY_WITH_TIMEOUT(sink.Frames() >= 2, 10000);
            QCOMPARE(sink.BadStrides(), 0);
            const QByteArray baScaled = sink.Last();
            QCOMPARE(baScaled.size(), c.nWidth * 2 * c.nHeight);
            // Same picture, other size: the same brightness and colour.
            QVERIFY2(std::abs(MeanLuma(baScaled) - MeanLuma(baNative)) < 4,
                     qPrintable(QStringLiteral("%1 against %2").arg(MeanLuma(baScaled)).arg(MeanLuma(baNative))));
            QVERIFY(std::abs(MeanChroma(baScaled) - MeanChroma(baNative)) < 3);
            KVS_CloseVideoCapture(h);
        }
    }

    // Odd widths keep rows of 2 x width bytes; the unpaired last pixel holds
    // its own Y and U, continuing the picture rather than the next row.
    void oddWidthsAreDeliveredWithTheirLastPixel()
    {
        for (int nWidth : {321, 1279, 1921})
        {
            const int nHeight = 241;
            SFrameSink sink;
            sink.Reset(nWidth, nHeight);
            const KVS_HANDLE h = OpenDevice(m_nAlpha);
            QVERIFY(KVS_SetVideoCaptureCallback(h, OnSinkFrame, &sink));
            QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, nWidth, nHeight, 400000));
            QVERIFY(KVS_StartVideoCapture(h));
            QTRY_VERIFY_WITH_TIMEOUT(sink.Frames() >= 2, 10000);
            QCOMPARE(sink.BadStrides(), 0);
            const QByteArray ba = sink.Last();
            KVS_CloseVideoCapture(h);
            QCOMPARE(ba.size(), nWidth * 2 * nHeight);
            int nAlike = 0;
            for (int y = 0; y < nHeight; ++y)
            {
                const uint8_t* pRow = reinterpret_cast<const uint8_t*>(ba.constData()) + y * nWidth * 2;
                const uint8_t* pLast = pRow + (nWidth - 1) * 2;
                // Y next to the Y on its left, U next to the U of the pair
                // on its left.
                if (std::abs(pLast[0] - pLast[-2]) <= 24 && std::abs(pLast[1] - pLast[-3]) <= 24)
                    ++nAlike;
            }
            QVERIFY2(nAlike > nHeight * 9 / 10, qPrintable(QStringLiteral("%1 of %2 rows").arg(nAlike).arg(nHeight)));
        }
    }

    void startWithoutFormatUsesTheDefault()
    {
        const KVS_HANDLE h = OpenDevice(m_nAlpha);
        QVERIFY(KVS_StartVideoCapture(h));
        QTRY_VERIFY_WITH_TIMEOUT(!LatestFrame(h, 768, 576).isEmpty(), 10000);
        KVS_CloseVideoCapture(h);
    }

    void startStopAndCloseRepeatedly()
    {
        for (int i = 0; i < 15; ++i)
        {
            SClosedWatch watch;
            const KVS_HANDLE h = OpenDevice(i % 2 ? m_nAlpha : m_nGamma);
            QVERIFY(h);
            QVERIFY(KVS_SetVideoCaptureCallback(h, OnWatchedFrame, &watch));
            QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 320, 240, 100000));
            QVERIFY(KVS_StartVideoCapture(h));
            if (i % 3 == 0)
                QTRY_VERIFY_WITH_TIMEOUT(watch.nFrames > 0, 10000);
            QVERIFY(KVS_StopVideoCapture(h));
            QVERIFY(KVS_StopVideoCapture(h));
            QVERIFY(KVS_StartVideoCapture(h));
            if (i % 2 == 0)
                QTRY_VERIFY_WITH_TIMEOUT(watch.nFrames > 1, 10000);
            // Closed while running: no callback once close has returned.
            QVERIFY(KVS_CloseVideoCapture(h));
            watch.bClosed = true;
            QTest::qWait(i == 0 ? 100 : 5);
            QCOMPARE(watch.nLate.load(), 0);
            // The handle is dead for good.
            QVERIFY(!KVS_StartVideoCapture(h));
            QVERIFY(!KVS_StopVideoCapture(h));
            QVERIFY(!KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 320, 240, 400000));
            QVERIFY(!KVS_SetVideoCaptureCallback(h, nullptr, nullptr));
            QVERIFY(!KVS_CloseVideoCapture(h));
            QCOMPARE(KVS_GetLatestFrameSeq(h), uint64_t(0));
        }
    }

    void clearingTheCallbackStopsDelivery()
    {
        SClosedWatch watch;
        const KVS_HANDLE h = OpenDevice(m_nAlpha);
        QVERIFY(KVS_SetVideoCaptureCallback(h, OnWatchedFrame, &watch));
        QVERIFY(KVS_SetVideoCaptureFormat(h, KVS_COLOR_YUYV, 320, 240, 100000));
        QVERIFY(KVS_StartVideoCapture(h));
        QTRY_VERIFY_WITH_TIMEOUT(watch.nFrames > 2, 10000);
        QVERIFY(KVS_SetVideoCaptureCallback(h, nullptr, nullptr));
        watch.bClosed = true;
        // The capture goes on for the mixer.
        const uint64_t nSeq = KVS_GetLatestFrameSeq(h);
        QTRY_VERIFY_WITH_TIMEOUT(KVS_GetLatestFrameSeq(h) > nSeq + 3, 10000);
        QCOMPARE(watch.nLate.load(), 0);
        KVS_CloseVideoCapture(h);
    }

    void stopOrCloseFromInsideTheCallback()
    {
        SSelfStop self;
        self.hCapture = OpenDevice(m_nAlpha);
        QVERIFY(KVS_SetVideoCaptureCallback(self.hCapture, OnFrameStopSelf, &self));
        QVERIFY(KVS_SetVideoCaptureFormat(self.hCapture, KVS_COLOR_YUYV, 320, 240, 100000));
        QVERIFY(KVS_StartVideoCapture(self.hCapture));
        QTRY_VERIFY_WITH_TIMEOUT(self.nFrames > 0, 10000);
        QTest::qWait(100);
        QCOMPARE(self.nFrames.load(), 1);
        // A later start from outside works again.
        QVERIFY(KVS_StartVideoCapture(self.hCapture));
        QTRY_VERIFY_WITH_TIMEOUT(self.nDone > 1, 10000);

        self.bClose = true;
        QVERIFY(KVS_StartVideoCapture(self.hCapture));
        // Closed from inside: the handle goes away on its own.
        QTRY_VERIFY_WITH_TIMEOUT(KVS_GetLatestFrameSeq(self.hCapture) == 0, 10000);
        QVERIFY(!KVS_StopVideoCapture(self.hCapture));
        const int nFrames = self.nFrames;
        QTest::qWait(100);
        QCOMPARE(self.nFrames.load(), nFrames);
    }
};

QTEST_MAIN(TestCapture)
#include "tst_capture.moc"
