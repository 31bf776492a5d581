#include "ui/windows/CRenderWidget.h"

#include "ui/windows/CRepaintBatch.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

CRenderWidget::CRenderWidget(QWidget* pParent)
    : QWidget(pParent)
    , m_target(this)
{
    // A native window of its own keeps the id stable across layout changes.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    Register();
}

CRenderWidget::~CRenderWidget()
{
    // After this returns no media thread touches the target any more.
    Unregister();
}

void CRenderWidget::Register()
{
    m_hWnd = KVS_WINDOW(winId());
    std::unique_ptr<CDirectPresenter> pPresenter = CDirectPresenter::Create(uint32_t(m_hWnd));
    if (pPresenter)
        pPresenter->SetPacemaker(m_bPacemaker);
    m_target.SetDirectPresenter(std::move(pPresenter));
    UpdateGeometry();
    WatchScreen();
    KVS_RegisterRenderTarget(m_hWnd, &m_target);
}

void CRenderWidget::Unregister()
{
    if (m_hWnd != 0)
        KVS_UnregisterRenderTarget(m_hWnd);
    m_target.SetDirectPresenter(nullptr);
    m_hWnd = 0;
}

QString CRenderWidget::MakeScreenKey(const QScreen* pScreen)
{
    if (!pScreen)
        return QString();
    const QRect rc = pScreen->geometry();
    return QStringLiteral("%1 %2,%3 %4x%5")
        .arg(pScreen->name())
        .arg(rc.x())
        .arg(rc.y())
        .arg(rc.width())
        .arg(rc.height());
}

void CRenderWidget::UpdateGeometry()
{
    const KVS_RECT rcClient{0, 0, width(), height()};
    const QWindow* pWindow = windowHandle();
    const QScreen* pScreen = pWindow ? pWindow->screen() : screen();
    m_target.SetGeometry(rcClient, MakeScreenKey(pScreen));
    UpdateDirectArea();
}

void CRenderWidget::SetDirectPacemaker(bool bPacemaker)
{
    m_bPacemaker = bPacemaker;
    m_target.SetPacemaker(bPacemaker);
}

void CRenderWidget::UpdateDirectArea()
{
    // Pictures put for the old area go before the toolkit paints the new.
    CDirectPresenter::SendPending();
    // Pictures are made in the widget's own units; on a scaled screen the
    // display's pixels are not those, and only the toolkit can scale them.
    m_target.SetDirectArea(devicePixelRatioF() == 1.0 ? DirectArea() : QRect());
}

void CRenderWidget::WatchScreen()
{
    QWindow* pWindow = windowHandle();
    if (pWindow == m_pWatchedWindow)
        return;
    if (m_pWatchedWindow)
        disconnect(m_pWatchedWindow, nullptr, this, nullptr);
    m_pWatchedWindow = pWindow;
    if (pWindow)
        connect(pWindow, &QWindow::screenChanged, this, [this] { UpdateGeometry(); });
}

bool CRenderWidget::HasPicture() const
{
    return m_target.HasPicture();
}

void CRenderWidget::ClearPicture()
{
    m_target.ClearPicture();
    update();
}

bool CRenderWidget::event(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::WinIdChange)
    {
        // Re-parenting to another top-level window gives a new native window.
        const KVS_WINDOW hNew = KVS_WINDOW(internalWinId());
        if (hNew != m_hWnd && hNew != 0)
        {
            Unregister();
            Register();
        }
    }
    return QWidget::event(pEvent);
}

void CRenderWidget::paintEvent(QPaintEvent* pEvent)
{
    QPainter painter(this);
    // Only around the picture: the picture covers the rest, and filling
    // under it too would touch every pixel twice for each frame.
    const QRect rcPicture = m_target.PictureRect();
    if (rcPicture.isEmpty() || !rcPicture.contains(pEvent->rect()))
    {
        if (!rcPicture.isEmpty())
            painter.setClipRegion(QRegion(rect()).subtracted(QRegion(rcPicture)));
        PaintBackground(painter);
        painter.setClipping(false);
    }
    m_target.Paint(painter);
}

void CRenderWidget::OnPictureArrived()
{
    CRepaintBatch::Instance()->Add(this);
}

void CRenderWidget::RepaintPicture()
{
    // The bars beside an unchanged picture are left as they are: filling
    // them at every frame cost as much as drawing the picture.
    if (m_target.TakeFrameChanged())
        update();
    else
        update(m_target.PictureRect());
}

void CRenderWidget::PaintBackground(QPainter& painter)
{
    painter.fillRect(rect(), Qt::black);
}

void CRenderWidget::resizeEvent(QResizeEvent* pEvent)
{
    UpdateGeometry();
    QWidget::resizeEvent(pEvent);
}

void CRenderWidget::moveEvent(QMoveEvent* pEvent)
{
    UpdateGeometry();
    QWidget::moveEvent(pEvent);
}

void CRenderWidget::showEvent(QShowEvent* pEvent)
{
    WatchScreen();
    UpdateGeometry();
    // A minimised window stays visible to Qt; its restore sends this again.
    m_target.SetShown(isVisible() && !window()->isMinimized());
    QWidget::showEvent(pEvent);
}

void CRenderWidget::hideEvent(QHideEvent* pEvent)
{
    // Also sent, spontaneously, when the window is minimised.
    m_target.SetShown(false);
    QWidget::hideEvent(pEvent);
}

KVS_RECT CRenderWidget::CTarget::GetClientRect() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rcClient;
}

QString CRenderWidget::CTarget::GetScreenKey() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strScreenKey;
}

void CRenderWidget::CTarget::PresentFrame(const QImage& image, const KVS_RECT& rcTarget)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const QRect rcOld = m_image.isNull() ? QRect() : PictureRectLocked();
        m_image = image;
        m_rcTarget = rcTarget;
        const QRect rcPicture = PictureRectLocked();
        if (rcPicture != rcOld)
            m_bFrameChanged = true;
        // A picture that moved needs the bars around it painted, which only
        // the user-interface thread does; until it has, pictures go there.
        if (m_pDirect && !m_bFrameChanged && rcPicture.size() == m_image.size() &&
            m_pDirect->Present(m_image, rcPicture.topLeft(), m_rcDirectArea))
            return;
    }
    if (!m_bUpdatePending.exchange(true))
    {
        // The registry keeps the widget alive until this returns; a repaint
        // still queued when it dies is dropped with it. Invoked by name, so
        // that the queued call shares nothing with this thread once posted.
        QMetaObject::invokeMethod(m_pOwner, "OnPictureArrived", Qt::QueuedConnection);
    }
}

void CRenderWidget::CTarget::SetGeometry(const KVS_RECT& rcClient, const QString& strScreenKey)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcClient = rcClient;
    m_strScreenKey = strScreenKey;
}

void CRenderWidget::CTarget::SetDirectPresenter(std::unique_ptr<CDirectPresenter> pPresenter)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pDirect = std::move(pPresenter);
}

void CRenderWidget::CTarget::SetPacemaker(bool bPacemaker)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pDirect)
        m_pDirect->SetPacemaker(bPacemaker);
}

void CRenderWidget::CTarget::SetDirectArea(const QRect& rcArea)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rcDirectArea = rcArea;
}

void CRenderWidget::CTarget::Paint(QPainter& painter)
{
    m_bUpdatePending = false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_image.isNull())
        return;
    painter.drawImage(PictureRectLocked(), m_image);
}

QRect CRenderWidget::CTarget::PictureRect() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_image.isNull() ? QRect() : PictureRectLocked();
}

QRect CRenderWidget::CTarget::PictureRectLocked() const
{
    const QRect rcTarget(m_rcTarget.nLeft, m_rcTarget.nTop, m_rcTarget.nRight - m_rcTarget.nLeft,
                         m_rcTarget.nBottom - m_rcTarget.nTop);
    // A target that fills its rectangle stretches like its renderers do.
    return m_bKeepAspect ? FitRect(rcTarget, m_image.size()) : rcTarget;
}

QRect CRenderWidget::FitRect(const QRect& rcTarget, const QSize& sizePicture)
{
    // Renderers hand over pictures already fitted; one that is not is still
    // shown undistorted, with the widget's black around it.
    if (rcTarget.isEmpty() || sizePicture.isEmpty())
        return rcTarget;
    QRect rcFit(QPoint(0, 0), sizePicture.scaled(rcTarget.size(), Qt::KeepAspectRatio));
    rcFit.moveCenter(rcTarget.center());
    return rcFit;
}

bool CRenderWidget::CTarget::HasPicture() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_image.isNull();
}

void CRenderWidget::CTarget::ClearPicture()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_image = QImage();
    m_bFrameChanged = true;
}
