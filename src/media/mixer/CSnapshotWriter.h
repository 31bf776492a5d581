// Writes composed frames as JPEG files on a worker thread of its own, so the
// mixer thread never waits for conversion, encoding or the disk.
#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CSnapshotWriter
{
public:
    CSnapshotWriter() = default;
    ~CSnapshotWriter(); // writes what is queued, then ends the thread
    CSnapshotWriter(const CSnapshotWriter&) = delete;
    CSnapshotWriter& operator=(const CSnapshotWriter&) = delete;

    // Told on the writer's thread whether the file was written, once it is
    // complete under its name or has failed.
    typedef std::function<void(bool bWritten)> FnDone;

    // Takes the packed YUYV frame (stride 2 x nWidth) over.
    void Queue(std::vector<uint8_t>&& abFrame, int nWidth, int nHeight, const QString& strPath, int nQuality,
               FnDone fnDone = nullptr);

    // Converts and writes at once on the calling thread; true when the file
    // was written. The file is written under a temporary name and renamed, so
    // it is complete whenever it exists.
    static bool Write(const uint8_t* pFrame, int nWidth, int nHeight, const QString& strPath, int nQuality);

private:
    struct Job
    {
        std::vector<uint8_t> abFrame;
        int nWidth;
        int nHeight;
        QString strPath;
        int nQuality;
        FnDone fnDone;
    };

    void ThreadMain();

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::deque<Job> m_jobs;
    bool m_bQuit = false;
    std::thread m_thread;
};
