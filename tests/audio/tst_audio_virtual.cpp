// The virtual tone device through the public operations: block size, pace,
// level, detaching callbacks and repeated open/close. No sound server is
// reachable here (PULSE_SERVER points at a missing socket), which is also
// the no-server case of the device list.
#include "AudioTestUtil.h"
#include "media/KVAudio.h"
#include "media/KVStream.h"

#include <QtTest>

#include <cstring>
#include <thread>

namespace
{
KVS_AUDIO_CAPTURE_INFO Info(int nIndex)
{
    KVS_AUDIO_CAPTURE_INFO info;
    std::memset(&info, 0, sizeof(info));
    KVS_GetAudioCaptureInfo3(nIndex, &info);
    return info;
}

KVS_HANDLE OpenTone(int nIndex)
{
    const KVS_AUDIO_CAPTURE_INFO info = Info(nIndex);
    const KVS_HANDLE hAudio = KVS_OpenAudioCapture3(&info.guid);
    if (hAudio)
        KVS_SetAudioCaptureFormat3(hAudio, 48000, 2, 1024, 10);
    return hAudio;
}
}

class CTestAudioVirtual : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("PULSE_SERVER", "unix:/nonexistent/vistrel-test/native");
        qputenv("VISTREL_VIRTUAL_AUDIO", "2");
        QVERIFY(KVS_Initialize());
    }

    void cleanupTestCase() { KVS_Uninitialize(); }

    void listsOnlyVirtualDevicesWithoutServer()
    {
        QCOMPARE(KVS_GetAudioCaptureCount3(), 2);
        QCOMPARE(QString::fromUtf16(Info(0).szName), QStringLiteral("Virtual Tone 1"));
        QCOMPARE(QString::fromUtf16(Info(1).szName), QStringLiteral("Virtual Tone 2"));
        QVERIFY(std::memcmp(Info(0).guid.abData, Info(1).guid.abData, 16) != 0);

        KVS_AUDIO_CAPTURE_INFO info;
        QVERIFY(!KVS_GetAudioCaptureInfo3(2, &info));
        QVERIFY(!KVS_GetAudioCaptureInfo3(-1, &info));
    }

    void refusesUnknownDevicesAndHandles()
    {
        KVS_GUID guid;
        std::memset(&guid, 0x5a, sizeof(guid));
        QVERIFY(!KVS_OpenAudioCapture3(&guid));
        QVERIFY(!KVS_OpenAudioCapture3(nullptr));

        const KVS_HANDLE hAudio = OpenTone(0);

        SCaptureGuard guard(hAudio);
        QVERIFY(hAudio);
        QVERIFY(!KVS_SetAudioCaptureFormat3(hAudio, 44100, 2, 1024, 10));
        QVERIFY(!KVS_SetAudioCaptureFormat3(hAudio, 48000, 1, 1024, 10));
        QVERIFY(!KVS_SetAudioCaptureFormat3(hAudio, 48000, 2, 0, 10));
        QVERIFY(KVS_CloseAudioCapture3(hAudio));
        // A closed handle stays invalid.
        QVERIFY(!KVS_StartAudioCapture3(hAudio));
        QVERIFY(!KVS_CloseAudioCapture3(hAudio));
        QVERIFY(!KVS_SetAudioCaptureCallback3(hAudio, nullptr, nullptr));
    }

    void toneBlocksPaceAndLevel()
    {
        SAudioSink sink;
        const KVS_HANDLE hAudio = OpenTone(1);
        SCaptureGuard guard(hAudio);
        QVERIFY(hAudio);
        sink.Attach(hAudio);
        QVERIFY(KVS_StartAudioCapture3(hAudio));
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= 60, 20000);
        QVERIFY(KVS_StopAudioCapture3(hAudio));
        QVERIFY(KVS_CloseAudioCapture3(hAudio));

        std::lock_guard<std::mutex> lock(sink.mutex);
        QCOMPARE(sink.nWrongSize, 0);
        QCOMPARE(int(sink.vecLast.size()), 4096);
        QCOMPARE(sink.nLevel.load(), 75);
        QVERIFY(sink.nMeterCalls.load() >= 60);

        // Real-time pace: 1024 frames every 21.3 ms. Generous bounds; this
        // catches a free-running or a stalled source, not jitter.
        const double dSeconds = std::chrono::duration<double>(sink.tLast - sink.tFirst).count();
        const double dBlocksPerSecond = (sink.nBlocks - 1) / dSeconds;
        QVERIFY2(dBlocksPerSecond > 46.875 * 0.6 && dBlocksPerSecond < 46.875 * 1.5,
                 qPrintable(QString::number(dBlocksPerSecond)));
    }

    void detachedCallbacksAreNotCalledAgain()
    {
        SAudioSink sink;
        SAudioSink other;
        const KVS_HANDLE hAudio = OpenTone(0);
        SCaptureGuard guard(hAudio);
        QVERIFY(hAudio);
        sink.Attach(hAudio);
        QVERIFY(KVS_StartAudioCapture3(hAudio));
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= 3, 10000);

        QVERIFY(KVS_SetAudioCaptureCallback3(hAudio, nullptr, nullptr));
        QVERIFY(KVS_SetAudioMeterCallback3(hAudio, nullptr, nullptr));
        const int nBlocks = sink.Blocks();
        const int nMeters = sink.nMeterCalls.load();
        // A second sink proves blocks still flow while the first is silent.
        other.Attach(hAudio);
        QTRY_VERIFY_WITH_TIMEOUT(other.Blocks() >= 10, 10000);
        QCOMPARE(sink.Blocks(), nBlocks);
        QCOMPARE(sink.nMeterCalls.load(), nMeters);
        QVERIFY(KVS_CloseAudioCapture3(hAudio));
    }

    void callbackMayDetachItselfButNotStop()
    {
        struct SSelf
        {
            KVS_HANDLE hAudio = nullptr;
            std::atomic<int> nCalls{0};
            std::atomic<int> nStopResult{-1};
        } self;
        SAudioSink sink;
        const KVS_HANDLE hAudio = OpenTone(0);
        SCaptureGuard guard(hAudio);
        QVERIFY(hAudio);
        self.hAudio = hAudio;
        KVS_SetAudioCaptureCallback3(
            hAudio,
            [](const uint8_t*, int, void* pUser) {
                auto* pSelf = static_cast<SSelf*>(pUser);
                ++pSelf->nCalls;
                pSelf->nStopResult = KVS_StopAudioCapture3(pSelf->hAudio);
                KVS_SetAudioCaptureCallback3(pSelf->hAudio, nullptr, nullptr);
            },
            &self);
        KVS_SetAudioMeterCallback3(hAudio, &SAudioSink::OnMeter, &sink);
        QVERIFY(KVS_StartAudioCapture3(hAudio));
        QTRY_VERIFY_WITH_TIMEOUT(sink.nMeterCalls.load() >= 5, 10000);
        QCOMPARE(self.nCalls.load(), 1);
        QCOMPARE(self.nStopResult.load(), 0);
        QVERIFY(KVS_CloseAudioCapture3(hAudio));
    }

    void openStartStopCloseRepeatedly()
    {
        for (int i = 0; i < 20; ++i)
        {
            SAudioSink sink;
            const KVS_HANDLE hAudio = OpenTone(i % 2);
            SCaptureGuard guard(hAudio);
            QVERIFY(hAudio);
            sink.Attach(hAudio);
            for (int j = 0; j < 2; ++j)
            {
                QVERIFY(KVS_StartAudioCapture3(hAudio));
                QVERIFY(KVS_StartAudioCapture3(hAudio)); // already running
                if (i % 4 == 0)
                    QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= 1, 10000);
                QVERIFY(KVS_StopAudioCapture3(hAudio));
                QVERIFY(KVS_StopAudioCapture3(hAudio)); // already stopped
            }
            const int nBlocks = sink.Blocks();
            QVERIFY(KVS_CloseAudioCapture3(hAudio));
            QCOMPARE(sink.Blocks(), nBlocks);
        }
        // Closing a running capture stops it first.
        SAudioSink sink;
        const KVS_HANDLE hAudio = OpenTone(0);
        SCaptureGuard guard(hAudio);
        sink.Attach(hAudio);
        QVERIFY(KVS_StartAudioCapture3(hAudio));
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= 1, 10000);
        QVERIFY(KVS_CloseAudioCapture3(hAudio));
        const int nBlocks = sink.Blocks();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QCOMPARE(sink.Blocks(), nBlocks);
    }

    void monitoringWithoutServerFailsCleanly()
    {
        SAudioSink sink;
        const KVS_HANDLE hAudio = OpenTone(0);
        SCaptureGuard guard(hAudio);
        QVERIFY(hAudio);
        sink.Attach(hAudio);
        QVERIFY(KVS_StartAudioCapture3(hAudio));
        QVERIFY(!KVS_SetAudioMonitor3(hAudio, 1));
        QVERIFY(KVS_SetAudioMonitor3(hAudio, 0));
        QTRY_VERIFY_WITH_TIMEOUT(sink.Blocks() >= 5, 10000);
        QVERIFY(KVS_CloseAudioCapture3(hAudio));
    }
};

QTEST_GUILESS_MAIN(CTestAudioVirtual)
#include "tst_audio_virtual.moc"
