#include "common/CommandLine.h"

CommandLineFlags ParseCommandLine(const QStringList& astrArgs)
{
    CommandLineFlags flags;
    for (int i = 1; i < astrArgs.size(); ++i)
    {
        const QString& strArg = astrArgs.at(i);
        if (strArg.compare(QLatin1String("-eng"), Qt::CaseInsensitive) == 0)
            flags.bEnglish = true;
        else if (strArg.compare(QLatin1String("-tw"), Qt::CaseInsensitive) == 0)
            flags.bTaiwan = true;
        else if (strArg.compare(QLatin1String("-noupg"), Qt::CaseInsensitive) == 0)
            flags.bNoUpgrade = true;
    }
    return flags;
}

LanguageFiles ChooseLanguage(const QString& strLocaleName, const CommandLineFlags& flags)
{
    LanguageFiles files;
    if (flags.bEnglish)
        return files;
    // Locale names compare case-sensitively: they come from QLocale in one
    // fixed spelling.
    if (flags.bTaiwan || strLocaleName.contains(QLatin1String("zh_TW")))
    {
        files.strApp = QStringLiteral(":/translations/vistrel_zh_TW.qm");
        files.strQt = QStringLiteral(":/translations/qt_zh_TW.qm");
    }
    else if (strLocaleName.contains(QLatin1String("zh_CN")))
    {
        files.strApp = QStringLiteral(":/translations/vistrel_zh_CN.qm");
        files.strQt = QStringLiteral(":/translations/qt_zh_CN.qm");
    }
    return files;
}
