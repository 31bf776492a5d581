// The program itself on a private X server: the upgrade report it sends at
// start-up, the runs that must send none, a service that stalls or resets
// while the user quits, and the log lines of monitor changes, power
// included.
#include "ServiceCheck.h"
#include "UpgradeServer.h"
#include "XDummyServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include "PrivateXvfb.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{
const int s_nTimeoutMs = 60000;
const char* const s_szTitle = "^Ostrana Vistrel V2\\.1$";
// 20 characters: the report carries the first 15.
const char* const s_szCamera = "Stage|2|1920x1080|SN0123456789ABCDEFGH";
}

class TestUpgradeRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void ReportAtStart();
    void NoReport_data();
    void NoReport();
    void QuitWhileServiceMisbehaves_data();
    void QuitWhileServiceMisbehaves();
    void MonitorChangeLogged();
    void MonitorPowerLogged();

private:
    QProcessEnvironment MakeEnv(const QByteArray& baCamera, const QByteArray& baUrl) const;
    void Launch(const QProcessEnvironment& env, const QStringList& astrArgs);
    QString WaitForWindow();
    // Closes the window as a window manager would and waits for the exit.
    void Quit(const QString& strWindow);
    bool Run(const QString& strProgram, const QStringList& astrArgs, QByteArray* pbaOut = nullptr) const;
    const QByteArray& Err();

    CPrivateXvfb m_xvfb;
    // Where the program runs: the Xvfb, unless a test starts another server.
    QString m_strDisplay;
    std::unique_ptr<QTemporaryDir> m_pRuntimeDir;
    std::unique_ptr<QProcess> m_pProgram;
    QByteArray m_baErr;
};

void TestUpgradeRun::initTestCase()
{
    QVERIFY2(m_xvfb.Start(), "Xvfb did not start");
    m_strDisplay = m_xvfb.GetDisplay();
}

void TestUpgradeRun::cleanupTestCase()
{
    m_xvfb.Stop();
}

void TestUpgradeRun::init()
{
    m_pRuntimeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pRuntimeDir->isValid());
    QFile::setPermissions(m_pRuntimeDir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_baErr.clear();
}

void TestUpgradeRun::cleanup()
{
    if (m_pProgram && m_pProgram->state() != QProcess::NotRunning)
    {
        m_pProgram->kill();
        m_pProgram->waitForFinished(s_nTimeoutMs);
    }
    if (QTest::currentTestFailed())
        qWarning("program output:\n%s\n%s", Err().constData(), m_xvfb.Describe().constData());
    m_pProgram.reset();
    m_pRuntimeDir.reset();
    m_strDisplay = m_xvfb.GetDisplay();
}

QProcessEnvironment TestUpgradeRun::MakeEnv(const QByteArray& baCamera, const QByteArray& baUrl) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_pRuntimeDir->path());
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    env.insert(QStringLiteral("VISTREL_NO_V4L2"), QStringLiteral("1"));
    env.insert(QStringLiteral("VISTREL_VIRTUAL_VIDEO"), QString::fromLatin1(baCamera));
    env.insert(QStringLiteral("VISTREL_UPGRADE_URL"), QString::fromLatin1(baUrl));
    return env;
}

void TestUpgradeRun::Launch(const QProcessEnvironment& env, const QStringList& astrArgs)
{
    m_pProgram = std::make_unique<QProcess>();
    m_pProgram->setProcessEnvironment(env);
    m_pProgram->start(QCoreApplication::applicationDirPath() + QStringLiteral("/vistrel"),
                      QStringList{QStringLiteral("-eng")} + astrArgs);
    QVERIFY(m_pProgram->waitForStarted(s_nTimeoutMs));
}

const QByteArray& TestUpgradeRun::Err()
{
    if (m_pProgram)
        m_baErr += m_pProgram->readAllStandardError();
    return m_baErr;
}

bool TestUpgradeRun::Run(const QString& strProgram, const QStringList& astrArgs, QByteArray* pbaOut) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
    process.setProcessEnvironment(env);
    process.start(strProgram, astrArgs);
    if (!process.waitForFinished(s_nTimeoutMs))
        return false;
    if (pbaOut)
        *pbaOut = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString TestUpgradeRun::WaitForWindow()
{
    QDeadlineTimer deadline(s_nTimeoutMs);
    while (!deadline.hasExpired() && m_pProgram->state() == QProcess::Running)
    {
        QByteArray baOut;
        Run(QStringLiteral("xdotool"),
            {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
             QLatin1String(s_szTitle)},
            &baOut);
        QString strWindow = QString::fromLatin1(baOut).section(QLatin1Char('\n'), 0, 0).trimmed();
        if (!strWindow.isEmpty())
            return strWindow;
        QTest::qWait(50);
    }
    return QString();
}

void TestUpgradeRun::Quit(const QString& strWindow)
{
    QVERIFY(Run(QCoreApplication::applicationDirPath() + QStringLiteral("/vistrel_wm_close"), {strWindow}));
    QVERIFY(m_pProgram->waitForFinished(s_nTimeoutMs));
    QCOMPARE(m_pProgram->exitStatus(), QProcess::NormalExit);
    QVERIFY2(m_pProgram->exitCode() == 0, Err().constData());
}

void TestUpgradeRun::ReportAtStart()
{
    CUpgradeServer server(CUpgradeServer::ANSWER);
    QVERIFY(server.Listen());
    Launch(MakeEnv(s_szCamera, server.Url("/api")), {});
    const QString strWindow = WaitForWindow();
    QVERIFY(!strWindow.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 1, s_nTimeoutMs);
    QVERIFY(CUpgradeServer::Head(server.Requests().first()).startsWith("POST /api HTTP/1.1\r\n"));
    QCOMPARE(CUpgradeServer::Body(server.Requests().first()).toHex(' '), ExpectedReport("SN0123456789ABC").toHex(' '));
    // The answer ends the client and shows the user nothing.
    QTRY_VERIFY_WITH_TIMEOUT(server.AllClosed(), s_nTimeoutMs);
    Quit(strWindow);
    QCOMPARE(server.Connections(), 1);
}

void TestUpgradeRun::NoReport_data()
{
    QTest::addColumn<QByteArray>("baCamera");
    QTest::addColumn<bool>("bEndpoint");
    QTest::addColumn<QStringList>("astrArgs");
    QTest::newRow("-noupg") << QByteArray(s_szCamera) << true << QStringList{QStringLiteral("-NoUpg")};
    QTest::newRow("no serial number") << QByteArray("Stage") << true << QStringList();
    QTest::newRow("no endpoint") << QByteArray(s_szCamera) << false << QStringList();
}

void TestUpgradeRun::NoReport()
{
    QFETCH(QByteArray, baCamera);
    QFETCH(bool, bEndpoint);
    QFETCH(QStringList, astrArgs);
    CUpgradeServer server(CUpgradeServer::ANSWER);
    QVERIFY(server.Listen());
    Launch(MakeEnv(baCamera, bEndpoint ? server.Url() : QByteArray()), astrArgs);
    const QString strWindow = WaitForWindow();
    QVERIFY(!strWindow.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(Err().contains("upgrade check off"), s_nTimeoutMs);
    // A client would have connected before the program ended.
    Quit(strWindow);
    QCOMPARE(server.Connections(), 0);
}

void TestUpgradeRun::QuitWhileServiceMisbehaves_data()
{
    QTest::addColumn<int>("nMode");
    QTest::newRow("service never answers") << int(CUpgradeServer::SILENT);
    QTest::newRow("service resets the connection") << int(CUpgradeServer::RESET);
}

void TestUpgradeRun::QuitWhileServiceMisbehaves()
{
    QFETCH(int, nMode);
    CUpgradeServer server(static_cast<CUpgradeServer::Mode>(nMode));
    QVERIFY(server.Listen());
    Launch(MakeEnv(s_szCamera, server.Url()), {});
    const QString strWindow = WaitForWindow();
    QVERIFY(!strWindow.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(server.Requests().size(), 1, s_nTimeoutMs);
    if (nMode == CUpgradeServer::RESET)
        QTRY_VERIFY_WITH_TIMEOUT(Err().contains("upgrade check ended without an answer"), s_nTimeoutMs);
    // Silently: no message box (it would carry the same title) beside the
    // main window.
    QByteArray baOut;
    QVERIFY(Run(
        QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), QLatin1String(s_szTitle)},
        &baOut));
    QCOMPARE(baOut.trimmed(), strWindow.toLatin1());
    Quit(strWindow);
}

void TestUpgradeRun::MonitorChangeLogged()
{
    Launch(MakeEnv("Stage", QByteArray()), {QStringLiteral("-noupg")});
    const QString strWindow = WaitForWindow();
    QVERIFY(!strWindow.isEmpty());

    // The test server cannot resize its screen, but it can switch its one
    // output off and on; switching off reports a failure on the way, which
    // does not matter here.
    Run(QStringLiteral("xrandr"), {QStringLiteral("--output"), QStringLiteral("screen"), QStringLiteral("--off")});
    QTRY_VERIFY_WITH_TIMEOUT(Err().contains("monitor change: output 0x"), s_nTimeoutMs);
    QVERIFY2(Err().contains("monitor change: screen 1280x800 pixels"), Err().constData());
    QVERIFY2(QRegularExpression(QStringLiteral("output 0x[0-9a-f]+ connected, crtc 0x0, mode 0x0"))
                 .match(QString::fromLatin1(Err()))
                 .hasMatch(),
             Err().constData());

    const int nBefore = Err().size();
    QVERIFY(Run(QStringLiteral("xrandr"),
                {QStringLiteral("--output"), QStringLiteral("screen"), QStringLiteral("--auto")}));
    const QRegularExpression reOn(
        QStringLiteral("output 0x[0-9a-f]+ connected, crtc 0x[1-9a-f][0-9a-f]*, mode 0x[1-9a-f]"));
    QTRY_VERIFY_WITH_TIMEOUT(reOn.match(QString::fromLatin1(Err().mid(nBefore))).hasMatch(), s_nTimeoutMs);
    // The events went on to the toolkit: the program carries on and quits
    // normally.
    Quit(strWindow);
}

void TestUpgradeRun::MonitorPowerLogged()
{
    // Xvfb has no DPMS; the multi-monitor server gets it from the tests'
    // module.
    if (!CXDummyServer::HasDpms())
        VISTREL_SKIP_WITHOUT_SERVICE(QStringLiteral("no DPMS module for the X server (xserver-xorg-dev)"));
    QTemporaryDir dirServer;
    CXDummyServer server;
    if (!server.Start(dirServer.path(), QStringLiteral("1280x720,800x600")))
        VISTREL_SKIP_WITHOUT_SERVICE(server.GetError());
    m_strDisplay = server.GetDisplay();
    Launch(MakeEnv("Stage", QByteArray()), {QStringLiteral("-noupg")});
    const QString strWindow = WaitForWindow();
    QVERIFY(!strWindow.isEmpty());

    QVERIFY(server.RunClient(QStringLiteral("xset"),
                             {QStringLiteral("dpms"), QStringLiteral("force"), QStringLiteral("off")}));
    QTRY_VERIFY_WITH_TIMEOUT(Err().contains("monitor change: power off"), s_nTimeoutMs);
    QVERIFY(server.RunClient(QStringLiteral("xset"),
                             {QStringLiteral("dpms"), QStringLiteral("force"), QStringLiteral("on")}));
    QTRY_VERIFY_WITH_TIMEOUT(Err().contains("monitor change: power on"), s_nTimeoutMs);
    // One line each, and none for the state at start: a few more readings
    // add nothing.
    QTest::qWait(1500);
    QVERIFY2(Err().count("monitor change: power") == 2, Err().constData());
    // The previews went on: the program carries on and quits normally.
    Quit(strWindow);
}

QTEST_GUILESS_MAIN(TestUpgradeRun)
#include "tst_app_upgrade_run.moc"
