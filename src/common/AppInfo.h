// Process-wide texts of the program: its title (also the title of every
// message box) and the web site shown in the About box.
#pragma once

#include <QString>

class QWidget;

enum
{
    VISTREL_VERSION_MAJOR = 2,
    VISTREL_VERSION_MINOR = 1,
    VISTREL_VERSION_BUILD = 2201
};
// The same as one text, for places that cannot build one (a crash report).
#define VISTREL_VERSION_TEXT "2.1.2201"

// Fills the texts in the current language; call once the translators are
// installed.
void InitAppTexts();

// "Ostrana Vistrel V2.1", translated. Empty before InitAppTexts.
const QString& GetAppTitle();
const QString& GetWebSite();

// Modal critical box with the application title and one "OK" button.
void ShowCriticalMessage(QWidget* pParent, const QString& strText);
// The same with one "Yes" button, as the RTMP checks and the connection test
// answer.
void ShowCriticalMessageYes(QWidget* pParent, const QString& strText);
void ShowInformationMessageYes(QWidget* pParent, const QString& strText);
