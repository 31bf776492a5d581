// The tests' X server with several monitors side by side
// (scripts/services/xdummy-multihead.sh: Xorg with the dummy driver, with
// DPMS where the test module was built). Started with plain C calls, so
// that a test can start it before its application object exists and point
// Qt at it. The test target defines VISTREL_XDUMMY_SCRIPT, and
// VISTREL_XDUMMY_DPMS_MODULE when the module exists.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <cstdio>

class CXDummyServer
{
public:
    CXDummyServer() = default;
    ~CXDummyServer() { Stop(); }
    CXDummyServer(const CXDummyServer&) = delete;
    CXDummyServer& operator=(const CXDummyServer&) = delete;

    // strSizes: the monitors left to right, such as "1280x720,1024x768".
    // The display is VISTREL_TEST_XDISPLAY when set, else a free one. False
    // when the server does not start; GetError then says why.
    bool Start(const QString& strWorkDir, const QString& strSizes)
    {
        m_strWorkDir = strWorkDir;
        const QByteArray baDisplay =
            qEnvironmentVariableIsSet("VISTREL_TEST_XDISPLAY") ? qgetenv("VISTREL_TEST_XDISPLAY") : "auto";
        const QByteArray baCommand =
            QStringLiteral("XDUMMY_DPMS_MODULE='%1' '%2' start '%3' %4 %5 2>&1")
                .arg(DpmsModule(), ScriptPath(), strWorkDir, QString::fromLatin1(baDisplay), strSizes)
                .toLocal8Bit();
        FILE* pPipe = popen(baCommand.constData(), "r");
        if (!pPipe)
        {
            m_strError = QStringLiteral("cannot run %1").arg(ScriptPath());
            return false;
        }
        QByteArray baOutput;
        char acBuffer[256];
        while (fgets(acBuffer, sizeof(acBuffer), pPipe))
            baOutput += acBuffer;
        const int nStatus = pclose(pPipe);
        for (const QByteArray& baLine : baOutput.split('\n'))
        {
            if (nStatus == 0 && baLine.startsWith("DISPLAY="))
                m_strDisplay = QString::fromLocal8Bit(baLine.mid(8));
        }
        if (m_strDisplay.isEmpty())
            m_strError = QStringLiteral("the multi-monitor X server did not start: %1").arg(QString(baOutput));
        return !m_strDisplay.isEmpty();
    }

    void Stop()
    {
        if (m_strDisplay.isEmpty())
            return;
        m_strDisplay.clear();
        if (QProcess::execute(ScriptPath(), {QStringLiteral("stop"), m_strWorkDir}) != 0)
            std::fprintf(stderr, "stopping the X server failed\n");
    }

    // ":N" while it runs.
    const QString& GetDisplay() const { return m_strDisplay; }
    const QString& GetError() const { return m_strError; }

    // Whether the server was given DPMS.
    static bool HasDpms() { return !DpmsModule().isEmpty(); }

    // Runs an X client such as xrandr or xset on this server; true when it
    // ends with 0.
    bool RunClient(const QString& strProgram, const QStringList& astrArgs, int nTimeoutMs = 20000) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
        process.setProcessEnvironment(env);
        process.start(strProgram, astrArgs);
        return process.waitForFinished(nTimeoutMs) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

private:
    static QString ScriptPath() { return QStringLiteral(VISTREL_XDUMMY_SCRIPT); }
    static QString DpmsModule()
    {
#ifdef VISTREL_XDUMMY_DPMS_MODULE
        return QStringLiteral(VISTREL_XDUMMY_DPMS_MODULE);
#else
        return QString();
#endif
    }

    QString m_strWorkDir;
    QString m_strDisplay;
    QString m_strError;
};
