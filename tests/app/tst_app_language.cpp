// Command-line flags and the translation they select.
#include "common/CommandLine.h"

#include <QFile>
#include <QTranslator>
#include <QtTest>

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void Flags_data();
    void Flags();
    void Choice_data();
    void Choice();
    void ChosenFilesAreEmbedded();
};

void TestLanguage::Flags_data()
{
    QTest::addColumn<QStringList>("astrArgs");
    QTest::addColumn<bool>("bEnglish");
    QTest::addColumn<bool>("bTaiwan");
    QTest::addColumn<bool>("bNoUpgrade");
    QTest::newRow("none") << QStringList{"vistrel"} << false << false << false;
    QTest::newRow("all") << QStringList{"vistrel", "-eng", "-tw", "-noupg"} << true << true << true;
    QTest::newRow("upper and mixed case") << QStringList{"vistrel", "-ENG", "-Tw", "-NoUpg"} << true << true << true;
    QTest::newRow("program name is no flag") << QStringList{"-eng"} << false << false << false;
    QTest::newRow("unknown ignored") << QStringList{"vistrel", "-english", "tw", "--noupg", "x"} << false << false
                                     << false;
    QTest::newRow("anywhere") << QStringList{"vistrel", "a", "b", "-noupg"} << false << false << true;
}

void TestLanguage::Flags()
{
    QFETCH(QStringList, astrArgs);
    QFETCH(bool, bEnglish);
    QFETCH(bool, bTaiwan);
    QFETCH(bool, bNoUpgrade);
    const CommandLineFlags flags = ParseCommandLine(astrArgs);
    QCOMPARE(flags.bEnglish, bEnglish);
    QCOMPARE(flags.bTaiwan, bTaiwan);
    QCOMPARE(flags.bNoUpgrade, bNoUpgrade);
}

void TestLanguage::Choice_data()
{
    QTest::addColumn<QString>("strLocale");
    QTest::addColumn<QStringList>("astrArgs");
    QTest::addColumn<QString>("strApp");
    QTest::addColumn<QString>("strQt");
    const QString strTwApp = ":/translations/vistrel_zh_TW.qm", strTwQt = ":/translations/qt_zh_TW.qm";
    const QString strCnApp = ":/translations/vistrel_zh_CN.qm", strCnQt = ":/translations/qt_zh_CN.qm";
    const QStringList astrNone{"vistrel"};
    QTest::newRow("zh_TW") << "zh_TW" << astrNone << strTwApp << strTwQt;
    QTest::newRow("zh_CN") << "zh_CN" << astrNone << strCnApp << strCnQt;
    QTest::newRow("zh_HK") << "zh_HK" << astrNone << ""
                           << "";
    QTest::newRow("en_US") << "en_US" << astrNone << ""
                           << "";
    QTest::newRow("lower-case locale") << "zh_cn" << astrNone << ""
                                       << "";
    QTest::newRow("-eng on zh_CN") << "zh_CN" << QStringList{"vistrel", "-eng"} << ""
                                   << "";
    QTest::newRow("-ENG on zh_TW") << "zh_TW" << QStringList{"vistrel", "-ENG"} << ""
                                   << "";
    QTest::newRow("-tw on en_US") << "en_US" << QStringList{"vistrel", "-tw"} << strTwApp << strTwQt;
    QTest::newRow("-tw on zh_CN") << "zh_CN" << QStringList{"vistrel", "-TW"} << strTwApp << strTwQt;
    QTest::newRow("-tw with -eng") << "zh_TW" << QStringList{"vistrel", "-tw", "-eng"} << ""
                                   << "";
    QTest::newRow("-noupg alone") << "zh_CN" << QStringList{"vistrel", "-noupg"} << strCnApp << strCnQt;
}

void TestLanguage::Choice()
{
    QFETCH(QString, strLocale);
    QFETCH(QStringList, astrArgs);
    QFETCH(QString, strApp);
    QFETCH(QString, strQt);
    const LanguageFiles files = ChooseLanguage(strLocale, ParseCommandLine(astrArgs));
    QCOMPARE(files.strApp, strApp);
    QCOMPARE(files.strQt, strQt);
    QCOMPARE(files.IsEmpty(), strApp.isEmpty());
}

void TestLanguage::ChosenFilesAreEmbedded()
{
    // Every file the choice can name must be in the program's resources and
    // load as a translation; otherwise the language silently stays English.
    Q_INIT_RESOURCE(vistrel);
    for (const char* szLocale : {"zh_TW", "zh_CN"})
    {
        const LanguageFiles files = ChooseLanguage(QLatin1String(szLocale), CommandLineFlags());
        for (const QString& strFile : {files.strApp, files.strQt})
        {
            QVERIFY2(QFile::exists(strFile), qPrintable(strFile));
            QTranslator translator;
            QVERIFY2(translator.load(strFile), qPrintable(strFile));
            QVERIFY2(!translator.isEmpty(), qPrintable(strFile));
        }
    }
}

QTEST_GUILESS_MAIN(TestLanguage)
#include "tst_app_language.moc"
