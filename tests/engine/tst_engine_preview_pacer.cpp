// Channel previews follow the output's rate: a camera faster than the
// output has frames left out, one at the output's rate keeps them all
// despite jitter, a slower one keeps them all, and a pause starts afresh.
#include "engine/CPreviewPacer.h"

#include <QtTest>

namespace
{
const int64_t FRAME_25_US = 40000;

// Frames arriving every nPeriodUs, each moved by a jitter that alternates
// in sign; how many of nFrames are admitted.
int Admitted(CPreviewPacer& pacer, int64_t nStartUs, int64_t nPeriodUs, int64_t nJitterUs, int nFrames)
{
    int nAdmitted = 0;
    for (int i = 0; i < nFrames; ++i)
    {
        const int64_t nJitter = (i % 2) ? nJitterUs : -nJitterUs;
        if (pacer.Admit(nStartUs + i * nPeriodUs + nJitter))
            ++nAdmitted;
    }
    return nAdmitted;
}
}

class TestPreviewPacer : public QObject
{
    Q_OBJECT

private slots:
    void fasterCameraIsThinnedToTheOutputRate_data()
    {
        QTest::addColumn<int>("nPeriodUs");
        QTest::addColumn<int>("nExpected");
        // 100 frames each; the output shows one per 40 ms.
        QTest::newRow("50 fps") << 20000 << 50;
        QTest::newRow("60 fps") << 16667 << 42;
        QTest::newRow("30 fps") << 33333 << 83;
    }

    void fasterCameraIsThinnedToTheOutputRate()
    {
        QFETCH(int, nPeriodUs);
        QFETCH(int, nExpected);
        CPreviewPacer pacer;
        pacer.SetInterval(FRAME_25_US);
        const int nAdmitted = Admitted(pacer, 1000000, nPeriodUs, 0, 100);
        // Never more than the output shows over the same time, give or
        // take the first frame.
        QVERIFY2(nAdmitted <= (99 * nPeriodUs) / FRAME_25_US + 1, qPrintable(QString::number(nAdmitted)));
        QVERIFY2(std::abs(nAdmitted - nExpected) <= 1, qPrintable(QString::number(nAdmitted)));
    }

    void cameraAtTheOutputRateKeepsEveryFrame()
    {
        CPreviewPacer pacer;
        pacer.SetInterval(FRAME_25_US);
        QCOMPARE(Admitted(pacer, 5000000, FRAME_25_US, 3000, 250), 250);
    }

    void slowerCameraKeepsEveryFrame()
    {
        CPreviewPacer pacer;
        pacer.SetInterval(FRAME_25_US);
        QCOMPARE(Admitted(pacer, 0, 66667, 0, 60), 60);
    }

    void pauseDoesNotLetABurstThrough()
    {
        CPreviewPacer pacer;
        pacer.SetInterval(FRAME_25_US);
        QCOMPARE(Admitted(pacer, 0, FRAME_25_US, 0, 10), 10);
        // A second without frames, then a burst of ten within one frame's
        // time: one of them is drawn, then the rate holds again.
        QCOMPARE(Admitted(pacer, 1400000, 1000, 0, 10), 1);
        QCOMPARE(Admitted(pacer, 1440000, 20000, 0, 20), 10);
    }

    void noIntervalAdmitsEverything()
    {
        CPreviewPacer pacer;
        QCOMPARE(Admitted(pacer, 0, 1, 0, 100), 100);
    }
};

QTEST_MAIN(TestPreviewPacer)
#include "tst_engine_preview_pacer.moc"
