#include "engine/CLogoLoader.h"

#include "engine/KVOverlayGeometry.h"
#include "engine/KVUtf16.h"
#include "media/KVMixer.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <QImageIOHandler>
#include <QImageReader>
#include <QMetaObject>
#include <QObject>

#include <algorithm>

CLogoLoader::~CLogoLoader()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_pPending.reset();
    }
    m_cond.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    // Answers still queued for the context go with it.
    m_pContext.reset();
}

void CLogoLoader::Request(const SRequest& request, FnDone fnDone)
{
    std::unique_ptr<SJob> pJob(new SJob{request, std::move(fnDone)});
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
        {
            m_pContext.reset(new QObject());
            m_thread = std::thread(&CLogoLoader::ThreadMain, this);
        }
        m_pPending = std::move(pJob);
    }
    m_cond.notify_all();
}

void CLogoLoader::CancelPending()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_pPending.reset();
    m_cond.wait(lock, [this] { return !m_bBusy; });
}

void CLogoLoader::ThreadMain()
{
    Platform::SetThreadName("vistrel-logo");
    for (;;)
    {
        std::unique_ptr<SJob> pJob;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cond.wait(lock, [this] { return m_bStop || m_pPending; });
            if (m_bStop)
                return;
            pJob = std::move(m_pPending);
            m_bBusy = true;
        }
        const SResult result = Load(pJob->request);
        FnDone fnDone = std::move(pJob->fnDone);
        // The context outlives this thread, which is joined before it goes.
        QMetaObject::invokeMethod(
            m_pContext.get(), [fnDone, result]() { fnDone(result); }, Qt::QueuedConnection);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bBusy = false;
        }
        m_cond.notify_all();
    }
}

QSize CLogoLoader::DeclaredSize(const QString& strPath)
{
    QImageReader reader(strPath);
    QSize size = reader.size();
    if (!size.isValid())
        return QSize();
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return size;
}

CLogoLoader::SResult CLogoLoader::Load(const SRequest& request)
{
    SResult result;
    result.nId = request.nId;
    result.hMixer = request.hMixer;
    result.strPath = request.strPath;
    result.nCorner = request.nCorner;

    // Only the header is read here: a file declaring a huge picture costs
    // nothing before it is refused.
    const QSize sizeNatural = DeclaredSize(request.strPath);
    if (!sizeNatural.isValid() || sizeNatural.isEmpty())
    {
        Log::Warning("engine", QStringLiteral("logo %1 declares no size").arg(request.strPath));
        result.nResult = LOGO_UNREADABLE;
        return result;
    }
    int nWidth = 0;
    int nHeight = 0;
    LogoDrawSize(request.nSize, sizeNatural.width(), sizeNatural.height(), nWidth, nHeight);
    if (std::max(sizeNatural.width(), sizeNatural.height()) > MAX_LOGO_SIDE ||
        std::max(nWidth, nHeight) > MAX_LOGO_SIDE)
    {
        Log::Warning("engine", QStringLiteral("logo %1 of %2x%3 refused")
                                   .arg(request.strPath)
                                   .arg(sizeNatural.width())
                                   .arg(sizeNatural.height()));
        result.nResult = LOGO_TOO_LARGE;
        return result;
    }
    // Half of a one-pixel logo is still a pixel.
    nWidth = std::max(nWidth, 1);
    nHeight = std::max(nHeight, 1);

    // The mixer decodes straight to the drawn size; 0 x 0 keeps the natural one.
    const bool bNatural = QSize(nWidth, nHeight) == sizeNatural;
    result.hImage =
        KVS_VideoMixerAddImage(request.hMixer, KVUtf16(request.strPath), bNatural ? 0 : nWidth, bNatural ? 0 : nHeight);
    if (!result.hImage)
    {
        Log::Warning("engine", QStringLiteral("logo %1 could not be decoded").arg(request.strPath));
        result.nResult = LOGO_UNREADABLE;
        return result;
    }
    result.nResult = LOGO_SHOWN;
    result.nWidth = nWidth;
    result.nHeight = nHeight;
    return result;
}
