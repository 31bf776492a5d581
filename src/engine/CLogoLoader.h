// Reads logo files on a thread of its own and hands the mixer a picture that
// is already decoded at the size it will be drawn at. A large or slow file
// then holds up neither the user interface nor the mixer, and a file that
// declares an absurd size is refused before any of it is decoded.
#pragma once

#include "media/KVTypes.h"

#include <QSize>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

class CLogoLoader
{
public:
    enum
    {
        LOGO_SHOWN = 0,
        // Missing, not a picture, damaged, or of a format that does not
        // declare its size.
        LOGO_UNREADABLE,
        // Declared (or to be drawn) larger than MAX_LOGO_SIDE.
        LOGO_TOO_LARGE,
    };
    enum
    {
        // No logo needs more than this on a side: it is as large as the
        // largest output, twice over. Decoding a bigger one would only cost
        // memory and time for pixels that are never seen.
        MAX_LOGO_SIDE = 4096
    };

    struct SRequest
    {
        uint64_t nId = 0;
        KVS_HANDLE hMixer = nullptr;
        QString strPath;
        int nCorner = 0;
        int nSize = 50;
    };

    struct SResult
    {
        uint64_t nId = 0;
        KVS_HANDLE hMixer = nullptr;
        QString strPath;
        int nCorner = 0;
        int nResult = LOGO_UNREADABLE;
        // Added to the mixer but not yet placed; null unless LOGO_SHOWN.
        KVS_HANDLE hImage = nullptr;
        // As drawn.
        int nWidth = 0;
        int nHeight = 0;
    };

    // Runs on the thread that made the first request (the user-interface
    // thread), from its event loop.
    typedef std::function<void(const SResult&)> FnDone;

    CLogoLoader() = default;
    ~CLogoLoader();
    CLogoLoader(const CLogoLoader&) = delete;
    CLogoLoader& operator=(const CLogoLoader&) = delete;

    // Queues the request in place of any that has not started yet; the
    // replaced one gets no answer. fnDone hears how it ended.
    void Request(const SRequest& request, FnDone fnDone);
    // Drops the request that has not started yet, without an answer, and
    // waits for the one under way (a bounded decode): after this no request
    // touches the mixer any more, so that it can be destroyed.
    void CancelPending();

    // The work of one request, on the calling thread.
    static SResult Load(const SRequest& request);
    // The size a file declares, as it will be shown (turned by its EXIF
    // orientation), without decoding it; invalid when it declares none.
    static QSize DeclaredSize(const QString& strPath);

private:
    struct SJob
    {
        SRequest request;
        FnDone fnDone;
    };

    void ThreadMain();

    std::mutex m_mutex;
    std::condition_variable m_cond;
    std::unique_ptr<SJob> m_pPending;
    bool m_bStop = false;
    bool m_bBusy = false;
    std::thread m_thread;
    // Lives on the requesting thread; answers are posted to it, so that they
    // run there. Created with the thread, on the first request.
    std::unique_ptr<QObject> m_pContext;
};
