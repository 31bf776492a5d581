// The Screen tab's small picture of a projection monitor: the background
// image, with the child widget that marks where the picture goes.
#pragma once

#include <QImage>
#include <QWidget>

class CDemoWnd : public QWidget
{
    Q_OBJECT

public:
    explicit CDemoWnd(QWidget* pParent);

    // The same image the projection windows show for the stored path
    // strPath, stretched over the widget; grey without one. Decoded off
    // this thread; grey shows until it is ready.
    void SetImage(const QString& strPath);

    QString GetImageFile() const { return m_strImageFile; }
    bool IsImageReady() const { return m_bImageReady; }

private:
    void ShowGrey();

    QString m_strImageFile;
    bool m_bImageReady = false;
    int m_nLoadGeneration = 0;
};
