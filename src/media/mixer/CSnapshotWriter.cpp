#include "media/mixer/CSnapshotWriter.h"

#include "media/core/AvPtr.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

extern "C"
{
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

CSnapshotWriter::~CSnapshotWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_cond.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CSnapshotWriter::Queue(std::vector<uint8_t>&& abFrame, int nWidth, int nHeight, const QString& strPath,
                            int nQuality, FnDone fnDone)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(Job{std::move(abFrame), nWidth, nHeight, strPath, nQuality, std::move(fnDone)});
        if (!m_thread.joinable())
            m_thread = std::thread(&CSnapshotWriter::ThreadMain, this);
    }
    m_cond.notify_one();
}

void CSnapshotWriter::ThreadMain()
{
    Platform::SetThreadName("kvs-snapshot");
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;)
    {
        m_cond.wait(lock, [this] { return m_bQuit || !m_jobs.empty(); });
        if (m_jobs.empty())
            return; // quitting with nothing left to write
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        const bool bWritten = Write(job.abFrame.data(), job.nWidth, job.nHeight, job.strPath, job.nQuality);
        // Unlocked: the receiver may queue the next snapshot from here.
        if (job.fnDone)
            job.fnDone(bWritten);
        lock.lock();
    }
}

bool CSnapshotWriter::Write(const uint8_t* pFrame, int nWidth, int nHeight, const QString& strPath, int nQuality)
{
    QImage image(nWidth, nHeight, QImage::Format_RGB32);
    KVMedia::SwsContextPtr pSws(sws_getContext(nWidth, nHeight, AV_PIX_FMT_YUYV422, nWidth, nHeight, AV_PIX_FMT_RGB32,
                                               SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (image.isNull() || !pSws)
    {
        Log::Error("mixer", QStringLiteral("cannot convert a %1x%2 frame for a snapshot").arg(nWidth).arg(nHeight));
        return false;
    }
    const uint8_t* apSrc[1] = {pFrame};
    const int anSrcStride[1] = {2 * nWidth};
    uint8_t* apDst[1] = {image.bits()};
    const int anDstStride[1] = {int(image.bytesPerLine())};
    sws_scale(pSws.get(), apSrc, anSrcStride, 0, nHeight, apDst, anDstStride);

    QSaveFile file(strPath);
    if (!file.open(QIODevice::WriteOnly))
    {
        Log::Error("mixer", QStringLiteral("cannot create snapshot %1: %2").arg(strPath, file.errorString()));
        return false;
    }
    QImageWriter writer(&file, "jpeg");
    writer.setQuality(nQuality);
    if (!writer.write(image))
    {
        Log::Error("mixer", QStringLiteral("cannot write snapshot %1: %2").arg(strPath, writer.errorString()));
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
    {
        Log::Error("mixer", QStringLiteral("cannot finish snapshot %1: %2").arg(strPath, file.errorString()));
        return false;
    }
    return true;
}
