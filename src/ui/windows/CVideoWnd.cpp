#include "ui/windows/CVideoWnd.h"

#include "common/TallyFile.h"
#include "engine/CKVCapture.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

CVideoWnd::CVideoWnd(int nChannel, QWidget* pParent)
    : CRenderWidget(pParent)
    , m_nChannel(nChannel)
    , m_bPlaceholder(nChannel < OUTPUT_CHANNEL)
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::blue);
    setPalette(palette);
    // Keys only matter in full screen, where the window is activated and
    // focused; clicks inside the tab should not steal the keyboard otherwise.
    setFocusPolicy(Qt::ClickFocus);
    // The mixer draws the output at every frame; the channels' pictures go
    // to the display with it.
    SetDirectPacemaker(IsOutputWindow());
}

QSize CVideoWnd::sizeHint() const
{
    return QSize(120, 90);
}

void CVideoWnd::SetPlaceholder(bool bPlaceholder)
{
    m_bPlaceholder = bPlaceholder;
    // A picture from an earlier device must not come back when the channel
    // is opened again.
    if (bPlaceholder)
        ClearPicture();
    UpdateDirectArea();
    update();
}

void CVideoWnd::SetCallback(IVideoWndCallback* pCallback, uint32_t nValue)
{
    m_pCallback = pCallback;
    m_nValue = nValue;
}

bool CVideoWnd::IsDeviceBusy() const
{
    if (IsOutputWindow())
        return false;
    const CKVChannel* pChannel = g_capture.GetChannel(m_nChannel);
    // A device that only refused a size is not held by anyone else.
    return pChannel && pChannel->IsDeviceBusy();
}

void CVideoWnd::ToggleFullScreen()
{
    if (isFullScreen())
    {
        LeaveFullScreen();
        return;
    }
    // The native window survives the change of flags, so the renderers keep
    // drawing into it.
    setWindowFlags(Qt::Dialog);
    showFullScreen();
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void CVideoWnd::LeaveFullScreen()
{
    if (!isFullScreen())
        return;
    setWindowFlags(Qt::SubWindow);
    showNormal();
}

void CVideoWnd::UpdateRenderer()
{
    if (IsOutputWindow())
    {
        g_capture.UpdatePreviewRenderer();
        return;
    }
    if (CKVChannel* pChannel = g_capture.GetChannel(m_nChannel))
        pChannel->UpdateRenderer();
}

void CVideoWnd::paintEvent(QPaintEvent* pEvent)
{
    if (IsDeviceBusy())
    {
        QPainter painter(this);
        PaintDeviceBusy(painter);
        return;
    }
    if (m_bPlaceholder)
    {
        // The render widget paints opaquely, so Qt fills no background for it.
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        if (!m_strPlaceholderText.isEmpty())
            PaintCentredText(painter, m_strPlaceholderText);
        return;
    }
    // The widget keeps the last picture itself. The renderer is only asked to
    // hand it over again when the widget has none; asking on every paint
    // would make every paint schedule the next one.
    if (!HasPicture())
    {
        if (IsOutputWindow())
            g_capture.RepaintPreview();
        else if (CKVChannel* pChannel = g_capture.GetChannel(m_nChannel))
            pChannel->Repaint();
    }
    CRenderWidget::paintEvent(pEvent);
    PaintTally();
}

void CVideoWnd::SetTally(int eTally)
{
    if (eTally == m_eTally)
        return;
    m_eTally = eTally;
    UpdateDirectArea();
    update();
}

QRect CVideoWnd::DirectArea() const
{
    if (m_bPlaceholder)
        return QRect();
    // Pictures put straight on the display stay inside the tally's frame.
    return m_eTally == Tally::STATE_OFF ? rect()
                                        : rect().adjusted(TALLY_WIDTH, TALLY_WIDTH, -TALLY_WIDTH, -TALLY_WIDTH);
}

void CVideoWnd::PaintTally()
{
    if (m_eTally == Tally::STATE_OFF)
        return;
    QPainter painter(this);
    const int nWidth = TALLY_WIDTH;
    QPen pen(m_eTally == Tally::STATE_PROGRAM ? QColor(220, 0, 0) : QColor(0, 190, 0), nWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(nWidth / 2.0, nWidth / 2.0, -nWidth / 2.0, -nWidth / 2.0));
}

void CVideoWnd::PaintDeviceBusy(QPainter& painter)
{
    painter.fillRect(rect(), Qt::black);
    PaintCentredText(painter, tr("Device being used"));
}

void CVideoWnd::PaintCentredText(QPainter& painter, const QString& strText)
{
    QFont font(QStringLiteral("Arial"), 10);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, strText);
}

void CVideoWnd::SetPlaceholderText(const QString& strText)
{
    if (strText == m_strPlaceholderText)
        return;
    m_strPlaceholderText = strText;
    update();
}

void CVideoWnd::resizeEvent(QResizeEvent* pEvent)
{
    CRenderWidget::resizeEvent(pEvent);
    UpdateRenderer();
}

void CVideoWnd::moveEvent(QMoveEvent* pEvent)
{
    CRenderWidget::moveEvent(pEvent);
    UpdateRenderer();
}

void CVideoWnd::mouseReleaseEvent(QMouseEvent* pEvent)
{
    if (m_pCallback)
        m_pCallback->OnVideoWndClicked(m_nValue);
    CRenderWidget::mouseReleaseEvent(pEvent);
}

void CVideoWnd::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    if (m_pCallback)
        m_pCallback->OnVideoWndDoubleClicked(m_nValue);
    pEvent->accept();
    ToggleFullScreen();
}

void CVideoWnd::keyPressEvent(QKeyEvent* pEvent)
{
    if (isFullScreen())
    {
        const int nKey = pEvent->key();
        const bool bCtrlF = nKey == Qt::Key_F && (pEvent->modifiers() & Qt::ControlModifier);
        if (bCtrlF || nKey == Qt::Key_Escape || nKey == Qt::Key_Return || nKey == Qt::Key_Enter)
        {
            pEvent->accept();
            LeaveFullScreen();
            return;
        }
    }
    // Everything else, Alt+F4 included, goes on to the parent.
    CRenderWidget::keyPressEvent(pEvent);
}

void CVideoWnd::closeEvent(QCloseEvent* pEvent)
{
    // A full-screen preview is left with a key or a double click, never closed.
    if (isFullScreen())
    {
        pEvent->ignore();
        return;
    }
    CRenderWidget::closeEvent(pEvent);
}
