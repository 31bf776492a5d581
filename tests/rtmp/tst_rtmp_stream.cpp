// Publishing real H.264/AAC packets: read back by a player, no server at
// all, and the server going away mid-stream.
#include "media/KVProtocol.h"
#include "media/KVStream.h"
#include "RtmpTestUtil.h"
#include "StderrCapture.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <unistd.h>

namespace
{
struct CEvents
{
    std::atomic<int> nConnected{0};
    std::atomic<int> nFailed{0};
    std::atomic<int> nDisconnected{0};
    std::atomic<int> nKeyWanted{0};
};

void OnEvent(int nEvent, void* pUser)
{
    CEvents* pEvents = static_cast<CEvents*>(pUser);
    if (nEvent == KPL_EVENT_CONNECTED)
        ++pEvents->nConnected;
    else if (nEvent == KPL_EVENT_FAILED)
        ++pEvents->nFailed;
    else if (nEvent == KPL_EVENT_DISCONNECTED)
        ++pEvents->nDisconnected;
    else if (nEvent == KPL_EVENT_KEYFRAME_WANTED)
        ++pEvents->nKeyWanted;
}

KPL_RTMP_STATUS Status(KVS_HANDLE hClient)
{
    KPL_RTMP_STATUS status = {};
    KPL_GetRTMPStatus(hClient, &status);
    return status;
}

// One packet of nSize bytes in the length-prefixed form the encoder gives.
int WriteVideo(KVS_HANDLE hClient, const KVE_PACKET_INFO& infoBase, int64_t nDts, bool bKey, size_t nSize)
{
    std::vector<uint8_t> vecData(nSize, 0x41);
    const uint32_t nUnit = uint32_t(nSize - 4);
    for (int i = 0; i < 4; ++i)
        vecData[size_t(i)] = uint8_t(nUnit >> (24 - 8 * i));
    vecData[4] = bKey ? 0x65 : 0x41;
    KVE_PACKET_INFO info = infoBase;
    info.bKeyFrame = bKey ? 1 : 0;
    info.nPts = info.nDts = nDts;
    return KPL_WriteRTMPData(hClient, KVE_STREAM_VIDEO, vecData.data(), int(vecData.size()), &info, int(sizeof(info)));
}

KVS_HANDLE CreateClient(const QString& strUrl, CEvents& events, const CTestStream& stream, bool bAudio)
{
    QByteArray url = strUrl.toUtf8();
    KVS_HANDLE hClient = KPL_CreateRTMPClient(url.constData(), "", "", 5000, OnEvent, &events);
    if (hClient)
    {
        KPL_SetRTMPAutoReconnect(hClient, 0);
        KPL_SetRTMPVideoFormat(hClient, stream.m_nWidth, stream.m_nHeight, stream.m_nDuration, 10);
        if (bAudio)
            KPL_SetRTMPAudioFormat(hClient, 48000, 2, 1024);
    }
    return hClient;
}

// Writes packets [nFirst, nEnd), paced like a live encoder; returns nEnd.
size_t Publish(KVS_HANDLE hClient, const CTestStream& stream, size_t nFirst, size_t nEnd, bool bAudio,
               int* pAccepted = nullptr, bool bPaced = true)
{
    const auto& vecPackets = stream.GetPackets();
    nEnd = std::min(nEnd, vecPackets.size());
    auto start = std::chrono::steady_clock::now();
    int64_t nBase = nFirst < vecPackets.size() ? vecPackets[nFirst].info.nDts : 0;
    for (size_t i = nFirst; i < nEnd; ++i)
    {
        const CTestPacket& packet = vecPackets[i];
        if (!bAudio && packet.nStream == KVE_STREAM_AUDIO)
            continue;
        if (bPaced)
            std::this_thread::sleep_until(start + std::chrono::microseconds((packet.info.nDts - nBase) / 10));
        int nResult = KPL_WriteRTMPData(hClient, packet.nStream, packet.vecData.data(), int(packet.vecData.size()),
                                        &packet.info, int(sizeof(packet.info)));
        if (pAccepted && nResult)
            ++*pAccepted;
    }
    return nEnd;
}

// Destroys on another thread so that a hang shows as a failed wait, not a
// stuck test.
bool DestroyReturns(KVS_HANDLE hClient)
{
    std::atomic<bool> bDone{false};
    std::thread thread([&] {
        KPL_DestroyRTMPClient(hClient);
        bDone = true;
    });
    // Generous; the client promises about a second.
    for (int i = 0; i < 500 && !bDone; ++i)
        QThread::msleep(10);
    bool bReturned = bDone;
    thread.join();
    return bReturned;
}

}

class CTestRtmpStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void OnPublishAndPlay();
    void OnVideoOnly();
    void OnAnnouncedAudioNeverComes();
    void OnNoServer();
    void OnServerStopsMidStream();
    void OnSilentServer();
    void OnConnectTimeLimit();
    void OnAutoReconnect();
    void OnServerStalls();
    void OnReconnectStateAndBackoff();
    void OnFrozenServerCostsVideoOnly();
    void OnBadArguments();
    void OnStaleHandles();

private:
    CTestStream m_stream;
};

void CTestRtmpStream::initTestCase()
{
    QVERIFY(KPL_Initialize());
    QVERIFY(m_stream.Generate(4));
}

void CTestRtmpStream::OnPublishAndPlay()
{
    CNginxRtmp server;
    QVERIFY(server.Start());
    QString strUrl = server.GetUrl(QStringLiteral("publish"));

    // The player waits for the stream before anything is published.
    std::future<CReadResult> reader =
        std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 50, 80, 30000); });
    QTRY_VERIFY_WITH_TIMEOUT(server.HasPlayer(QStringLiteral("publish")), 30000);

    CEvents events;
    KVS_HANDLE hClient = CreateClient(strUrl, events, m_stream, true);
    QVERIFY(hClient);
    QTRY_VERIFY_WITH_TIMEOUT(events.nConnected == 1, 10000);
    int nAccepted = 0;
    Publish(hClient, m_stream, 0, m_stream.GetPackets().size(), true, &nAccepted);
    QVERIFY(nAccepted > int(m_stream.GetPackets().size()) * 9 / 10);

    CReadResult result = reader.get();
    QVERIFY(DestroyReturns(hClient));
    QVERIFY2(result.bOpened, qPrintable(server.GetLog()));
    QVERIFY(result.bVideoH264);
    QVERIFY(result.bAudioAac);
    QCOMPARE(result.nWidth, m_stream.m_nWidth);
    QCOMPARE(result.nHeight, m_stream.m_nHeight);
    QVERIFY2(result.nVideoPackets >= 50, qPrintable(QString::number(result.nVideoPackets)));
    QVERIFY2(result.nAudioPackets >= 80, qPrintable(QString::number(result.nAudioPackets)));
    QCOMPARE(events.nFailed.load(), 0);
    QCOMPARE(events.nDisconnected.load(), 0);
}

void CTestRtmpStream::OnVideoOnly()
{
    // Without an audio device no audio format is announced: the stream must
    // not wait for audio that never comes.
    CNginxRtmp server;
    QVERIFY(server.Start());
    QString strUrl = server.GetUrl(QStringLiteral("video"));
    std::future<CReadResult> reader =
        std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 40, 0, 30000); });
    QTRY_VERIFY_WITH_TIMEOUT(server.HasPlayer(QStringLiteral("video")), 30000);

    CEvents events;
    KVS_HANDLE hClient = CreateClient(strUrl, events, m_stream, false);
    QVERIFY(hClient);
    Publish(hClient, m_stream, 0, m_stream.GetPackets().size(), false);
    CReadResult result = reader.get();
    QVERIFY(DestroyReturns(hClient));
    QVERIFY(result.bVideoH264);
    QVERIFY(!result.bAudioAac);
    QVERIFY2(result.nVideoPackets >= 40, qPrintable(QString::number(result.nVideoPackets)));
}

void CTestRtmpStream::OnAnnouncedAudioNeverComes()
{
    // Audio announced, but its encoder delivers nothing: the picture still
    // reaches the server.
    CNginxRtmp server;
    QVERIFY(server.Start());
    QString strUrl = server.GetUrl(QStringLiteral("mute"));
    std::future<CReadResult> reader =
        std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 25, 0, 30000); });
    QTRY_VERIFY_WITH_TIMEOUT(server.HasPlayer(QStringLiteral("mute")), 30000);

    CEvents events;
    KVS_HANDLE hClient = CreateClient(strUrl, events, m_stream, true);
    QVERIFY(hClient);
    Publish(hClient, m_stream, 0, m_stream.GetPackets().size(), false);
    CReadResult result = reader.get();
    QVERIFY(DestroyReturns(hClient));
    QVERIFY(result.bVideoH264);
    QVERIFY2(result.nVideoPackets >= 25, qPrintable(QString::number(result.nVideoPackets)));
}

void CTestRtmpStream::OnNoServer()
{
    int nPort = GetFreePort();
    QVERIFY(nPort > 0);
    CEvents events;
    QElapsedTimer timer;
    timer.start();
    KVS_HANDLE hClient =
        CreateClient(QStringLiteral("rtmp://127.0.0.1:%1/live/none").arg(nPort), events, m_stream, true);
    QVERIFY(hClient);
    qInfo("returned after %lld ms", static_cast<long long>(timer.elapsed()));
    QTRY_VERIFY_WITH_TIMEOUT(events.nFailed == 1, 15000);

    // Writes after the failure are refused at once.
    int nAccepted = 0;
    Publish(hClient, m_stream, 0, 200, true, &nAccepted);
    QCOMPARE(nAccepted, 0);

    // A refusal can end the first attempt before the caller asks for
    // reconnection; asked afterwards, the client takes up trying again.
    QCOMPARE(Status(hClient).nState, int(KPL_RTMP_FAILED));
    KPL_SetRTMPAutoReconnect(hClient, 1);
    QTRY_VERIFY_WITH_TIMEOUT(Status(hClient).nState == KPL_RTMP_RECONNECTING && Status(hClient).nAttempt >= 2, 15000);
    QVERIFY(DestroyReturns(hClient));
    QCOMPARE(events.nConnected.load(), 0);
}

void CTestRtmpStream::OnServerStopsMidStream()
{
    CNginxRtmp server;
    QVERIFY(server.Start());
    CEvents events;
    KVS_HANDLE hClient = CreateClient(server.GetUrl(QStringLiteral("lost")), events, m_stream, true);
    QVERIFY(hClient);
    QTRY_VERIFY_WITH_TIMEOUT(events.nConnected == 1, 10000);

    const size_t nCount = m_stream.GetPackets().size();
    size_t nNext = Publish(hClient, m_stream, 0, nCount / 4, true);
    server.Stop();
    // Writing goes on as the encoders would; every call returns.
    Publish(hClient, m_stream, nNext, nCount / 2, true);
    QTRY_VERIFY_WITH_TIMEOUT(events.nDisconnected == 1, 15000);
    Publish(hClient, m_stream, nCount / 2, nCount / 2 + 50, true);
    QVERIFY(DestroyReturns(hClient));
}

void CTestRtmpStream::OnSilentServer()
{
    // Accepts the TCP connection and never answers: destroy must not wait
    // for the five-second connection limit.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    CEvents events;
    KVS_HANDLE hClient = CreateClient(QStringLiteral("rtmp://127.0.0.1:%1/live/silent").arg(server.serverPort()),
                                      events, m_stream, true);
    QVERIFY(hClient);
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 10000);
    // Four seconds at once: far more than the queue holds, so some are
    // dropped, and none of the calls waits for the server.
    int nAccepted = 0;
    Publish(hClient, m_stream, 0, m_stream.GetPackets().size(), true, &nAccepted, false);
    QVERIFY(nAccepted > 0);
    QVERIFY(nAccepted < int(m_stream.GetPackets().size()));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(DestroyReturns(hClient));
    qInfo("returned after %lld ms", static_cast<long long>(timer.elapsed()));
    QCOMPARE(events.nConnected.load(), 0);
}

void CTestRtmpStream::OnConnectTimeLimit()
{
    // A server that never answers the handshake: the client gives up after
    // its time limit on its own and says so.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    CEvents events;
    QByteArray url = QStringLiteral("rtmp://127.0.0.1:%1/live/slow").arg(server.serverPort()).toUtf8();
    KVS_HANDLE hClient = KPL_CreateRTMPClient(url.constData(), "", "", 1000, OnEvent, &events);
    QVERIFY(hClient);
    QTRY_VERIFY_WITH_TIMEOUT(events.nFailed == 1, 20000);
    QCOMPARE(events.nConnected.load(), 0);
    QVERIFY(DestroyReturns(hClient));
}

void CTestRtmpStream::OnAutoReconnect()
{
    CNginxRtmp server;
    QVERIFY(server.Start());
    QString strUrl = server.GetUrl(QStringLiteral("again"));
    CEvents events;
    KVS_HANDLE hClient = CreateClient(strUrl, events, m_stream, true);
    QVERIFY(hClient);
    KPL_SetRTMPAutoReconnect(hClient, 1);
    QTRY_VERIFY_WITH_TIMEOUT(events.nConnected == 1, 10000);

    const size_t nCount = m_stream.GetPackets().size();
    Publish(hClient, m_stream, 0, nCount / 4, true);
    server.Stop();
    Publish(hClient, m_stream, nCount / 4, nCount / 2, true);
    QTRY_VERIFY_WITH_TIMEOUT(events.nDisconnected >= 1, 15000);

    QCOMPARE(Status(hClient).nState, int(KPL_RTMP_RECONNECTING));
    QVERIFY(Status(hClient).nAttempt >= 1);

    QVERIFY(server.Restart());
    std::future<CReadResult> reader =
        std::async(std::launch::async, [strUrl] { return ReadStream(strUrl, 25, 40, 30000); });
    QTRY_VERIFY_WITH_TIMEOUT(events.nConnected == 2, 15000);
    QCOMPARE(Status(hClient).nState, int(KPL_RTMP_PUBLISHING));
    QCOMPARE(Status(hClient).nAttempt, 0);
    // The new connection starts at the next key frame, and asks for one at
    // the first picture it has to turn away.
    const auto& vecPackets = m_stream.GetPackets();
    size_t nResume = nCount / 2;
    while (nResume < nCount && (vecPackets[nResume].nStream != KVE_STREAM_VIDEO || vecPackets[nResume].info.bKeyFrame))
        ++nResume;
    const int nWantedBefore = events.nKeyWanted;
    Publish(hClient, m_stream, nResume, nCount, true);
    QCOMPARE(events.nKeyWanted.load(), nWantedBefore + 1);
    CReadResult result = reader.get();
    QVERIFY(DestroyReturns(hClient));
    QVERIFY(result.bVideoH264);
    QVERIFY(result.bAudioAac);
    QVERIFY2(result.nVideoPackets >= 25, qPrintable(QString::number(result.nVideoPackets)));
}

void CTestRtmpStream::OnServerStalls()
{
    CNginxRtmp server;
    QVERIFY(server.Start());
    CEvents events;
    KVS_HANDLE hClient = CreateClient(server.GetUrl(QStringLiteral("stall")), events, m_stream, false);
    QVERIFY(hClient);
    QTRY_VERIFY_WITH_TIMEOUT(events.nConnected == 1, 10000);
    Publish(hClient, m_stream, 0, 20, false);
    QVERIFY(server.Freeze(true));

    // Far more than the socket buffers hold, so the client's thread ends up
    // waiting in a send to a server that no longer reads.
    std::vector<uint8_t> vecBig(512 * 1024, 0x41);
    KVE_PACKET_INFO info = m_stream.GetPackets().front().info;
    for (int i = 0; i < 40; ++i)
    {
        vecBig[0] = vecBig[1] = vecBig[2] = 0;
        vecBig[3] = uint8_t(vecBig.size() - 4); // one (bogus) NAL unit
        info.bKeyFrame = 1;
        info.nPts = info.nDts = 10000000 + i * 400000LL;
        KPL_WriteRTMPData(hClient, 1, vecBig.data(), int(vecBig.size()), &info, int(sizeof(info)));
    }
    QTRY_VERIFY_WITH_TIMEOUT(server.GetUnsentBytes() > 0, 30000);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(DestroyReturns(hClient));
    qInfo("returned after %lld ms", static_cast<long long>(timer.elapsed()));
    QVERIFY(server.Freeze(false));
}

void CTestRtmpStream::OnReconnectStateAndBackoff()
{
    // The port of a server that is down for now.
    CNginxRtmp server;
    QVERIFY(server.Start());
    server.Stop();
    CEvents events;
    KVS_HANDLE hClient = CreateClient(server.GetUrl(QStringLiteral("later")), events, m_stream, true);
    QVERIFY(hClient);
    // Reconnection asked for only after the first attempt was refused: the
    // waits must still start at the first one.
    QTRY_COMPARE_WITH_TIMEOUT(Status(hClient).nState, int(KPL_RTMP_FAILED), 30000);
    KPL_SetRTMPAutoReconnect(hClient, 1);

    // Each retry waits twice as long as the one before: the count goes up
    // by one each time, never skipping, and the waits are at least 1, 2 and
    // 4 s (a wait can come late, never early).
    QElapsedTimer timer;
    timer.start();
    qint64 anSeen[5] = {};
    int nLast = 0;
    while (nLast < 4 && timer.elapsed() < 60000)
    {
        const KPL_RTMP_STATUS status = Status(hClient);
        if (status.nState == KPL_RTMP_RECONNECTING && status.nAttempt != nLast)
        {
            QCOMPARE(status.nAttempt, nLast + 1);
            nLast = status.nAttempt;
            anSeen[nLast] = timer.elapsed();
        }
        QThread::msleep(5);
    }
    QCOMPARE(nLast, 4);
    QVERIFY2(anSeen[2] - anSeen[1] >= 950, qPrintable(QString::number(anSeen[2] - anSeen[1])));
    QVERIFY2(anSeen[3] - anSeen[2] >= 1950, qPrintable(QString::number(anSeen[3] - anSeen[2])));
    QVERIFY2(anSeen[4] - anSeen[3] >= 3950, qPrintable(QString::number(anSeen[4] - anSeen[3])));
    QCOMPARE(events.nConnected.load(), 0);

    // The server comes up on the same port: found at the next attempt.
    QVERIFY(server.Restart());
    QTRY_VERIFY_WITH_TIMEOUT(Status(hClient).nState == KPL_RTMP_PUBLISHING, 30000);
    QCOMPARE(Status(hClient).nAttempt, 0);
    QCOMPARE(events.nConnected.load(), 1);
    QVERIFY(DestroyReturns(hClient));
}

void CTestRtmpStream::OnFrozenServerCostsVideoOnly()
{
    CNginxRtmp server;
    QVERIFY(server.Start());
    CEvents events;
    KVS_HANDLE hClient = CreateClient(server.GetUrl(QStringLiteral("frozen")), events, m_stream, true);
    QVERIFY(hClient);
    QTRY_VERIFY_WITH_TIMEOUT(events.nConnected == 1, 10000);
    int nAudioAccepted = 0;
    const auto& vecPackets = m_stream.GetPackets();
    for (size_t i = 0; i < 80; ++i)
    {
        const CTestPacket& packet = vecPackets[i];
        const int nResult = KPL_WriteRTMPData(hClient, packet.nStream, packet.vecData.data(),
                                              int(packet.vecData.size()), &packet.info, int(sizeof(packet.info)));
        if (packet.nStream == KVE_STREAM_AUDIO)
            nAudioAccepted += nResult;
    }
    QTRY_VERIFY_WITH_TIMEOUT(Status(hClient).nAudioSent > 0 && Status(hClient).nVideoSent > 0, 10000);
    const uint64_t nAudioDroppedBefore = Status(hClient).nAudioDropped;
    QCOMPARE(events.nKeyWanted.load(), 0);
    QVERIFY(server.Freeze(true));

    // Large pictures at 25 fps with their sound, until the socket buffers
    // are full and the client's queue has run over.
    const auto itAudio = std::find_if(vecPackets.begin(), vecPackets.end(),
                                      [](const CTestPacket& packet) { return packet.nStream == KVE_STREAM_AUDIO; });
    QVERIFY(itAudio != vecPackets.end());
    const CTestPacket* pAudio = &*itAudio;
    const KVE_PACKET_INFO infoVideo = vecPackets.front().info;
    int64_t nDts = 20000000;
    auto writeFrame = [&](bool bKey) {
        nDts += 400000;
        WriteVideo(hClient, infoVideo, nDts, bKey, 256 * 1024);
        KVE_PACKET_INFO infoAudio = pAudio->info;
        infoAudio.nPts = infoAudio.nDts = nDts + 1000;
        nAudioAccepted += KPL_WriteRTMPData(hClient, KVE_STREAM_AUDIO, pAudio->vecData.data(),
                                            int(pAudio->vecData.size()), &infoAudio, int(sizeof(infoAudio)));
    };
    auto writeUntilDrop = [&]() {
        const uint64_t nDropped = Status(hClient).nVideoDropped;
        for (int i = 0; i < 2000 && Status(hClient).nVideoDropped == nDropped; ++i)
            writeFrame(false);
        return Status(hClient).nVideoDropped > nDropped;
    };
    QVERIFY(writeUntilDrop());
    // Asked once for the whole gap, however many pictures it turns away.
    for (int i = 0; i < 30; ++i)
        writeFrame(false);
    QCOMPARE(events.nKeyWanted.load(), 1);

    // Answered with a key frame each time, as the encoder would, until the
    // queue has run over twice more with nothing sent meanwhile: the
    // second such gap (the first may still see the last send's effect)
    // must not ask again, the server has not taken the last answer.
    int nStalled = 0;
    for (int nCycle = 0; nCycle < 20 && nStalled < 2; ++nCycle)
    {
        const uint64_t nSent = Status(hClient).nVideoSent;
        const int nWanted = events.nKeyWanted;
        writeFrame(true);
        QVERIFY(writeUntilDrop());
        if (Status(hClient).nVideoSent != nSent)
            nStalled = 0;
        else if (++nStalled == 2)
            QCOMPARE(events.nKeyWanted.load(), nWanted);
    }
    QCOMPARE(nStalled, 2);

    // Every packet of sound is still there: sent before the freeze or queued.
    KPL_RTMP_STATUS status = Status(hClient);
    QCOMPARE(status.nAudioDropped, nAudioDroppedBefore);
    QCOMPARE(status.nAudioSent + status.nAudioQueued, uint64_t(nAudioAccepted));
    // Still the same connection; a slow machine may have taken long enough
    // for it to show as stalled.
    QVERIFY2(status.nState == KPL_RTMP_PUBLISHING || status.nState == KPL_RTMP_STALLED,
             qPrintable(QString::number(status.nState)));

    // The server moves again: the next picture turned away asks anew, and
    // the key frame that answers it is the next picture sent.
    const int nWantedFrozen = events.nKeyWanted;
    QVERIFY(server.Freeze(false));
    QElapsedTimer timer;
    timer.start();
    while (events.nKeyWanted == nWantedFrozen && timer.elapsed() < 30000)
    {
        writeFrame(false);
        QThread::msleep(40);
    }
    QCOMPARE(events.nKeyWanted.load(), nWantedFrozen + 1);
    const uint64_t nVideoSent = Status(hClient).nVideoSent;
    const uint64_t nKeysSent = Status(hClient).nKeyFramesSent;
    writeFrame(true);
    QTRY_VERIFY_WITH_TIMEOUT(Status(hClient).nVideoSent > nVideoSent, 30000);
    status = Status(hClient);
    QCOMPARE(status.nVideoSent, nVideoSent + 1);
    QCOMPARE(status.nKeyFramesSent, nKeysSent + 1);
    QVERIFY(DestroyReturns(hClient));
}

void CTestRtmpStream::OnBadArguments()
{
    CEvents events;
    QVERIFY(!KPL_CreateRTMPClient(nullptr, "", "", 5000, OnEvent, &events));
    QVERIFY(!KPL_CreateRTMPClient("http://127.0.0.1/live/x", "", "", 5000, OnEvent, &events));
    QCOMPARE(KPL_WriteRTMPData(nullptr, 1, nullptr, 0, nullptr, 0), 0);
    QCOMPARE(KPL_DestroyRTMPClient(nullptr), 0);
    KPL_RTMP_STATUS status = {};
    QCOMPARE(KPL_GetRTMPStatus(nullptr, &status), 0);

    int nPort = GetFreePort();
    QByteArray url = QStringLiteral("rtmp://127.0.0.1:%1/live/x").arg(nPort).toUtf8();
    KVS_HANDLE hClient = KPL_CreateRTMPClient(url.constData(), "", "", 5000, OnEvent, &events);
    QVERIFY(hClient);
    const CTestPacket& packet = m_stream.GetPackets().front();
    // A short second buffer or a missing one is refused, not read past.
    QCOMPARE(KPL_WriteRTMPData(hClient, 1, packet.vecData.data(), int(packet.vecData.size()), &packet.info, 8), 0);
    QCOMPARE(KPL_WriteRTMPData(hClient, 1, packet.vecData.data(), int(packet.vecData.size()), nullptr, 0), 0);
    QCOMPARE(KPL_WriteRTMPData(hClient, 7, packet.vecData.data(), int(packet.vecData.size()), &packet.info,
                               int(sizeof(packet.info))),
             0);
    QVERIFY(DestroyReturns(hClient));
}

void CTestRtmpStream::OnStaleHandles()
{
    CEvents events;
    const QByteArray url = QStringLiteral("rtmp://127.0.0.1:%1/live/stale").arg(GetFreePort()).toUtf8();
    KVS_HANDLE hClient = KPL_CreateRTMPClient(url.constData(), "", "", 5000, OnEvent, &events);
    QVERIFY(hClient);
    QVERIFY(DestroyReturns(hClient));

    // A handle from another part of the media layer is no client either.
    qputenv("VISTREL_VIRTUAL_VIDEO", "1");
    QVERIFY(KVS_Initialize());
    KVS_VIDEO_CAPTURE_INFO info;
    QVERIFY(KVS_GetVideoCaptureInfo(0, &info));
    KVS_HANDLE hCapture = KVS_OpenVideoCapture(info.szIdentity);
    QVERIFY(hCapture);

    const CTestPacket& packet = m_stream.GetPackets().front();
    KPL_RTMP_STATUS status = {};
    CStderrCapture capture;
    for (KVS_HANDLE h : {hClient, hCapture})
    {
        QCOMPARE(KPL_DestroyRTMPClient(h), 0);
        QCOMPARE(KPL_WriteRTMPData(h, packet.nStream, packet.vecData.data(), int(packet.vecData.size()), &packet.info,
                                   int(sizeof(packet.info))),
                 0);
        QCOMPARE(KPL_GetRTMPStatus(h, &status), 0);
        QCOMPARE(KPL_SetRTMPAutoReconnect(h, 1), 0);
        QCOMPARE(KPL_SetRTMPVideoFormat(h, 320, 240, 400000, 0), 0);
        QCOMPARE(KPL_SetRTMPAudioFormat(h, 48000, 2, 1024), 0);
    }
    const QString strLog = capture.Text();
    QCOMPARE(strLog.count(QStringLiteral("is not an open client")), 12);

    // The capture itself was left alone.
    QCOMPARE(KVS_CloseVideoCapture(hCapture), 1);
    KVS_Uninitialize();
}

QTEST_GUILESS_MAIN(CTestRtmpStream)
#include "tst_rtmp_stream.moc"
