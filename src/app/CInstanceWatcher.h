// Keeps the program to one running copy per user and lets a second launch
// bring the running window to the front.
//
// The first copy takes a lock file in the runtime folder and listens on a
// local socket beside it from the very start, so that a launch that comes
// while the first copy is still starting waits in the socket's queue. Once
// Start is called, the watcher thread hands every queued and later request to
// the show-up function. Stop ends the thread; when a request and the stop
// arrive together, the stop wins.
#pragma once

#include <QLockFile>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class CInstanceWatcher : public QThread
{
public:
    CInstanceWatcher();
    ~CInstanceWatcher() override;

    // True for the first copy: the lock is held and requests queue from now
    // on. False when another copy holds the lock.
    bool Acquire();

    // Second copy: asks the running one to come to the front. Retries for a
    // few seconds while the first copy has its lock but no socket yet.
    static bool RequestShowUp();

    // Starts delivering requests to fnShowUp, which runs on the watcher thread.
    void Start(std::function<void()> fnShowUp);

    // Ends the watcher thread and waits for it. Safe to call more than once.
    void Stop();

    // Runtime folder of this user, or the temporary folder without one.
    static QString GetRuntimeDir();
    static QString GetServerName();

protected:
    void run() override;

private:
    void Watch();
    void WaitForStartOrExit();

    std::unique_ptr<QLockFile> m_pLock;
    std::atomic<bool> m_bListening{false};
    std::atomic<bool> m_bExit{false};
    // Standard primitives rather than Qt's, so that thread checkers can
    // follow the hand-over between the two threads.
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_bReady = false;            // the socket is set up (or failed); under m_mutex
    bool m_bStarted = false;          // under m_mutex
    std::function<void()> m_fnShowUp; // set under m_mutex before m_bStarted
};
