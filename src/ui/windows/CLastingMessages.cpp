#include "ui/windows/CLastingMessages.h"

#include <QMainWindow>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>

#include <algorithm>

namespace
{
const char* const s_szObjectName = "labelLasting";
}

CLastingMessages::CLastingMessages(QWidget* pParent)
    : QLabel(pParent)
{
    setObjectName(QLatin1String(s_szObjectName));
    // Among the session's grey figures a complaint must stand out.
    setStyleSheet(QStringLiteral("color: #C00000;"));
    setTextFormat(Qt::PlainText);
    // Below its text's width, so that a long message cannot widen the main
    // window; the tooltip has it whole.
    setMinimumWidth(1);
    hide();
}

CLastingMessages* CLastingMessages::Of(QWidget* pFrom)
{
    if (!pFrom)
        return nullptr;
    // A tab may sit in a window of its own inside the main window.
    QMainWindow* pMain = nullptr;
    for (QWidget* pWidget = pFrom; pWidget && !pMain; pWidget = pWidget->parentWidget())
        pMain = qobject_cast<QMainWindow*>(pWidget);
    if (!pMain)
        return nullptr;
    QStatusBar* pStatusBar = pMain->statusBar();
    CLastingMessages* pLabel = pStatusBar->findChild<CLastingMessages*>(QLatin1String(s_szObjectName));
    if (!pLabel)
    {
        pLabel = new CLastingMessages(pStatusBar);
        pStatusBar->addPermanentWidget(pLabel);
    }
    return pLabel;
}

void CLastingMessages::Set(QWidget* pFrom, const QString& strKey, const QString& strText)
{
    if (CLastingMessages* pLabel = Of(pFrom))
        pLabel->SetMessage(strKey, strText);
    else if (pFrom)
        // A tab complains while it is built, before it sits in the main
        // window; by the time the event loop runs it does.
        QTimer::singleShot(0, pFrom, [pFrom, strKey, strText]() {
            if (CLastingMessages* pLater = Of(pFrom))
                pLater->SetMessage(strKey, strText);
        });
}

void CLastingMessages::Clear(QWidget* pFrom, const QString& strKey)
{
    if (CLastingMessages* pLabel = Of(pFrom))
        pLabel->ClearMessage(strKey);
    else if (pFrom)
        // After a Set that waits, not before it.
        QTimer::singleShot(0, pFrom, [pFrom, strKey]() {
            if (CLastingMessages* pLater = Of(pFrom))
                pLater->ClearMessage(strKey);
        });
}

void CLastingMessages::SetMessage(const QString& strKey, const QString& strText)
{
    if (strText.isEmpty())
    {
        ClearMessage(strKey);
        return;
    }
    auto it = std::find_if(m_vecMessages.begin(), m_vecMessages.end(),
                           [&strKey](const std::pair<QString, QString>& message) { return message.first == strKey; });
    if (it != m_vecMessages.end())
        it->second = strText;
    else
        m_vecMessages.emplace_back(strKey, strText);
    Refresh();
}

void CLastingMessages::ClearMessage(const QString& strKey)
{
    m_vecMessages.erase(
        std::remove_if(m_vecMessages.begin(), m_vecMessages.end(),
                       [&strKey](const std::pair<QString, QString>& message) { return message.first == strKey; }),
        m_vecMessages.end());
    Refresh();
}

QString CLastingMessages::GetMessage(const QString& strKey) const
{
    for (const auto& message : m_vecMessages)
    {
        if (message.first == strKey)
            return message.second;
    }
    return QString();
}

void CLastingMessages::Refresh()
{
    QStringList astrTexts;
    for (const auto& message : m_vecMessages)
        astrTexts << message.second;
    setText(astrTexts.join(QStringLiteral("  ")));
    setToolTip(astrTexts.join(QLatin1Char('\n')));
    setVisible(!astrTexts.isEmpty());
}
