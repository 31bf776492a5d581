// Start-up exits of the real program, run as processes on a private X
// server: no device, no layout file, a second copy while the first runs and
// a second copy while the first is still starting.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include "PrivateXvfb.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

namespace
{
const int s_nTimeoutMs = 60000;
const char* const s_szTitle = "^Ostrana Vistrel V2\\.1$";

// One program run with its own output collected as it comes.
class CRun
{
public:
    QProcess m_process;
    QByteArray m_baErr;

    void Start(const QString& strProgram, const QProcessEnvironment& env)
    {
        m_strProgram = strProgram;
        m_env = env;
        m_baErr.clear();
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(strProgram, {QStringLiteral("-eng"), QStringLiteral("-noupg")});
    }
    // Starts the same program again after it could not reach the X server.
    bool Restart()
    {
        if (m_process.state() != QProcess::NotRunning)
            return false;
        qWarning("the program could not reach the X server and is started again:\n%s", Err().constData());
        Start(m_strProgram, m_env);
        return m_process.waitForStarted(s_nTimeoutMs);
    }
    // On a busy machine a client now and then fails its connection to the
    // test's X server (seen while other X servers start beside it). That
    // says nothing about start-up, so such a run is repeated instead.
    bool LostDisplay()
    {
        return m_process.state() == QProcess::NotRunning && Err().contains("could not connect to display");
    }
    const QByteArray& Err()
    {
        m_baErr += m_process.readAllStandardError();
        return m_baErr;
    }
    bool Finish() { return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(s_nTimeoutMs); }
    ~CRun()
    {
        // What the program said is the best clue to a failed check.
        if (QTest::currentTestFailed())
            qWarning("program output:\n%s", Err().constData());
        if (m_process.state() != QProcess::NotRunning)
        {
            ::kill(pid_t(m_process.processId()), SIGCONT);
            m_process.kill();
            m_process.waitForFinished(s_nTimeoutMs);
        }
    }

private:
    QString m_strProgram;
    QProcessEnvironment m_env;
};

const int s_nDisplayRetries = 3;

// What stands where the layout file is looked for.
enum
{
    LAYOUT_FILE,
    LAYOUT_UNREADABLE,
    LAYOUT_FOLDER
};
}

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void NoDevice();
    void NoLayoutFile();
    void UselessLayoutFile_data();
    void UselessLayoutFile();
    void SecondCopyWhileRunning();
    void SecondCopyWhileStarting();
    void CloseSavesAndReleases();

private:
    QProcessEnvironment MakeEnv(bool bCameras) const;
    QStringList FindWindows(bool bVisibleOnly) const;
    QStringList WaitForWindows(CRun& run) const;
    bool Xdotool(const QStringList& astrArgs, QByteArray* pbaOut = nullptr) const;
    void DismissBox(CRun& run);

    CPrivateXvfb m_xvfb;
    QString m_strDisplay;
    QString m_strProgram;
    std::unique_ptr<QTemporaryDir> m_pRuntimeDir;
};

void TestStartup::initTestCase()
{
    m_strProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/vistrel");
    QVERIFY2(QFileInfo(m_strProgram).isExecutable(), qPrintable(m_strProgram));

    QVERIFY2(m_xvfb.Start(), "Xvfb did not start");
    m_strDisplay = m_xvfb.GetDisplay();
}

void TestStartup::cleanupTestCase()
{
    m_xvfb.Stop();
}

void TestStartup::init()
{
    m_pRuntimeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pRuntimeDir->isValid());
    QFile::setPermissions(m_pRuntimeDir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(FindWindows(false).isEmpty());
}

void TestStartup::cleanup()
{
    if (QTest::currentTestFailed())
        qWarning("%s", m_xvfb.Describe().constData());
    m_pRuntimeDir.reset();
}

QProcessEnvironment TestStartup::MakeEnv(bool bCameras) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // The program draws without OpenGL; Mesa's GLX, loaded only to probe for
    // it, keeps an allocation that the leak checker would report at exit.
    env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_pRuntimeDir->path());
    // A display would let libdbus autolaunch a session bus for the program;
    // an address that leads nowhere keeps it off the bus altogether.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    env.insert(QStringLiteral("VISTREL_NO_V4L2"), QStringLiteral("1"));
    if (bCameras)
        env.insert(QStringLiteral("VISTREL_VIRTUAL_VIDEO"), QStringLiteral("2"));
    else
        env.remove(QStringLiteral("VISTREL_VIRTUAL_VIDEO"));
    return env;
}

bool TestStartup::Xdotool(const QStringList& astrArgs, QByteArray* pbaOut) const
{
    QProcess xdotool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
    xdotool.setProcessEnvironment(env);
    xdotool.start(QStringLiteral("xdotool"), astrArgs);
    if (!xdotool.waitForFinished(s_nTimeoutMs))
        return false;
    if (pbaOut)
        *pbaOut = xdotool.readAllStandardOutput();
    return xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

QStringList TestStartup::FindWindows(bool bVisibleOnly) const
{
    QStringList astrArgs{QStringLiteral("search")};
    if (bVisibleOnly)
        astrArgs << QStringLiteral("--onlyvisible");
    astrArgs << QStringLiteral("--name") << QLatin1String(s_szTitle);
    QByteArray baOut;
    Xdotool(astrArgs, &baOut);
    return QString::fromLatin1(baOut).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The program's visible windows once it has some, started again if it could
// not reach the X server; empty if none came in time.
QStringList TestStartup::WaitForWindows(CRun& run) const
{
    int nRetries = 0;
    QDeadlineTimer deadline(s_nTimeoutMs);
    while (!deadline.hasExpired())
    {
        QStringList astrWindows = FindWindows(true);
        if (!astrWindows.isEmpty())
            return astrWindows;
        if (run.LostDisplay())
        {
            if (++nRetries > s_nDisplayRetries || !run.Restart())
                return {};
            deadline.setRemainingTime(s_nTimeoutMs);
        }
        QTest::qWait(50);
    }
    return {};
}

void TestStartup::DismissBox(CRun& run)
{
    const QStringList astrWindows = WaitForWindows(run);
    QCOMPARE(astrWindows.size(), 1);
    // Return presses the box's one button. Keys sent to a window directly
    // are ignored by the toolkit, so the box gets the focus and the key goes
    // through the server's input; it may come before the box is ready for
    // it, so it is sent again until the program has gone.
    auto Gone = [&run] { return run.m_process.state() == QProcess::NotRunning; };
    QTRY_VERIFY_WITH_TIMEOUT(Gone() || (Xdotool({QStringLiteral("windowfocus"), astrWindows.first()}) &&
                                        Xdotool({QStringLiteral("key"), QStringLiteral("Return")}) &&
                                        (run.m_process.waitForFinished(1000) || Gone())),
                             s_nTimeoutMs);
}

void TestStartup::NoDevice()
{
    CRun run;
    run.Start(m_strProgram, MakeEnv(false));
    QVERIFY(run.m_process.waitForStarted(s_nTimeoutMs));
    DismissBox(run);
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY(run.Finish());
    QCOMPARE(run.m_process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(qint8(run.m_process.exitCode()) == -1, run.Err().constData());
    QVERIFY2(run.Err().contains("no supported capture device"), run.Err().constData());
}

void TestStartup::NoLayoutFile()
{
    // The program alone in a folder: cameras, but no vtlayout.ini beside it.
    QTemporaryDir dirApp;
    QVERIFY(dirApp.isValid());
    const QString strCopy = dirApp.path() + QStringLiteral("/vistrel");
    QVERIFY(QFile::copy(m_strProgram, strCopy));
    QVERIFY(!QFile::exists(dirApp.path() + QStringLiteral("/vtlayout.ini")));

    CRun run;
    run.Start(strCopy, MakeEnv(true));
    QVERIFY(run.m_process.waitForStarted(s_nTimeoutMs));
    DismissBox(run);
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY(run.Finish());
    QVERIFY2(qint8(run.m_process.exitCode()) == -1, run.Err().constData());
    QVERIFY2(run.Err().contains("layout file could not be loaded"), run.Err().constData());
}

void TestStartup::UselessLayoutFile_data()
{
    QTest::addColumn<QByteArray>("baContents");
    QTest::addColumn<int>("nKind");
    QTest::addColumn<QByteArray>("baReason");
    QTest::newRow("unreadable") << QByteArray("[layout]\ncount=1\n") << int(LAYOUT_UNREADABLE)
                                << QByteArray("cannot read");
    QTest::newRow("folder") << QByteArray() << int(LAYOUT_FOLDER) << QByteArray("is not a file");
    QTest::newRow("empty") << QByteArray() << int(LAYOUT_FILE) << QByteArray("holds no layout");
    QTest::newRow("count=0") << QByteArray("[layout]\ncount=0\n[logo]\ncount=1\n") << int(LAYOUT_FILE)
                             << QByteArray("holds no layout");
    QByteArray baRandom;
    quint32 nSeed = 12345;
    for (int i = 0; i < 4096; ++i)
    {
        nSeed = nSeed * 1103515245u + 12345u;
        baRandom.append(char(nSeed >> 16));
    }
    QTest::newRow("random bytes") << baRandom << int(LAYOUT_FILE) << QByteArray("holds no layout");
    const QString strText = QStringLiteral("[layout]\r\ncount=1\r\n[layout0]\r\nvideo=1\r\npos0=0,0,100,100\r\n");
    QByteArray baUtf16("\xff\xfe");
    baUtf16.append(reinterpret_cast<const char*>(strText.utf16()), strText.size() * 2);
    QTest::newRow("UTF-16") << baUtf16 << int(LAYOUT_FILE) << QByteArray("holds no layout");
}

// A layout file that yields no layout ends start-up as a missing one does,
// and standard error names the file and what is wrong with it.
void TestStartup::UselessLayoutFile()
{
    QFETCH(QByteArray, baContents);
    QFETCH(int, nKind);
    QFETCH(QByteArray, baReason);
    if (nKind == LAYOUT_UNREADABLE && ::geteuid() == 0)
        QSKIP("the superuser reads every file");

    QTemporaryDir dirApp;
    QVERIFY(dirApp.isValid());
    const QString strCopy = dirApp.path() + QStringLiteral("/vistrel");
    QVERIFY(QFile::copy(m_strProgram, strCopy));
    const QString strLayout = dirApp.path() + QStringLiteral("/vtlayout.ini");
    if (nKind == LAYOUT_FOLDER)
    {
        QVERIFY(QDir().mkdir(strLayout));
    }
    else
    {
        QFile file(strLayout);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(baContents), qint64(baContents.size()));
        file.close();
        if (nKind == LAYOUT_UNREADABLE)
            QVERIFY(file.setPermissions(QFileDevice::WriteOwner));
    }

    CRun run;
    run.Start(strCopy, MakeEnv(true));
    QVERIFY(run.m_process.waitForStarted(s_nTimeoutMs));
    DismissBox(run);
    QVERIFY(!QTest::currentTestFailed());
    QVERIFY(run.Finish());
    QVERIFY2(qint8(run.m_process.exitCode()) == -1, run.Err().constData());
    QVERIFY2(run.Err().contains(strLayout.toLocal8Bit()), run.Err().constData());
    QVERIFY2(run.Err().contains(baReason), run.Err().constData());
}

void TestStartup::SecondCopyWhileRunning()
{
    CRun first;
    first.Start(m_strProgram, MakeEnv(true));
    QCOMPARE(WaitForWindows(first).size(), 1);

    CRun second;
    second.Start(m_strProgram, MakeEnv(true));
    QVERIFY(second.Finish());
    QVERIFY2(qint8(second.m_process.exitCode()) == -1, second.Err().constData());
    QVERIFY2(second.Err().contains("Vistrel has already been launched !"), second.Err().constData());

    QTRY_VERIFY_WITH_TIMEOUT(first.Err().contains("brought to the front"), s_nTimeoutMs);
    QCOMPARE(FindWindows(false).size() >= 1, true);
    QCOMPARE(FindWindows(true).size(), 1);
    QCOMPARE(first.m_process.state(), QProcess::Running);
}

void TestStartup::SecondCopyWhileStarting()
{
    const QString strSocket = m_pRuntimeDir->path() + QStringLiteral("/Vistrel");
    // A copy that did not end normally leaves its lock and socket behind,
    // which would look like the next one listening already.
    auto ForgetDeadCopy = [&] {
        QFile::remove(strSocket);
        QFile::remove(m_pRuntimeDir->path() + QStringLiteral("/Vistrel.lock"));
    };
    // Hold the first copy still once it listens; if it was already too far
    // along to have no window yet, try again.
    for (int nAttempt = 0; nAttempt < 5; ++nAttempt)
    {
        CRun first;
        first.Start(m_strProgram, MakeEnv(true));
        QVERIFY(first.m_process.waitForStarted(s_nTimeoutMs));
        // Polled closely: the copy is to be caught early in its start-up.
        QDeadlineTimer deadline(s_nTimeoutMs);
        while (!QFileInfo::exists(strSocket) && !deadline.hasExpired())
            QThread::usleep(200);
        QVERIFY(QFileInfo::exists(strSocket));
        const pid_t nPid = pid_t(first.m_process.processId());
        QCOMPARE(::kill(nPid, SIGSTOP), 0);
        if (!FindWindows(false).isEmpty())
        {
            ::kill(nPid, SIGCONT);
            first.m_process.kill();
            QVERIFY(first.Finish());
            ForgetDeadCopy();
            continue;
        }

        CRun second;
        second.Start(m_strProgram, MakeEnv(true));
        QVERIFY(second.Finish());
        QVERIFY2(qint8(second.m_process.exitCode()) == -1, second.Err().constData());
        QVERIFY2(second.Err().contains("Vistrel has already been launched !"), second.Err().constData());

        QCOMPARE(::kill(nPid, SIGCONT), 0);
        QTRY_VERIFY_WITH_TIMEOUT(FindWindows(true).size() == 1 || first.LostDisplay(), s_nTimeoutMs);
        if (first.LostDisplay())
        {
            qWarning("the held copy could not reach the X server; trying again:\n%s", first.Err().constData());
            ForgetDeadCopy();
            continue;
        }
        QTRY_VERIFY_WITH_TIMEOUT(first.Err().contains("brought to the front"), s_nTimeoutMs);
        return;
    }
    QSKIP("the first copy could never be held before its window came up");
}

void TestStartup::CloseSavesAndReleases()
{
    // The channel assignments live in memory and are written at shutdown only.
    const QString strSettings = QProcessEnvironment::systemEnvironment().value(QStringLiteral("XDG_CONFIG_HOME")) +
                                QStringLiteral("/Ostrana/Vistrel V2.1.conf");
    QFile::remove(strSettings);

    CRun run;
    run.Start(m_strProgram, MakeEnv(true));
    const QStringList astrWindows = WaitForWindows(run);
    QCOMPARE(astrWindows.size(), 1);

    QProcess closer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
    closer.setProcessEnvironment(env);
    closer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vistrel_wm_close"), {astrWindows.first()});
    QVERIFY(closer.waitForFinished(s_nTimeoutMs));
    QCOMPARE(closer.exitCode(), 0);

    QVERIFY(run.Finish());
    QCOMPARE(run.m_process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(run.m_process.exitCode() == 0, run.Err().constData());

    QSettings settings(strSettings, QSettings::IniFormat);
    QVERIFY2(settings.contains(QStringLiteral("channel_0")), qPrintable(strSettings));
    QVERIFY(!QFile::exists(m_pRuntimeDir->path() + QStringLiteral("/Vistrel.lock")));
    QVERIFY(!QFile::exists(m_pRuntimeDir->path() + QStringLiteral("/Vistrel")));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_app_startup.moc"
