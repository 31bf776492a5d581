// Answers the next modal message box the code under test opens, the way a
// user would: it notes what the box says and clicks one of its buttons.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

class CModalAnswer : public QObject
{
public:
    // strButton: the text of the button to click. The box is looked for
    // until it shows; arm this before the call that opens it.
    explicit CModalAnswer(const QString& strButton)
        : m_strButton(strButton)
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }

    bool m_bSeen = false;
    bool m_bHasParent = false;
    QString m_strTitle;
    QString m_strText;
    QStringList m_astrButtons;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;

private:
    void Poll()
    {
        QMessageBox* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox || !pBox->isVisible())
            return;
        m_timer.stop();
        m_bSeen = true;
        m_bHasParent = pBox->parentWidget() != nullptr;
        m_strTitle = pBox->windowTitle();
        m_strText = pBox->text();
        m_icon = pBox->icon();
        QAbstractButton* pChosen = nullptr;
        for (QAbstractButton* pButton : pBox->buttons())
        {
            m_astrButtons << pButton->text();
            if (pButton->text() == m_strButton)
                pChosen = pButton;
        }
        // An unexpected button list still closes the box, so that the test
        // fails on its checks instead of hanging.
        if (pChosen)
            pChosen->click();
        else
            pBox->done(-1);
    }

    QString m_strButton;
    QTimer m_timer;
};
