#include "ui/windows/CDemoWnd.h"

#include "ui/projection/BackgroundImage.h"
#include "ui/projection/ProjectionGeometry.h"

#include <QPalette>
#include <QPixmap>

CDemoWnd::CDemoWnd(QWidget* pParent)
    : QWidget(pParent)
{
    setFixedSize(Projection::PREVIEW_WIDTH, Projection::PREVIEW_HEIGHT);
    ShowGrey();
}

void CDemoWnd::SetImage(const QString& strPath)
{
    const int nGeneration = ++m_nLoadGeneration;
    m_strImageFile = Background::Resolve(strPath);
    m_bImageReady = false;
    ShowGrey();
    if (m_strImageFile.isEmpty())
        return;
    Background::LoadScaledAsync(m_strImageFile, size(), this, [this, nGeneration](const QImage& image) {
        if (nGeneration != m_nLoadGeneration || image.isNull())
            return;
        QPalette palette = this->palette();
        palette.setBrush(backgroundRole(), QBrush(image));
        setPalette(palette);
        setAutoFillBackground(true);
        m_bImageReady = true;
    });
}

void CDemoWnd::ShowGrey()
{
    QPalette palette = this->palette();
    palette.setBrush(backgroundRole(), QBrush());
    palette.setColor(QPalette::Window, QColor(204, 204, 204, 255));
    setPalette(palette);
    setAutoFillBackground(true);
}
