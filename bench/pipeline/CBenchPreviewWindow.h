// A plain window that shows what a renderer of the media layer hands it, so
// that the real-time run pays for previews the way the program does: scaled
// pictures painted on the display server.
#pragma once

#include "media/KVRenderTarget.h"

#include <QImage>
#include <QRasterWindow>

#include <mutex>

class CBenchPreviewWindow : public QRasterWindow, public IKVRenderTarget
{
public:
    CBenchPreviewWindow(int nX, int nY, int nWidth, int nHeight);
    ~CBenchPreviewWindow() override;

    KVS_WINDOW GetWindowId() const { return m_hWnd; }
    int GetPresentedFrames() const;

    KVS_RECT GetClientRect() const override;
    QString GetScreenKey() const override;
    void PresentFrame(const QImage& image, const KVS_RECT& rcTarget) override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    KVS_WINDOW m_hWnd = 0;
    // The renderer calls in on its own thread.
    mutable std::mutex m_mutex;
    KVS_RECT m_rcClient;
    QString m_strScreenKey;
    QImage m_imageLast;
    KVS_RECT m_rcLast{};
    int m_nPresented = 0;
};
