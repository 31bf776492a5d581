#include "AppInfo.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace
{
QString s_strAppTitle;
QString s_strWebSite;
}

void InitAppTexts()
{
    s_strWebSite = QStringLiteral("https://www.example.com/vistrel");
    s_strAppTitle = QStringLiteral("%1 %2")
                        .arg(QCoreApplication::translate("main", "Ostrana Vistrel"),
                             QCoreApplication::translate("main", "V2.1"));
}

const QString& GetAppTitle()
{
    return s_strAppTitle;
}

const QString& GetWebSite()
{
    return s_strWebSite;
}

void ShowCriticalMessage(QWidget* pParent, const QString& strText)
{
    QMessageBox box(QMessageBox::Critical, GetAppTitle(), strText, QMessageBox::NoButton, pParent);
    QPushButton* pOk = box.addButton(QCoreApplication::translate("main", "OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(pOk);
    box.setEscapeButton(pOk);
    box.exec();
}
