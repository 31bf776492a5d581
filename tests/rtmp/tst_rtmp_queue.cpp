// Send queue policy, codec header conversion and URL parsing.
#include "media/rtmp/AvcConfig.h"
#include "media/KVEncoder.h"
#include "media/rtmp/RtmpHandshake.h"
#include "media/rtmp/RtmpPacketQueue.h"

#include <QtTest>

namespace
{
CRtmpPacket MakePacket(int nStream, bool bKey, int64_t nDts, size_t nSize = 100)
{
    CRtmpPacket packet;
    packet.nStream = nStream;
    packet.bKeyFrame = bKey;
    packet.nPts = packet.nDts = nDts;
    packet.vecData.assign(nSize, uint8_t(nDts));
    return packet;
}
}

class CTestRtmpQueue : public QObject
{
    Q_OBJECT

private slots:
    void OnStartsAtKeyFrame();
    void OnOverflowDropsUntilKeyFrame();
    void OnAudioBound();
    void OnNewConnectionWaitsForPicture();
    void OnByteLimit();
    void OnAudioOnly();
    void OnAvcConfig();
    void OnParseAddress();
};

void CTestRtmpQueue::OnStartsAtKeyFrame()
{
    CRtmpPacketQueue queue;
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_AUDIO, true, 0)));
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_VIDEO, false, 0)));
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, true, 400000)));
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_AUDIO, true, 410000)));
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, false, 800000)));
    QCOMPARE(queue.GetCount(), size_t(3));
    QCOMPARE(queue.GetDroppedCount(), uint64_t(2));

    CRtmpPacket packet;
    QVERIFY(queue.Pop(packet));
    QVERIFY(packet.bKeyFrame);
    QCOMPARE(packet.nDts, int64_t(400000));
    QCOMPARE(packet.vecData.size(), size_t(100));
}

void CTestRtmpQueue::OnOverflowDropsUntilKeyFrame()
{
    // Two seconds of 25 fps video with audio, then one frame more.
    CRtmpPacketQueue queue(20000000);
    int64_t nDts = 0;
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, true, nDts)));
    for (int i = 1; i <= 50; ++i)
    {
        nDts = i * 400000LL;
        QVERIFY(queue.Push(MakePacket(KVE_STREAM_AUDIO, true, nDts - 1000)));
        QVERIFY2(queue.Push(MakePacket(KVE_STREAM_VIDEO, false, nDts)), qPrintable(QString::number(i)));
    }
    QVERIFY(!queue.IsWaitingForKeyFrame());
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_VIDEO, false, 51 * 400000LL)));
    QVERIFY(queue.IsWaitingForKeyFrame());
    // The video went, the sound stayed.
    QCOMPARE(queue.GetCount(), size_t(50));
    QCOMPARE(queue.GetAudioCount(), size_t(50));
    QCOMPARE(queue.GetVideoDroppedCount(), uint64_t(52));
    QCOMPARE(queue.GetAudioDroppedCount(), uint64_t(0));

    // Delta frames stay out until the next key frame; audio goes on.
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_AUDIO, true, 52 * 400000LL)));
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_VIDEO, false, 52 * 400000LL)));
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, true, 53 * 400000LL)));
    QVERIFY(!queue.IsWaitingForKeyFrame());
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, false, 54 * 400000LL)));
    QCOMPARE(queue.GetCount(), size_t(53));

    // Sent in arrival order, and the first picture after the gap is the key
    // frame: every audio packet, then the resumed video.
    CRtmpPacket packet;
    int nAudio = 0;
    while (queue.Pop(packet) && packet.nStream == KVE_STREAM_AUDIO)
        ++nAudio;
    QCOMPARE(nAudio, 51);
    QCOMPARE(packet.nStream, int(KVE_STREAM_VIDEO));
    QVERIFY(packet.bKeyFrame);
    QCOMPARE(packet.nDts, 53 * 400000LL);
    QVERIFY(queue.Pop(packet));
    QCOMPARE(packet.nDts, 54 * 400000LL);
    QVERIFY(queue.IsEmpty());

    // A key frame that overflows the queue starts it afresh.
    CRtmpPacketQueue queue2(20000000);
    QVERIFY(queue2.Push(MakePacket(KVE_STREAM_VIDEO, true, 0)));
    QVERIFY(queue2.Push(MakePacket(KVE_STREAM_VIDEO, false, 10000000)));
    QVERIFY(queue2.Push(MakePacket(KVE_STREAM_VIDEO, true, 30000000)));
    QCOMPARE(queue2.GetCount(), size_t(1));
    QVERIFY(queue2.Pop(packet));
    QCOMPARE(packet.nDts, int64_t(30000000));
}

void CTestRtmpQueue::OnAudioBound()
{
    // A server that takes nothing for long: the sound is kept up to its own
    // bound, then only its oldest packets go, and memory stays bounded.
    CRtmpPacketQueue queue(20000000, 64u << 20, 50000000, 1u << 20);
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, true, 0)));
    const int64_t nStep = 213333;
    int nPushed = 0;
    for (int64_t nDts = 0; nDts <= 80000000; nDts += nStep, ++nPushed)
        QVERIFY(queue.Push(MakePacket(KVE_STREAM_AUDIO, true, nDts)));
    const size_t nKept = queue.GetAudioCount();
    QCOMPARE(nKept, size_t(50000000 / nStep + 1));
    QCOMPARE(queue.GetAudioDroppedCount(), uint64_t(nPushed) - nKept);
    CRtmpPacket packet;
    QVERIFY(queue.Pop(packet));
    QCOMPARE(packet.nStream, int(KVE_STREAM_VIDEO));
    QVERIFY(queue.Pop(packet));
    QVERIFY(packet.nDts >= 80000000 - 50000000);

    // The byte bound holds as well.
    CRtmpPacketQueue queue2(20000000, 64u << 20, 50000000, 1000);
    QVERIFY(queue2.Push(MakePacket(KVE_STREAM_VIDEO, true, 0)));
    for (int i = 0; i < 10; ++i)
        QVERIFY(queue2.Push(MakePacket(KVE_STREAM_AUDIO, true, i * nStep, 300)));
    QCOMPARE(queue2.GetAudioCount(), size_t(3));
    QVERIFY(!queue2.Push(MakePacket(KVE_STREAM_AUDIO, true, 10 * nStep, 2000)));
}

void CTestRtmpQueue::OnNewConnectionWaitsForPicture()
{
    // After a reconnection nothing is sent, sound included, before a key
    // frame: the stream opens on a picture with its sound.
    CRtmpPacketQueue queue;
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, true, 0)));
    queue.Clear();
    queue.WaitForKeyFrame();
    QVERIFY(queue.IsWaitingForKeyFrame());
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_AUDIO, true, 400000)));
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_VIDEO, false, 400000)));
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, true, 800000)));
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_AUDIO, true, 810000)));
    QCOMPARE(queue.GetCount(), size_t(2));
}

void CTestRtmpQueue::OnByteLimit()
{
    CRtmpPacketQueue queue(20000000, 1000);
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, true, 0, 600)));
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_VIDEO, false, 1, 600)));
    QVERIFY(queue.IsEmpty());
    // A single packet larger than the whole queue is never taken.
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_VIDEO, true, 2, 2000)));
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_VIDEO, true, 3, 600)));
}

void CTestRtmpQueue::OnAudioOnly()
{
    CRtmpPacketQueue queue(20000000);
    queue.SetHasVideo(false);
    QVERIFY(queue.Push(MakePacket(KVE_STREAM_AUDIO, true, 0)));
    QVERIFY(!queue.Push(MakePacket(KVE_STREAM_AUDIO, true, 30000000)) ||
            queue.GetCount() == 1); // overflow: restarts at this packet
    QCOMPARE(queue.GetCount(), size_t(1));
}

void CTestRtmpQueue::OnAvcConfig()
{
    // Start-code form: SPS, PPS, with a four-byte and a three-byte start code.
    const uint8_t abAnnexB[] = {0, 0, 0, 1, 0x67, 0x42, 0xC0, 0x1E, 0xAB, 0, 0, 1, 0x68, 0xCE, 0x3C, 0x80};
    std::vector<uint8_t> vecConfig = MakeAvcConfig(abAnnexB, sizeof(abAnnexB));
    const std::vector<uint8_t> vecExpected = {1,    0x42, 0xC0, 0x1E, 0xFF, 0xE1, 0,    5,    0x67, 0x42,
                                              0xC0, 0x1E, 0xAB, 1,    0,    4,    0x68, 0xCE, 0x3C, 0x80};
    QCOMPARE(vecConfig, vecExpected);

    // Already a configuration record: unchanged.
    QCOMPARE(MakeAvcConfig(vecExpected.data(), int(vecExpected.size())), vecExpected);

    // No PPS, or garbage: nothing usable.
    QVERIFY(MakeAvcConfig(abAnnexB, 9).empty());
    const uint8_t abJunk[] = {0, 0, 0, 0, 5};
    QVERIFY(MakeAvcConfig(abJunk, sizeof(abJunk)).empty());
    QVERIFY(MakeAvcConfig(nullptr, 0).empty());
}

void CTestRtmpQueue::OnParseAddress()
{
    CRtmpAddress address;
    QVERIFY(ParseRtmpAddress("rtmp://127.0.0.1:1936/live/test", address));
    QCOMPARE(address.strHost, std::string("127.0.0.1"));
    QCOMPARE(address.nPort, 1936);
    QVERIFY(ParseRtmpAddress("RTMP://example.invalid/live", address));
    QCOMPARE(address.strHost, std::string("example.invalid"));
    QCOMPARE(address.nPort, 1935);
    QVERIFY(ParseRtmpAddress("rtmp://user:pw@[::1]:2000/live/x", address));
    QCOMPARE(address.strHost, std::string("::1"));
    QCOMPARE(address.nPort, 2000);
    // A colon with no port after it, and a bracketed host without one, keep
    // the default; the parts are split as for http:// URLs.
    QVERIFY(ParseRtmpAddress("rtmp://host:/live", address));
    QCOMPARE(address.strHost, std::string("host"));
    QCOMPARE(address.nPort, 1935);
    QVERIFY(ParseRtmpAddress("rtmp://[::1]/live", address));
    QCOMPARE(address.strHost, std::string("::1"));
    QCOMPARE(address.nPort, 1935);

    QVERIFY(!ParseRtmpAddress("", address));
    QVERIFY(!ParseRtmpAddress("http://127.0.0.1/live", address));
    QVERIFY(!ParseRtmpAddress("rtmp://", address));
    QVERIFY(!ParseRtmpAddress("rtmp://:1935/live", address));
    QVERIFY(!ParseRtmpAddress("rtmp://host:99999/live", address));
    QVERIFY(!ParseRtmpAddress("rtmp://host:12ab/live", address));
    QVERIFY(!ParseRtmpAddress("rtmp://host:0/live", address));
    QVERIFY(!ParseRtmpAddress("rtmp://[::1/live", address));
    QVERIFY(!ParseRtmpAddress("rtmp://[::1]x/live", address));
    QVERIFY(!ParseRtmpAddress("rtmp://host:1:2/live", address));
}

QTEST_GUILESS_MAIN(CTestRtmpQueue)
#include "tst_rtmp_queue.moc"
