// The mixer's count of late ticks as the engine reads it for its
// diagnostics: through the handle, from the first tick to the last.
#include "media/KVMixer.h"
#include "media/KVStream.h"

#include <QtTest>

#include <atomic>

namespace
{
void CountFrame(const uint8_t*, int64_t, int, int, void* pUser)
{
    static_cast<std::atomic<int>*>(pUser)->fetch_add(1);
}
}

class TestMixerLateTicks : public QObject
{
    Q_OBJECT

private slots:
    void countsFromZeroThroughItsHandle();
};

void TestMixerLateTicks::countsFromZeroThroughItsHandle()
{
    uint64_t nLate = 99;
    QCOMPARE(KVS_GetVideoMixerLateTicks(nullptr, &nLate), 0);
    QCOMPARE(nLate, uint64_t(99));

    const KVS_HANDLE hMixer = KVS_CreateVideoMixer(320, 180, 400000, KVS_COLOR_YUYV);
    QVERIFY(hMixer);
    QCOMPARE(KVS_GetVideoMixerLateTicks(hMixer, nullptr), 0);
    QCOMPARE(KVS_GetVideoMixerLateTicks(hMixer, &nLate), 1);
    QCOMPARE(nLate, uint64_t(0));

    // Running, it still answers; whether a tick was late depends on the
    // machine, so only that the count never goes back is checked.
    std::atomic<int> nFrames{0};
    QVERIFY(KVS_SetVideoMixerCallback(hMixer, nullptr, nullptr, &CountFrame, &nFrames));
    QVERIFY(KVS_VideoMixerRun(hMixer));
    QTRY_VERIFY_WITH_TIMEOUT(nFrames.load() >= 3, 30000);
    QVERIFY(KVS_VideoMixerStop(hMixer));
    uint64_t nAfterRun = 0;
    QCOMPARE(KVS_GetVideoMixerLateTicks(hMixer, &nAfterRun), 1);
    uint64_t nAgain = 0;
    QCOMPARE(KVS_GetVideoMixerLateTicks(hMixer, &nAgain), 1);
    QCOMPARE(nAgain, nAfterRun);

    KVS_DestroyVideoMixer(hMixer);
    QCOMPARE(KVS_GetVideoMixerLateTicks(hMixer, &nLate), 0);
}

QTEST_GUILESS_MAIN(TestMixerLateTicks)
#include "tst_mixer_lateticks.moc"
