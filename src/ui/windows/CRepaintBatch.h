// Gathers the repaints of render widgets whose pictures arrive within a few
// milliseconds of each other into one pass of the window system. Each camera
// delivers on its own clock, and every separate repaint costs the user-
// interface thread a round of region bookkeeping and a flush to the display
// server: seven previews repainted one by one took a quarter more of its
// time than in batches. Ten milliseconds of delay is not seen.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

class CRenderWidget;

class CRepaintBatch : public QObject
{
    Q_OBJECT

public:
    // The batch of the user-interface thread, owned by the application.
    static CRepaintBatch* Instance();

    // Repaints pWidget's new picture together with the others of the batch.
    void Add(CRenderWidget* pWidget);

private:
    explicit CRepaintBatch(QObject* pParent);
    void OnTimeout();

    // Well under a frame also at 60 fps.
    static const int BATCH_MS = 10;

    QTimer m_timer;
    // A widget may be destroyed while it waits.
    QVector<QPointer<CRenderWidget>> m_vecPending;
};
