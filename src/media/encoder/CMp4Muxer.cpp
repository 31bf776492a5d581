#include "media/encoder/CMp4Muxer.h"

#include "media/core/LastError.h"

#include "platform/Log.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

extern "C"
{
#include <libavutil/mathematics.h>
}

namespace KVMedia
{
namespace
{
const AVRational s_tb100ns{1, 10000000};

int64_t NowMs()
{
    static QElapsedTimer s_timer;
    static std::once_flag s_once;
    std::call_once(s_once, [] { s_timer.start(); });
    return s_timer.elapsed();
}
}

CMp4Muxer::~CMp4Muxer()
{
    Close();
}

int CMp4Muxer::WritePacket(void* pOpaque, uint8_t* pBuffer, int nSize)
{
    CMp4Muxer* pThis = static_cast<CMp4Muxer*>(pOpaque);
    int nDone = 0;
    while (nDone < nSize)
    {
        const ssize_t nWritten = ::write(pThis->m_nFile, pBuffer + nDone, static_cast<size_t>(nSize - nDone));
        if (nWritten < 0)
        {
            if (errno == EINTR)
                continue;
            return AVERROR(errno);
        }
        nDone += static_cast<int>(nWritten);
        pThis->m_nBytesWritten.fetch_add(nWritten);
    }
    return nSize;
}

int64_t CMp4Muxer::Seek(void* pOpaque, int64_t nOffset, int nWhence)
{
    CMp4Muxer* pThis = static_cast<CMp4Muxer*>(pOpaque);
    if (nWhence == AVSEEK_SIZE)
    {
        const off_t nCurrent = ::lseek(pThis->m_nFile, 0, SEEK_CUR);
        const off_t nEnd = ::lseek(pThis->m_nFile, 0, SEEK_END);
        ::lseek(pThis->m_nFile, nCurrent, SEEK_SET);
        return nEnd;
    }
    const off_t nResult = ::lseek(pThis->m_nFile, nOffset, nWhence & ~AVSEEK_FORCE);
    return nResult < 0 ? AVERROR(errno) : nResult;
}

namespace
{
// A failed write of the header comes back from the I/O callbacks as an
// errno value; the codec library's own failures keep its words.
void SetHeaderError(int nResult)
{
    if (nResult < 0 && AVUNERROR(nResult) < 4096)
    {
        KVMedia::SetLastFileError(AVUNERROR(nResult));
        return;
    }
    char szError[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(nResult, szError, sizeof(szError));
    KVMedia::SetLastError(KVS_ERROR_FILE_OTHER, szError);
}
}

AVStream* CMp4Muxer::AddStream(const AVCodecContext* pContext, const std::vector<uint8_t>& vecExtraData)
{
    AVStream* pStream = avformat_new_stream(m_pFormat.get(), nullptr);
    if (!pStream || avcodec_parameters_from_context(pStream->codecpar, pContext) < 0)
        return nullptr;
    // The headers the packets are written against (avcC for video).
    if (!SetExtraData(pStream->codecpar, vecExtraData))
        return nullptr;
    pStream->time_base = pContext->time_base;
    return pStream;
}

bool CMp4Muxer::Open(const QString& strPath, std::shared_ptr<CH264Encoder> pH264, std::shared_ptr<CAacEncoder> pAac)
{
    if (!pH264 || !pH264->GetContext() || strPath.isEmpty() || (pAac && !pAac->GetContext()))
    {
        KVMedia::SetLastError(KVS_ERROR_BAD_ARGUMENT);
        return false;
    }
    m_pH264 = std::move(pH264);
    m_pAac = std::move(pAac);

    const int nAlloc = avformat_alloc_output_context2(AvOut(m_pFormat), nullptr, "mp4", nullptr);
    if (nAlloc < 0 || !m_pFormat)
    {
        KVMedia::SetLastError(KVS_ERROR_NO_CODEC, "mp4");
        return false;
    }
    AVStream* pVideo = AddStream(m_pH264->GetContext(), m_pH264->GetExtraData());
    if (!pVideo)
    {
        KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY);
        return false;
    }
    m_nVideoStream = pVideo->index;
    if (m_pAac)
    {
        AVStream* pAudio = AddStream(m_pAac->GetContext(), m_pAac->GetExtraData());
        if (!pAudio)
        {
            KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY);
            return false;
        }
        m_nAudioStream = pAudio->index;
    }

    m_nFile = ::open(QFile::encodeName(strPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (m_nFile < 0)
    {
        KVMedia::SetLastFileError(errno);
        Log::Error("encoder", QStringLiteral("cannot create the MP4 file \"%1\"").arg(strPath));
        return false;
    }
    const int nBufferSize = 64 * 1024;
    AvBytesPtr pBuffer(static_cast<uint8_t*>(av_malloc(nBufferSize)));
    if (!pBuffer)
    {
        KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY);
        return false;
    }
    m_pIo.reset(
        avio_alloc_context(pBuffer.get(), nBufferSize, 1, this, nullptr, &CMp4Muxer::WritePacket, &CMp4Muxer::Seek));
    if (!m_pIo)
    {
        KVMedia::SetLastError(KVS_ERROR_OUT_OF_MEMORY);
        return false;
    }
    (void)pBuffer.release(); // the I/O context's now
    m_pFormat->pb = m_pIo.get();
    m_pFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
    // A stream that falls silent must not hold the other back in memory for
    // long: whatever is held is lost in a crash.
    m_pFormat->max_interleave_delta = 1000000;

    AvDictionaryPtr pOptions;
    av_dict_set(AvOut(pOptions), "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
    // Fragments of about a second even when key frames are far apart.
    av_dict_set(AvOut(pOptions), "frag_duration", "1000000", 0);
    const int nResult = avformat_write_header(m_pFormat.get(), AvOut(pOptions));
    if (nResult < 0)
    {
        Log::Error("encoder", QStringLiteral("MP4 header of \"%1\" not written (%2)").arg(strPath).arg(nResult));
        SetHeaderError(nResult);
        return false;
    }
    avio_flush(m_pIo.get());
    if (m_pIo->error < 0)
    {
        Log::Error("encoder", QStringLiteral("MP4 header of \"%1\" not written (%2)").arg(strPath).arg(m_pIo->error));
        SetHeaderError(m_pIo->error);
        return false;
    }
    m_nGoodEnd = ::lseek(m_nFile, 0, SEEK_CUR);
    m_bHeader = true;
    m_nLastSyncMs = NowMs();
    m_pH264->GetOutput().Attach(this);
    if (m_pAac)
        m_pAac->GetOutput().Attach(this);
    return true;
}

bool CMp4Muxer::OnPacket(const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bFailed)
        return false;
    if (!m_bHeader || m_bClosed || nLength <= 0)
        return true;
    const int nStream = info.nStream == KVE_STREAM_VIDEO ? m_nVideoStream : m_nAudioStream;
    if (nStream < 0)
        return true;
    if (!m_bVideoStarted)
    {
        if (info.nStream != KVE_STREAM_VIDEO)
        {
            SHeldPacket held{std::vector<uint8_t>(pData, pData + nLength), info};
            held.info.pExtraData = nullptr;
            held.info.nExtraData = 0;
            m_vecHeldAudio.push_back(std::move(held));
            return true;
        }
        m_bVideoStarted = true;
        if (!WriteLocked(pData, nLength, info))
            return false;
        std::vector<SHeldPacket> vecHeld;
        vecHeld.swap(m_vecHeldAudio);
        for (const SHeldPacket& held : vecHeld)
        {
            if (!WriteLocked(held.abData.data(), int(held.abData.size()), held.info))
                return false;
        }
        return true;
    }
    return WriteLocked(pData, nLength, info);
}

bool CMp4Muxer::WriteLocked(const uint8_t* pData, int nLength, const KVE_PACKET_INFO& info)
{
    const int nStream = info.nStream == KVE_STREAM_VIDEO ? m_nVideoStream : m_nAudioStream;
    AvPacketPtr pPacket(av_packet_alloc());
    if (!pPacket || av_new_packet(pPacket.get(), nLength) < 0)
    {
        // A file with a hole in it would pass for a whole one.
        Fail(QStringLiteral("no memory for a packet"));
        return false;
    }
    memcpy(pPacket->data, pData, static_cast<size_t>(nLength));
    const AVRational tbStream = m_pFormat->streams[nStream]->time_base;
    pPacket->stream_index = nStream;
    pPacket->pts = av_rescale_q(info.nPts, s_tb100ns, tbStream);
    pPacket->dts = av_rescale_q(info.nDts, s_tb100ns, tbStream);
    pPacket->duration = av_rescale_q(info.nDuration, s_tb100ns, tbStream);
    if (info.bKeyFrame)
        pPacket->flags |= AV_PKT_FLAG_KEY;
    const int64_t nWrittenBefore = m_nBytesWritten.load();
    const int nResult = av_interleaved_write_frame(m_pFormat.get(), pPacket.get());
    if (nResult < 0)
    {
        Fail(QStringLiteral("packet not written (%1)").arg(nResult));
        return false;
    }
    // Finished fragments go to the operating system at once and to the disk
    // about every second.
    avio_flush(m_pIo.get());
    if (m_pIo->error < 0)
    {
        Fail(QStringLiteral("fragment not written (%1)").arg(m_pIo->error));
        return false;
    }
    if (!SyncIfDue(false))
    {
        Fail(QStringLiteral("file not synced (%1)").arg(qt_error_string(errno)));
        return false;
    }
    if (m_nBytesWritten.load() != nWrittenBefore)
    {
        // A fragment went out whole; this packet opens the next one.
        m_nGoodEnd = ::lseek(m_nFile, 0, SEEK_CUR);
        m_nBytesPending.store(nLength);
    }
    else
    {
        m_nBytesPending.fetch_add(nLength);
    }
    return true;
}

void CMp4Muxer::Fail(const QString& strWhy)
{
    Log::Error("encoder", QStringLiteral("MP4 file: %1; it ends with its last whole fragment").arg(strWhy));
    m_bFailed = true;
    m_nBytesPending.store(0);
    // A fragment cut short in the middle would leave a reader a box
    // announcing more than the file holds.
    if (m_nFile >= 0 && m_nGoodEnd > 0)
        (void)::ftruncate(m_nFile, m_nGoodEnd);
}

bool CMp4Muxer::SyncIfDue(bool bForce)
{
    const int64_t nNow = NowMs();
    if (!bForce && nNow - m_nLastSyncMs < 1000)
        return true;
    m_nLastSyncMs = nNow;
    return m_nFile < 0 || ::fdatasync(m_nFile) == 0;
}

bool CMp4Muxer::Close()
{
    // A recording ends with its muxer, and the frames still inside the
    // encoders (queue, look-ahead, B-frames) belong in the file: drain them
    // before detaching. Detaching then guarantees no encoder thread is still
    // inside OnPacket.
    if (m_bHeader && !m_bClosed)
    {
        if (m_pH264)
            m_pH264->Close();
        if (m_pAac)
            m_pAac->Close();
    }
    if (m_pH264)
        m_pH264->GetOutput().Detach(this);
    if (m_pAac)
        m_pAac->GetOutput().Detach(this);
    // The encoders may be released only after the muxer's lock: the last
    // reference closes an encoder, which takes the encoder's own lock, and an
    // encoder delivering a packet takes them in the other order.
    std::shared_ptr<CH264Encoder> pH264;
    std::shared_ptr<CAacEncoder> pAac;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bClosed)
        return !m_bFailed;
    m_bClosed = true;
    pH264.swap(m_pH264);
    pAac.swap(m_pAac);
    bool bOk = !m_bFailed;
    // After a failed write nothing more is written: the file already ends
    // with its last whole fragment, which needs no index to be read.
    if (m_bHeader && !m_bFailed)
    {
        const int nResult = av_write_trailer(m_pFormat.get());
        avio_flush(m_pIo.get());
        if (nResult < 0 || m_pIo->error < 0)
            Fail(QStringLiteral("end of the file not written (%1)").arg(nResult < 0 ? nResult : m_pIo->error));
        bOk = !m_bFailed;
    }
    else if (!m_bHeader)
    {
        bOk = false;
    }
    if (m_nFile >= 0)
    {
        if (::fsync(m_nFile) < 0 && m_bHeader)
            bOk = false;
        if (::close(m_nFile) < 0 && m_bHeader)
            bOk = false;
        m_nFile = -1;
    }
    m_pFormat.reset();
    m_pIo.reset();
    return bOk;
}
}
