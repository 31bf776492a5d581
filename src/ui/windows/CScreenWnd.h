// The full-screen window of one projection monitor: the background image,
// with the projection renderer's picture drawn over it.
#pragma once

#include "ui/windows/CRenderWidget.h"

#include <QImage>

class QScreen;

class CScreenWnd : public CRenderWidget
{
    Q_OBJECT

public:
    // Covers pScreen exactly; hidden until ShowOnScreen.
    explicit CScreenWnd(QScreen* pScreen);
    ~CScreenWnd() override;

    // Shows the resolved background for the stored path strPath ("0" for
    // cleared), light grey without one. The image is decoded off this
    // thread; grey shows until it is ready.
    void SetBackground(const QString& strPath);
    void ShowOnScreen();
    // Covers pScreen exactly again, after it moved or changed its size.
    void PlaceOnScreen(QScreen* pScreen);

    // The file being shown (empty for grey) and whether its picture is
    // ready to paint.
    QString GetBackgroundFile() const { return m_strBackgroundFile; }
    bool IsBackgroundReady() const { return !m_imageBackground.isNull(); }

protected:
    void PaintBackground(QPainter& painter) override;
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void LoadBackground();

    QString m_strBackgroundFile;
    QImage m_imageBackground;
    // Only the reply to the latest request is shown.
    int m_nLoadGeneration = 0;
};
