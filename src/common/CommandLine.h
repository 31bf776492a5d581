// The three command-line flags and the language they select.
#pragma once

#include <QString>
#include <QStringList>

struct CommandLineFlags
{
    bool bEnglish = false;   // "-eng"
    bool bTaiwan = false;    // "-tw"
    bool bNoUpgrade = false; // "-noupg"
};

// astrArgs as left by the application object (element 0 is the program and
// is skipped). Flags match without regard to case; anything else is ignored.
CommandLineFlags ParseCommandLine(const QStringList& astrArgs);

// The translation pair to install: the program's own texts and Qt's. Both
// empty means none (English).
struct LanguageFiles
{
    QString strApp;
    QString strQt;
    bool IsEmpty() const { return strApp.isEmpty(); }
};

// strLocaleName as QLocale::name() gives it, e.g. "zh_CN".
LanguageFiles ChooseLanguage(const QString& strLocaleName, const CommandLineFlags& flags);
