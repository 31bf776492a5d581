#include "common/AppInfo.h"

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
    s_strAppTitle = QStringLiteral("%1 %2").arg(QCoreApplication::translate("main", "Ostrana Vistrel"),
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

namespace
{
void ShowOneButtonMessage(QMessageBox::Icon icon, QWidget* pParent, const QString& strText, const QString& strButton)
{
    QMessageBox box(icon, GetAppTitle(), strText, QMessageBox::NoButton, pParent);
    QPushButton* pButton = box.addButton(strButton, QMessageBox::AcceptRole);
    box.setDefaultButton(pButton);
    box.setEscapeButton(pButton);
    box.exec();
}
}

void ShowCriticalMessage(QWidget* pParent, const QString& strText)
{
    ShowOneButtonMessage(QMessageBox::Critical, pParent, strText, QCoreApplication::translate("main", "OK"));
}

void ShowCriticalMessageYes(QWidget* pParent, const QString& strText)
{
    ShowOneButtonMessage(QMessageBox::Critical, pParent, strText, QCoreApplication::translate("main", "Yes"));
}

void ShowInformationMessageYes(QWidget* pParent, const QString& strText)
{
    ShowOneButtonMessage(QMessageBox::Information, pParent, strText, QCoreApplication::translate("main", "Yes"));
}
