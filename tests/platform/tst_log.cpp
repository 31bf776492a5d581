// The diagnostic lines: which levels VISTREL_LOG lets through, how a line
// looks on standard error, and the lines kept in memory for a crash report.
#include "platform/Log.h"
#include "platform/Platform.h"
#include "StderrCapture.h"

#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{
// Sends standard error to a file while it lives.

// What WriteRecent hands to a file descriptor.
QByteArray RecentText()
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    Log::WriteRecent(file.handle());
    file.seek(0);
    return file.readAll();
}

QList<QByteArray> RecentLines()
{
    QList<QByteArray> listLines = RecentText().split('\n');
    if (!listLines.isEmpty() && listLines.last().isEmpty())
        listLines.removeLast();
    return listLines;
}

// A kept line is "<milliseconds> <level letter> <line as printed>".
QByteArray WithoutTime(const QByteArray& baLine)
{
    return baLine.mid(baLine.indexOf(' ') + 1);
}

void SetVariable(const char* pszValue)
{
    if (pszValue)
        qputenv("VISTREL_LOG", pszValue);
    else
        qunsetenv("VISTREL_LOG");
    Log::ReadThreshold();
}
}

class TestLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void ThresholdFromVariable_data();
    void ThresholdFromVariable();
    void LineHasModulePrefix_data();
    void LineHasModulePrefix();
    void RecentLinesInOrder();
    void RecentLinesWrapAround();
    void LongLineIsCutWhole();
    void LinesFromThreadsStayWhole();
};

// Whatever the caller's environment says, each case starts at the default.
void TestLog::init()
{
    SetVariable(nullptr);
}

void TestLog::ThresholdFromVariable_data()
{
    QTest::addColumn<QByteArray>("baValue");
    QTest::addColumn<bool>("bUnset");
    QTest::addColumn<QByteArray>("baPrinted");
    QTest::addColumn<bool>("bComplaint");

    QTest::newRow("unset") << QByteArray() << true << QByteArray("EWI") << false;
    QTest::newRow("empty") << QByteArray("") << false << QByteArray("EWI") << false;
    QTest::newRow("error") << QByteArray("error") << false << QByteArray("E") << false;
    QTest::newRow("warning, any case") << QByteArray("Warning") << false << QByteArray("EW") << false;
    QTest::newRow("info") << QByteArray("info") << false << QByteArray("EWI") << false;
    QTest::newRow("debug, spaces") << QByteArray(" DEBUG ") << false << QByteArray("EWID") << false;
    QTest::newRow("unknown word") << QByteArray("verbose") << false << QByteArray("EWI") << true;
}

void TestLog::ThresholdFromVariable()
{
    QFETCH(QByteArray, baValue);
    QFETCH(bool, bUnset);
    QFETCH(QByteArray, baPrinted);
    QFETCH(bool, bComplaint);

    CStderrCapture capture;
    SetVariable(bUnset ? nullptr : baValue.constData());
    Log::Error("test", QStringLiteral("level E"));
    Log::Warning("test", QStringLiteral("level W"));
    Log::Info("test", QStringLiteral("level I"));
    Log::Debug("test", QStringLiteral("level D"));
    const QByteArray baText = capture.Bytes();

    for (const char cLevel : QByteArray("EWID"))
    {
        const QByteArray baLine = QByteArray("test: level ") + cLevel + '\n';
        QVERIFY2(baText.contains(baLine) == baPrinted.contains(cLevel), baText.constData());
        QCOMPARE(Log::IsEnabled(Log::ELevel(QByteArray("EWID").indexOf(cLevel))), baPrinted.contains(cLevel));
    }
    QCOMPARE(baText.contains("VISTREL_LOG=" + baValue + " is not one of"), bComplaint);
}

void TestLog::LineHasModulePrefix_data()
{
    QTest::addColumn<QByteArray>("baModule");
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QByteArray>("baPrinted");

    QTest::newRow("module") << QByteArray("rtmp") << QStringLiteral("sending failed")
                            << QByteArray("rtmp: sending failed\n");
    QTest::newRow("no module") << QByteArray() << QStringLiteral("plain words") << QByteArray("plain words\n");
    QTest::newRow("own newline kept single")
        << QByteArray("app") << QStringLiteral("already running !\n") << QByteArray("app: already running !\n");
    QTest::newRow("two lines") << QByteArray("config") << QStringLiteral("one\ntwo")
                               << QByteArray("config: one\ntwo\n");
}

void TestLog::LineHasModulePrefix()
{
    QFETCH(QByteArray, baModule);
    QFETCH(QString, strText);
    QFETCH(QByteArray, baPrinted);

    CStderrCapture capture;
    Log::Warning(baModule.isEmpty() ? nullptr : baModule.constData(), strText);
    QCOMPARE(capture.Bytes(), baPrinted);
    const QByteArray baRecent = RecentText();
    QVERIFY2(baRecent.endsWith(" W " + baPrinted), baRecent.constData());
}

void TestLog::RecentLinesInOrder()
{
    CStderrCapture capture;
    // A line without a module is printed as it is.
    Log::Info(nullptr, QStringLiteral("first"));
    Log::Error("encoder", QStringLiteral("second"));
    Log::Debug("encoder", QStringLiteral("not printed, not kept"));
    Log::Info("capture", QStringLiteral("third"));
    QCOMPARE(capture.Bytes(), QByteArray("first\nencoder: second\ncapture: third\n"));

    const QList<QByteArray> listLines = RecentLines();
    QVERIFY(listLines.size() >= 3);
    const QList<QByteArray> listExpected = {"I first", "E encoder: second", "I capture: third"};
    for (int i = 0; i < 3; ++i)
    {
        const QByteArray& baLine = listLines.at(listLines.size() - 3 + i);
        bool bNumber = false;
        baLine.left(baLine.indexOf(' ')).toUInt(&bNumber);
        QVERIFY2(bNumber, baLine.constData());
        QCOMPARE(WithoutTime(baLine), listExpected.at(i));
    }
}

void TestLog::RecentLinesWrapAround()
{
    const int nTotal = 2 * Log::RECENT_LINES + 5;
    CStderrCapture capture;
    for (int i = 0; i < nTotal; ++i)
        Log::Info("mixer", QStringLiteral("line %1").arg(i));
    capture.Bytes();

    const QList<QByteArray> listLines = RecentLines();
    QCOMPARE(listLines.size(), Log::RECENT_LINES);
    for (int i = 0; i < Log::RECENT_LINES; ++i)
        QCOMPARE(WithoutTime(listLines.at(i)), "I mixer: line " + QByteArray::number(nTotal - Log::RECENT_LINES + i));
}

void TestLog::LongLineIsCutWhole()
{
    // Two-byte characters throughout: a cut in the middle of one would leave
    // a broken character at the end.
    const QString strLong(Log::RECENT_LINE_BYTES, QChar(0x00e9));
    CStderrCapture capture;
    Log::Info("ui", strLong);
    QCOMPARE(capture.Bytes(), "ui: " + strLong.toLocal8Bit() + '\n');

    const QByteArray baKept = WithoutTime(RecentLines().last());
    QVERIFY(baKept.startsWith("I ui: " + QString(8, QChar(0x00e9)).toLocal8Bit()));
    QVERIFY(baKept.size() < Log::RECENT_LINE_BYTES);
    const QString strKept = QString::fromLocal8Bit(baKept);
    QVERIFY2(!strKept.contains(QChar::ReplacementCharacter), baKept.constData());
    QVERIFY(strKept.endsWith(QChar(0x00e9)));
}

void TestLog::LinesFromThreadsStayWhole()
{
    const int nThreads = 4;
    const int nLines = 100;
    CStderrCapture capture;
    std::vector<std::thread> vecThreads;
    vecThreads.reserve(nThreads);
    for (int t = 0; t < nThreads; ++t)
    {
        vecThreads.emplace_back([t]() {
            for (int i = 0; i < nLines; ++i)
                Log::Info("audio", QStringLiteral("thread %1 line %2 ").arg(t).arg(i) + QString(40, QLatin1Char('x')));
        });
    }
    for (std::thread& thread : vecThreads)
        thread.join();

    const QRegularExpression reLine(QStringLiteral("^audio: thread \\d line \\d+ x{40}$"));
    QList<QByteArray> listPrinted = capture.Bytes().split('\n');
    QCOMPARE(listPrinted.takeLast(), QByteArray());
    QCOMPARE(listPrinted.size(), nThreads * nLines);
    for (const QByteArray& baLine : listPrinted)
        QVERIFY2(reLine.match(QString::fromLatin1(baLine)).hasMatch(), baLine.constData());

    const QList<QByteArray> listKept = RecentLines();
    QCOMPARE(listKept.size(), Log::RECENT_LINES);
    for (const QByteArray& baLine : listKept)
        QVERIFY2(reLine.match(QString::fromLatin1(WithoutTime(baLine).mid(2))).hasMatch(), baLine.constData());
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
