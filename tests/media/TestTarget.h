#pragma once

// A render target that keeps what it was given to show, for the renderer's
// tests.
#include "media/KVRenderTarget.h"

#include <QImage>
#include <QString>

#include <atomic>
#include <mutex>
#include <utility>

class CTestTarget : public IKVRenderTarget
{
public:
    explicit CTestTarget(KVS_RECT rcClient, QString strScreen = QStringLiteral("screen-A 0,0 1920x1080"))
        : m_rcClient(rcClient)
        , m_strScreen(std::move(strScreen))
    {
    }

    KVS_RECT GetClientRect() const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_rcClient;
    }
    QString GetScreenKey() const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_strScreen;
    }
    bool KeepsAspectRatio() const override { return m_bKeepAspect; }
    bool IsShown() const override { return m_bShown.load(); }
    void PresentFrame(const QImage& image, const KVS_RECT& rcTarget) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nPresented;
        m_imageLast = image.copy();
        m_rcLast = rcTarget;
    }

    // Set before the target is registered.
    void SetKeepAspectRatio(bool bKeep) { m_bKeepAspect = bKeep; }
    void SetShown(bool bShown) { m_bShown = bShown; }
    void SetClientRect(KVS_RECT rc)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_rcClient = rc;
    }
    int Presented() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nPresented;
    }
    QImage LastImage() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_imageLast;
    }
    KVS_RECT LastRect() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_rcLast;
    }

private:
    mutable std::mutex m_mutex;
    KVS_RECT m_rcClient;
    QString m_strScreen;
    int m_nPresented = 0;
    bool m_bKeepAspect = true;
    std::atomic<bool> m_bShown{true};
    QImage m_imageLast;
    KVS_RECT m_rcLast{0, 0, 0, 0};
};
