#include "CBenchPreviewWindow.h"

#include <QPainter>
#include <QScreen>

CBenchPreviewWindow::CBenchPreviewWindow(int nX, int nY, int nWidth, int nHeight)
{
    setGeometry(nX, nY, nWidth, nHeight);
    create();
    show();
    m_hWnd = KVS_WINDOW(winId());
    m_rcClient = KVS_RECT{0, 0, nWidth, nHeight};
    const QScreen* pScreen = screen();
    if (pScreen)
    {
        const QRect rc = pScreen->geometry();
        m_strScreenKey = QStringLiteral("%1 %2,%3 %4x%5")
                             .arg(pScreen->name())
                             .arg(rc.x())
                             .arg(rc.y())
                             .arg(rc.width())
                             .arg(rc.height());
    }
    KVS_RegisterRenderTarget(m_hWnd, this);
}

CBenchPreviewWindow::~CBenchPreviewWindow()
{
    // After this no renderer can reach the window any more.
    KVS_UnregisterRenderTarget(m_hWnd);
}

int CBenchPreviewWindow::GetPresentedFrames() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nPresented;
}

KVS_RECT CBenchPreviewWindow::GetClientRect() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rcClient;
}

QString CBenchPreviewWindow::GetScreenKey() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strScreenKey;
}

void CBenchPreviewWindow::PresentFrame(const QImage& image, const KVS_RECT& rcTarget)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_imageLast = image;
        m_rcLast = rcTarget;
        ++m_nPresented;
    }
    // Queued with the window as context: dropped if the window goes first.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void CBenchPreviewWindow::paintEvent(QPaintEvent*)
{
    QImage image;
    KVS_RECT rc;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        image = m_imageLast;
        rc = m_rcLast;
    }
    QPainter painter(this);
    painter.fillRect(QRect(QPoint(0, 0), size()), Qt::black);
    if (!image.isNull())
        painter.drawImage(QRect(rc.nLeft, rc.nTop, rc.nRight - rc.nLeft, rc.nBottom - rc.nTop), image);
}
