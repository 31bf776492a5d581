#include "ui/tabs/CWheelGuard.h"

#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QChildEvent>
#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

namespace
{
// Controls whose value the wheel changes. A scroll bar is left alone: the
// wheel is what it is there for.
bool TakesWheelAsValue(const QObject* pObject)
{
    return qobject_cast<const QComboBox*>(pObject) || qobject_cast<const QAbstractSpinBox*>(pObject) ||
           (qobject_cast<const QAbstractSlider*>(pObject) && !qobject_cast<const QScrollBar*>(pObject));
}

QAbstractScrollArea* EnclosingScrollArea(QWidget* pWidget)
{
    for (QWidget* pParent = pWidget->parentWidget(); pParent; pParent = pParent->parentWidget())
    {
        if (QAbstractScrollArea* pArea = qobject_cast<QAbstractScrollArea*>(pParent))
            return pArea;
    }
    return nullptr;
}
}

CWheelGuard::CWheelGuard(QObject* pParent)
    : QObject(pParent)
{
}

void CWheelGuard::Install(QWidget* pRoot)
{
    CWheelGuard* pGuard = new CWheelGuard(pRoot);
    pGuard->Watch(pRoot);
    for (QWidget* pChild : pRoot->findChildren<QWidget*>())
        pGuard->Watch(pChild);
}

void CWheelGuard::Watch(QWidget* pWidget)
{
    pWidget->installEventFilter(this);
    // A wheel would first give the control the focus, and then the focus
    // would let it change its value: only a click or the tab key focus it.
    if (TakesWheelAsValue(pWidget) && (pWidget->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus)
        pWidget->setFocusPolicy(Qt::StrongFocus);
}

bool CWheelGuard::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pEvent->type() == QEvent::ChildPolished)
    {
        // Polished once it is complete, so that its kind is known.
        QObject* pChild = static_cast<QChildEvent*>(pEvent)->child();
        if (pChild->isWidgetType())
        {
            QWidget* pWidget = static_cast<QWidget*>(pChild);
            Watch(pWidget);
            for (QWidget* pGrandChild : pWidget->findChildren<QWidget*>())
                Watch(pGrandChild);
        }
        return false;
    }
    if (pEvent->type() != QEvent::Wheel || !TakesWheelAsValue(pWatched))
        return false;
    QWidget* pControl = static_cast<QWidget*>(pWatched);
    if (pControl->hasFocus())
        return false;
    QAbstractScrollArea* pArea = EnclosingScrollArea(pControl);
    if (!pArea)
    {
        // Nothing to scroll; the control still must not change.
        pEvent->ignore();
        return true;
    }
    const QWheelEvent* pWheel = static_cast<const QWheelEvent*>(pEvent);
    QWidget* pViewport = pArea->viewport();
    const QPointF ptLocal = pViewport->mapFromGlobal(pWheel->globalPosition().toPoint());
    QWheelEvent wheel(ptLocal, pWheel->globalPosition(), pWheel->pixelDelta(), pWheel->angleDelta(), pWheel->buttons(),
                      pWheel->modifiers(), pWheel->phase(), pWheel->inverted(), pWheel->source());
    QApplication::sendEvent(pViewport, &wheel);
    return true;
}
