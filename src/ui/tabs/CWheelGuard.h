// Keeps the mouse wheel from changing settings by accident. On a page that
// scrolls, a combo box, spin box or slider that the pointer passes over
// while the user scrolls would otherwise take the wheel and change its value
// unseen. Such a control answers the wheel only once it has the keyboard
// focus; otherwise the page scrolls under it.
#pragma once

#include <QObject>

class QWidget;

class CWheelGuard : public QObject
{
    Q_OBJECT

public:
    // Guards the controls in pRoot and those added to it later; the guard
    // belongs to pRoot.
    static void Install(QWidget* pRoot);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    explicit CWheelGuard(QObject* pParent);
    void Watch(QWidget* pWidget);
};
