#include "ui/windows/CScreenWnd.h"

#include "ui/projection/BackgroundImage.h"

#include <QScreen>
#include <QWindow>

CScreenWnd::CScreenWnd(QScreen* pScreen)
    : CRenderWidget(nullptr)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setObjectName(QStringLiteral("mainWindow"));
    // The user shapes the picture's rectangle with the Screen tab's sliders;
    // the picture is stretched over it.
    SetKeepAspectRatio(false);
    // Placed before it is ever mapped, so that it never flashes up over the
    // operator's window on the first monitor.
    PlaceOnScreen(pScreen);
}

CScreenWnd::~CScreenWnd() = default;

void CScreenWnd::ShowOnScreen()
{
    showFullScreen();
}

void CScreenWnd::PlaceOnScreen(QScreen* pScreen)
{
    if (!pScreen)
        return;
    if (QWindow* pWindow = windowHandle())
        pWindow->setScreen(pScreen);
    if (geometry() != pScreen->geometry())
        setGeometry(pScreen->geometry());
}

void CScreenWnd::SetBackground(const QString& strPath)
{
    m_strBackgroundFile = Background::Resolve(strPath);
    LoadBackground();
}

void CScreenWnd::LoadBackground()
{
    const int nGeneration = ++m_nLoadGeneration;
    m_imageBackground = QImage();
    update();
    if (m_strBackgroundFile.isEmpty() || size().isEmpty())
        return;
    Background::LoadScaledAsync(m_strBackgroundFile, size(), this, [this, nGeneration](const QImage& image) {
        if (nGeneration != m_nLoadGeneration)
            return;
        m_imageBackground = image;
        update();
    });
}

void CScreenWnd::PaintBackground(QPainter& painter)
{
    if (m_imageBackground.isNull())
        painter.fillRect(rect(), QColor(Qt::lightGray));
    else
        painter.drawImage(rect(), m_imageBackground);
}

void CScreenWnd::resizeEvent(QResizeEvent* pEvent)
{
    CRenderWidget::resizeEvent(pEvent);
    // The picture is stretched over the whole window: a new size needs a
    // new decode (the old one is shown stretched meanwhile).
    if (!m_strBackgroundFile.isEmpty() && m_imageBackground.size() != size())
    {
        const QImage imageOld = m_imageBackground;
        LoadBackground();
        m_imageBackground = imageOld;
    }
}
