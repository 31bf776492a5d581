// What the user must see for as long as its cause lasts: a logo that cannot
// be shown, a missing audio device, a camera that is gone. A label of its own
// at the right of the main window's status bar holds these messages; the
// status bar's temporary messages and the session's status refresh leave it
// alone. Each message has a key, so that its cause can take it back.
#pragma once

#include <QLabel>
#include <QString>

#include <utility>
#include <vector>

class QWidget;

class CLastingMessages : public QLabel
{
    Q_OBJECT

public:
    explicit CLastingMessages(QWidget* pParent = nullptr);

    // The label of the main window pFrom sits in, placed in its status bar on
    // first use; null while pFrom is in no main window.
    static CLastingMessages* Of(QWidget* pFrom);
    // While pFrom is in no main window yet, both wait for the event loop and
    // then do nothing if it still is in none.
    static void Set(QWidget* pFrom, const QString& strKey, const QString& strText);
    static void Clear(QWidget* pFrom, const QString& strKey);

    // A new text for a known key keeps its place among the others.
    void SetMessage(const QString& strKey, const QString& strText);
    void ClearMessage(const QString& strKey);
    QString GetMessage(const QString& strKey) const;

private:
    void Refresh();

    // In the order they came.
    std::vector<std::pair<QString, QString>> m_vecMessages;
};
