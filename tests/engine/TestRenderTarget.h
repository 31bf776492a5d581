// A window stand-in for renderer tests: registers itself for a made-up window
// id and records what the media layer hands it.
#pragma once

#include "media/KVRenderTarget.h"

#include <QSize>

#include <mutex>

class CTestRenderTarget : public IKVRenderTarget
{
public:
    CTestRenderTarget(KVS_WINDOW hWnd, int nWidth, int nHeight)
        : m_hWnd(hWnd)
    {
        m_rcClient = KVS_RECT{0, 0, nWidth, nHeight};
        KVS_RegisterRenderTarget(m_hWnd, this);
    }
    ~CTestRenderTarget() override { KVS_UnregisterRenderTarget(m_hWnd); }

    KVS_WINDOW GetWindow() const { return m_hWnd; }

    KVS_RECT GetClientRect() const override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_rcClient;
    }
    QString GetScreenKey() const override { return QStringLiteral("test-screen"); }
    void PresentFrame(const QImage& image, const KVS_RECT&) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nFrames;
        m_sizeLast = image.size();
    }

    int GetFrameCount() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_nFrames;
    }
    QSize GetLastSize() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sizeLast;
    }

private:
    const KVS_WINDOW m_hWnd;
    // A standard mutex, so that ThreadSanitizer sees the hand-over.
    mutable std::mutex m_mutex;
    KVS_RECT m_rcClient;
    int m_nFrames = 0;
    QSize m_sizeLast;
};
