// The program's top-level window.
#pragma once

#include <QMainWindow>

class CChannelPreview;

class CVistrel : public QMainWindow
{
    Q_OBJECT

public:
    explicit CVistrel(QWidget* pParent = nullptr);
    ~CVistrel() override;

signals:
    // Emitted from any thread; the connection to OnShowUp is queued.
    void signalShowUp();

public slots:
    void OnShowUp();

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void moveEvent(QMoveEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

private:
    void OpenChannels();
    void UpdateRenderers();

    enum { CHANNEL_COUNT = 6 };
    CChannelPreview* m_apPreview[CHANNEL_COUNT] = {};
};
