#include "ui/windows/CRepaintBatch.h"

#include "ui/windows/CRenderWidget.h"

#include <QCoreApplication>

CRepaintBatch* CRepaintBatch::Instance()
{
    // A child of the application, so that it goes with it rather than after
    // it, when its timer could no longer be stopped.
    static QPointer<CRepaintBatch> s_pBatch;
    if (!s_pBatch)
        s_pBatch = new CRepaintBatch(QCoreApplication::instance());
    return s_pBatch;
}

CRepaintBatch::CRepaintBatch(QObject* pParent)
    : QObject(pParent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(BATCH_MS);
    connect(&m_timer, &QTimer::timeout, this, &CRepaintBatch::OnTimeout);
}

void CRepaintBatch::Add(CRenderWidget* pWidget)
{
    for (const QPointer<CRenderWidget>& pPending : m_vecPending)
        if (pPending == pWidget)
            return;
    m_vecPending.append(pWidget);
    if (!m_timer.isActive())
        m_timer.start();
}

void CRepaintBatch::OnTimeout()
{
    // Taken first: a widget may queue its next picture while this runs.
    const QVector<QPointer<CRenderWidget>> vecDue = std::move(m_vecPending);
    m_vecPending.clear();
    for (const QPointer<CRenderWidget>& pWidget : vecDue)
        if (pWidget)
            pWidget->RepaintPicture();
}
