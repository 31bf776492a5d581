#include "app/CInstanceWatcher.h"

#include "platform/Log.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace
{
const char* const s_szInstanceName = "Vistrel";
// How long a second copy keeps trying while the first has the lock but is
// not listening yet; that gap is a few instructions long.
const int s_nConnectAttempts = 50;
const int s_nConnectPauseMs = 100;
// Backstop for the wait: a stop always wakes the watcher through the socket,
// this only bounds the damage if that connection could not be made.
const int s_nWaitSliceMs = 1000;
}

CInstanceWatcher::CInstanceWatcher() = default;

CInstanceWatcher::~CInstanceWatcher()
{
    Stop();
}

QString CInstanceWatcher::GetRuntimeDir()
{
    QString strDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (strDir.isEmpty())
        strDir = QDir::tempPath();
    return strDir;
}

QString CInstanceWatcher::GetServerName()
{
    // A full path keeps the socket in this user's runtime folder, so that two
    // users on one machine each have their own copy.
    return GetRuntimeDir() + QLatin1Char('/') + QLatin1String(s_szInstanceName);
}

bool CInstanceWatcher::Acquire()
{
    m_pLock = std::make_unique<QLockFile>(GetRuntimeDir() + QLatin1Char('/') + QLatin1String(s_szInstanceName) +
                                          QLatin1String(".lock"));
    // A running copy may hold the lock for days; only a dead owner makes it stale.
    m_pLock->setStaleLockTime(0);
    if (!m_pLock->tryLock(0))
    {
        if (m_pLock->error() == QLockFile::LockFailedError)
        {
            m_pLock.reset();
            return false;
        }
        // The folder is not writable: better run unguarded than not at all.
        Log::Error("app", QStringLiteral("cannot create the instance lock in %1").arg(GetRuntimeDir()));
    }

    QThread::start();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return m_bReady; });
    return true;
}

bool CInstanceWatcher::RequestShowUp()
{
    const QString strName = GetServerName();
    for (int nAttempt = 0; nAttempt < s_nConnectAttempts; ++nAttempt)
    {
        QLocalSocket socket;
        socket.connectToServer(strName);
        // The connection itself is the request; it waits in the server's queue
        // until the running copy takes it.
        if (socket.waitForConnected(s_nConnectPauseMs * 10))
        {
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(s_nConnectPauseMs);
    }
    return false;
}

void CInstanceWatcher::Start(std::function<void()> fnShowUp)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fnShowUp = std::move(fnShowUp);
    m_bStarted = true;
    m_cond.notify_all();
}

void CInstanceWatcher::Stop()
{
    if (!isRunning())
    {
        wait();
        std::lock_guard<std::mutex> lock(m_mutex);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bExit = true;
        m_cond.notify_all();
    }
    if (m_bListening)
    {
        // Wake the thread from its wait on the socket.
        QLocalSocket socket;
        socket.connectToServer(GetServerName());
        if (socket.waitForConnected(s_nConnectPauseMs * 10))
            socket.disconnectFromServer();
    }
    wait();
    std::lock_guard<std::mutex> lock(m_mutex);
}

void CInstanceWatcher::WaitForStartOrExit()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cond.wait(lock, [this] { return m_bStarted || m_bExit; });
}

void CInstanceWatcher::run()
{
    Watch();
    // Everything the thread touched is handed back through the mutex, which
    // Stop takes after the thread has ended.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bReady = false;
}

void CInstanceWatcher::Watch()
{
    QLocalServer server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    const QString strName = GetServerName();
    // A copy that died leaves its socket file behind; we hold the lock, so
    // nobody else is using it.
    QLocalServer::removeServer(strName);
    m_bListening = server.listen(strName);
    if (!m_bListening)
        Log::Warning("app", QStringLiteral("cannot listen on %1: %2").arg(strName, server.errorString()));
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bReady = true;
        m_cond.notify_all();
    }

    // Until the window exists, requests stay queued in the socket.
    WaitForStartOrExit();
    if (!m_bListening)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cond.wait(lock, [this] { return bool(m_bExit); });
        return;
    }

    std::function<void()> fnShowUp;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        fnShowUp = m_fnShowUp;
    }
    for (;;)
    {
        if (m_bExit)
            return;
        server.waitForNewConnection(s_nWaitSliceMs);
        // Checked before the requests: shutdown wins over a show-up.
        if (m_bExit)
            return;
        while (QLocalSocket* pSocket = server.nextPendingConnection())
        {
            delete pSocket;
            if (fnShowUp)
                fnShowUp();
        }
    }
}
