#include "RtmpTestUtil.h"

#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <sys/types.h>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
}

int GetFreePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    int nPort = server.serverPort();
    server.close();
    return nPort;
}

CNginxRtmp::CNginxRtmp() = default;

CNginxRtmp::~CNginxRtmp()
{
    Stop();
}

bool CNginxRtmp::RunScript(const QStringList& listArgs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("sh"), QStringList{QStringLiteral(VISTREL_NGINX_SCRIPT)} + listArgs);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool CNginxRtmp::Start(bool bHls)
{
    // Another process may take the port between our probe and nginx's bind.
    for (int nTry = 0; nTry < 5 && !m_bRunning; ++nTry)
    {
        m_nPort = GetFreePort();
        QStringList listArgs{QStringLiteral("start"), m_dir.path(), QString::number(m_nPort)};
        if (bHls)
        {
            m_nHttpPort = GetFreePort();
            listArgs << QString::number(m_nHttpPort);
        }
        m_bRunning = m_nPort > 0 && (!bHls || m_nHttpPort > 0) && RunScript(listArgs);
    }
    return m_bRunning;
}

void CNginxRtmp::Stop()
{
    if (!m_bRunning)
        return;
    // A frozen server would ignore the request to stop.
    Freeze(false);
    RunScript({QStringLiteral("stop"), m_dir.path(), QString::number(m_nPort)});
    m_bRunning = false;
}

bool CNginxRtmp::Restart()
{
    Stop();
    QStringList listArgs{QStringLiteral("start"), m_dir.path(), QString::number(m_nPort)};
    if (m_nHttpPort > 0)
        listArgs << QString::number(m_nHttpPort);
    m_bRunning = RunScript(listArgs);
    return m_bRunning;
}

bool CNginxRtmp::Freeze(bool bFreeze)
{
    QFile filePid(m_dir.filePath(QStringLiteral("nginx.pid")));
    if (!m_bRunning || !filePid.open(QIODevice::ReadOnly))
        return false;
    pid_t nMaster = pid_t(filePid.readAll().trimmed().toLongLong());
    if (nMaster <= 0)
        return false;
    // A killed master leaves its pid file behind, and the number may have
    // gone to another process since.
    QFile fileCmd(QStringLiteral("/proc/%1/cmdline").arg(nMaster));
    if (!fileCmd.open(QIODevice::ReadOnly) || !fileCmd.readAll().startsWith("nginx: master process"))
        return false;
    QList<pid_t> listPids{nMaster};
    QFile fileChildren(QStringLiteral("/proc/%1/task/%1/children").arg(nMaster));
    if (fileChildren.open(QIODevice::ReadOnly))
        for (const QByteArray& pid : fileChildren.readAll().split(' '))
            if (pid.trimmed().toLongLong() > 0)
                listPids.append(pid_t(pid.trimmed().toLongLong()));
    bool bOk = true;
    for (pid_t nPid : listPids)
        bOk = kill(nPid, bFreeze ? SIGSTOP : SIGCONT) == 0 && bOk;
    return bOk && listPids.size() > 1;
}

QString CNginxRtmp::GetUrl(const QString& strName, const QString& strApp) const
{
    return QStringLiteral("rtmp://127.0.0.1:%1/%2/%3").arg(m_nPort).arg(strApp, strName);
}

QString CNginxRtmp::GetHlsPlaylistUrl(const QString& strName) const
{
    return QStringLiteral("http://127.0.0.1:%1/hls/%2.m3u8").arg(m_nHttpPort).arg(strName);
}

QString CNginxRtmp::GetLog() const
{
    QFile file(m_dir.filePath(QStringLiteral("error.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool CNginxRtmp::HasPlayer(const QString& strName) const
{
    return GetLog().contains(QStringLiteral("play: name='%1'").arg(strName));
}

qint64 CNginxRtmp::GetUnsentBytes() const
{
    // Rows: "sl local rem st tx_queue:rx_queue ..." with "hexaddr:hexport".
    QFile file(QStringLiteral("/proc/net/tcp"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 nUnsent = 0;
    const QByteArray baPort = QByteArray::number(m_nPort, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& baLine : file.readAll().split('\n'))
    {
        const QList<QByteArray> listFields = baLine.simplified().split(' ');
        if (listFields.size() < 5 || !listFields[2].endsWith(":" + baPort) || listFields[3] != "01")
            continue;
        nUnsent += listFields[4].split(':').value(0).toLongLong(nullptr, 16);
    }
    return nUnsent;
}

namespace
{
// Start-code form to the 4-byte length prefixes the encoders deliver.
std::vector<uint8_t> ToLengthPrefixed(const uint8_t* pData, int nLength)
{
    std::vector<std::pair<int, int>> vecUnits;
    int nStart = -1;
    for (int i = 0; i + 2 < nLength;)
    {
        if (pData[i] == 0 && pData[i + 1] == 0 && pData[i + 2] == 1)
        {
            if (nStart >= 0)
            {
                int nEnd = i;
                while (nEnd > nStart && pData[nEnd - 1] == 0)
                    --nEnd;
                vecUnits.emplace_back(nStart, nEnd);
            }
            i += 3;
            nStart = i;
        }
        else
            ++i;
    }
    if (nStart >= 0)
        vecUnits.emplace_back(nStart, nLength);
    std::vector<uint8_t> vecOut;
    for (auto& unit : vecUnits)
    {
        uint32_t nSize = uint32_t(unit.second - unit.first);
        for (int nShift = 24; nShift >= 0; nShift -= 8)
            vecOut.push_back(uint8_t(nSize >> nShift));
        vecOut.insert(vecOut.end(), pData + unit.first, pData + unit.second);
    }
    return vecOut;
}

void AddPacket(std::vector<CTestPacket>& vecPackets, int nStream, const AVPacket* pPacket, AVRational timeBase,
               std::vector<uint8_t> vecData)
{
    const AVRational ticks = {1, 10000000};
    CTestPacket packet;
    packet.nStream = nStream;
    packet.vecData = std::move(vecData);
    packet.info = {};
    packet.info.nStream = nStream;
    packet.info.bKeyFrame = (pPacket->flags & AV_PKT_FLAG_KEY) ? 1 : 0;
    packet.info.nPts = av_rescale_q(pPacket->pts, timeBase, ticks);
    packet.info.nDts = av_rescale_q(pPacket->dts, timeBase, ticks);
    packet.info.nDuration = av_rescale_q(pPacket->duration, timeBase, ticks);
    vecPackets.push_back(std::move(packet));
}
}

bool CTestStream::EncodeVideo(int nSeconds)
{
    const AVCodec* pCodec = avcodec_find_encoder_by_name("libx264");
    if (!pCodec)
        return false;
    AVCodecContext* pCtx = avcodec_alloc_context3(pCodec);
    pCtx->width = m_nWidth;
    pCtx->height = m_nHeight;
    pCtx->pix_fmt = AV_PIX_FMT_YUV420P;
    pCtx->time_base = {1, 25};
    pCtx->framerate = {25, 1};
    pCtx->gop_size = 25;
    pCtx->max_b_frames = 0;
    pCtx->bit_rate = 400000;
    pCtx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(pCtx->priv_data, "preset", "ultrafast", 0);
    av_opt_set(pCtx->priv_data, "tune", "zerolatency", 0);
    if (avcodec_open2(pCtx, pCodec, nullptr) < 0)
    {
        avcodec_free_context(&pCtx);
        return false;
    }
    // Kept in start-code form, as libx264 gives it: the client must cope.
    m_vecVideoExtra.assign(pCtx->extradata, pCtx->extradata + pCtx->extradata_size);

    AVFrame* pFrame = av_frame_alloc();
    pFrame->format = pCtx->pix_fmt;
    pFrame->width = m_nWidth;
    pFrame->height = m_nHeight;
    av_frame_get_buffer(pFrame, 0);
    AVPacket* pPacket = av_packet_alloc();
    std::vector<CTestPacket> vecVideo;
    auto drain = [&]() {
        while (avcodec_receive_packet(pCtx, pPacket) == 0)
        {
            if (pPacket->duration == 0)
                pPacket->duration = 1;
            AddPacket(vecVideo, KVE_STREAM_VIDEO, pPacket, pCtx->time_base,
                      ToLengthPrefixed(pPacket->data, pPacket->size));
            av_packet_unref(pPacket);
        }
    };
    for (int nFrame = 0; nFrame < nSeconds * 25; ++nFrame)
    {
        av_frame_make_writable(pFrame);
        for (int y = 0; y < m_nHeight; ++y)
            for (int x = 0; x < m_nWidth; ++x)
                pFrame->data[0][y * pFrame->linesize[0] + x] = uint8_t(x + y + nFrame * 4);
        for (int y = 0; y < m_nHeight / 2; ++y)
        {
            memset(pFrame->data[1] + y * pFrame->linesize[1], 128, m_nWidth / 2);
            memset(pFrame->data[2] + y * pFrame->linesize[2], uint8_t(64 + nFrame), m_nWidth / 2);
        }
        pFrame->pts = nFrame;
        if (avcodec_send_frame(pCtx, pFrame) < 0)
            break;
        drain();
    }
    avcodec_send_frame(pCtx, nullptr);
    drain();
    av_packet_free(&pPacket);
    av_frame_free(&pFrame);
    avcodec_free_context(&pCtx);
    for (auto& packet : vecVideo)
        m_vecPackets.push_back(std::move(packet));
    return !vecVideo.empty();
}

bool CTestStream::EncodeAudio(int nSeconds)
{
    const AVCodec* pCodec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!pCodec)
        return false;
    AVCodecContext* pCtx = avcodec_alloc_context3(pCodec);
    pCtx->sample_rate = 48000;
    av_channel_layout_default(&pCtx->ch_layout, 2);
    pCtx->sample_fmt = AV_SAMPLE_FMT_FLTP;
    pCtx->bit_rate = 128000;
    pCtx->time_base = {1, 48000};
    pCtx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(pCtx, pCodec, nullptr) < 0)
    {
        avcodec_free_context(&pCtx);
        return false;
    }
    m_vecAudioExtra.assign(pCtx->extradata, pCtx->extradata + pCtx->extradata_size);

    AVFrame* pFrame = av_frame_alloc();
    pFrame->format = pCtx->sample_fmt;
    pFrame->nb_samples = pCtx->frame_size;
    av_channel_layout_copy(&pFrame->ch_layout, &pCtx->ch_layout);
    av_frame_get_buffer(pFrame, 0);
    AVPacket* pPacket = av_packet_alloc();
    std::vector<CTestPacket> vecAudio;
    auto drain = [&]() {
        while (avcodec_receive_packet(pCtx, pPacket) == 0)
        {
            AddPacket(vecAudio, KVE_STREAM_AUDIO, pPacket, pCtx->time_base,
                      std::vector<uint8_t>(pPacket->data, pPacket->data + pPacket->size));
            av_packet_unref(pPacket);
        }
    };
    int64_t nSample = 0;
    while (nSample < int64_t(nSeconds) * 48000)
    {
        av_frame_make_writable(pFrame);
        for (int c = 0; c < 2; ++c)
        {
            float* pOut = reinterpret_cast<float*>(pFrame->data[c]);
            for (int i = 0; i < pFrame->nb_samples; ++i)
                pOut[i] = 0.3f * float(std::sin(2.0 * M_PI * 440.0 * double(nSample + i) / 48000.0));
        }
        pFrame->pts = nSample;
        nSample += pFrame->nb_samples;
        if (avcodec_send_frame(pCtx, pFrame) < 0)
            break;
        drain();
    }
    avcodec_send_frame(pCtx, nullptr);
    drain();
    av_packet_free(&pPacket);
    av_frame_free(&pFrame);
    avcodec_free_context(&pCtx);
    for (auto& packet : vecAudio)
    {
        // The encoder's priming delay gives a negative first timestamp; the
        // program's encoders start at zero.
        packet.info.nPts = std::max<int64_t>(packet.info.nPts, 0);
        packet.info.nDts = std::max<int64_t>(packet.info.nDts, 0);
        m_vecPackets.push_back(std::move(packet));
    }
    return !vecAudio.empty();
}

bool CTestStream::Generate(int nSeconds)
{
    m_vecPackets.clear();
    if (!EncodeVideo(nSeconds) || !EncodeAudio(nSeconds))
        return false;
    std::stable_sort(m_vecPackets.begin(), m_vecPackets.end(),
                     [](const CTestPacket& a, const CTestPacket& b) { return a.info.nDts < b.info.nDts; });
    for (auto& packet : m_vecPackets)
    {
        const std::vector<uint8_t>& vecExtra = packet.nStream == KVE_STREAM_VIDEO ? m_vecVideoExtra : m_vecAudioExtra;
        packet.info.pExtraData = vecExtra.data();
        packet.info.nExtraData = int(vecExtra.size());
    }
    return true;
}

namespace
{
struct CReadDeadline
{
    int64_t nDeadline;
};

int OnReadInterrupt(void* pOpaque)
{
    return av_gettime_relative() > static_cast<CReadDeadline*>(pOpaque)->nDeadline;
}
}

CReadResult ReadStream(const QString& strUrl, int nVideo, int nAudio, int nTimeoutMs)
{
    CReadResult result;
    CReadDeadline deadline{av_gettime_relative() + int64_t(nTimeoutMs) * 1000};
    AVFormatContext* pCtx = avformat_alloc_context();
    pCtx->interrupt_callback.callback = OnReadInterrupt;
    pCtx->interrupt_callback.opaque = &deadline;
    AVDictionary* pOptions = nullptr;
    av_dict_set(&pOptions, "rtmp_live", "live", 0);
    QByteArray url = strUrl.toUtf8();
    if (avformat_open_input(&pCtx, url.constData(), nullptr, &pOptions) < 0)
    {
        av_dict_free(&pOptions);
        return result;
    }
    av_dict_free(&pOptions);
    result.bOpened = true;
    pCtx->max_analyze_duration = 2 * AV_TIME_BASE;
    avformat_find_stream_info(pCtx, nullptr);
    for (unsigned i = 0; i < pCtx->nb_streams; ++i)
    {
        const AVCodecParameters* pPar = pCtx->streams[i]->codecpar;
        if (pPar->codec_id == AV_CODEC_ID_H264)
        {
            result.bVideoH264 = true;
            result.nWidth = pPar->width;
            result.nHeight = pPar->height;
        }
        else if (pPar->codec_id == AV_CODEC_ID_AAC)
            result.bAudioAac = true;
    }
    AVPacket* pPacket = av_packet_alloc();
    while ((result.nVideoPackets < nVideo || result.nAudioPackets < nAudio) && av_read_frame(pCtx, pPacket) >= 0)
    {
        AVMediaType nType = pCtx->streams[pPacket->stream_index]->codecpar->codec_type;
        if (nType == AVMEDIA_TYPE_VIDEO)
            ++result.nVideoPackets;
        else if (nType == AVMEDIA_TYPE_AUDIO)
            ++result.nAudioPackets;
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
    avformat_close_input(&pCtx);
    return result;
}

std::vector<CReadPacket> ReadVideoPackets(const QString& strUrl, int nVideo, int nTimeoutMs)
{
    std::vector<CReadPacket> vecPackets;
    CReadDeadline deadline{av_gettime_relative() + int64_t(nTimeoutMs) * 1000};
    AVFormatContext* pCtx = avformat_alloc_context();
    pCtx->interrupt_callback.callback = OnReadInterrupt;
    pCtx->interrupt_callback.opaque = &deadline;
    AVDictionary* pOptions = nullptr;
    if (strUrl.startsWith(QStringLiteral("rtmp")))
        av_dict_set(&pOptions, "rtmp_live", "live", 0);
    const QByteArray url = strUrl.toUtf8();
    const int nOpen = avformat_open_input(&pCtx, url.constData(), nullptr, &pOptions);
    av_dict_free(&pOptions);
    if (nOpen < 0)
        return vecPackets;
    // No stream information is looked for: that would read, and hide, the
    // first packets.
    AVPacket* pPacket = av_packet_alloc();
    while (int(vecPackets.size()) < nVideo && av_read_frame(pCtx, pPacket) >= 0)
    {
        const AVStream* pStream = pCtx->streams[pPacket->stream_index];
        if (pStream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
        {
            const int64_t nTime = pPacket->dts != AV_NOPTS_VALUE ? pPacket->dts : pPacket->pts;
            vecPackets.push_back(
                {av_rescale_q(nTime, pStream->time_base, {1, 1000}), (pPacket->flags & AV_PKT_FLAG_KEY) != 0});
        }
        av_packet_unref(pPacket);
    }
    av_packet_free(&pPacket);
    avformat_close_input(&pCtx);
    return vecPackets;
}
