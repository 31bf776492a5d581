// An X server of the test's own: Xvfb picks a free display and says which
// (-displayfd), so parallel runs never share one. Stopped when destroyed.
// -noreset keeps it from regenerating each time its last client leaves, so
// a program started just as the previous one quits finds it ready.
#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>

class CPrivateXvfb
{
public:
    CPrivateXvfb() = default;
    ~CPrivateXvfb() { Stop(); }

    CPrivateXvfb(const CPrivateXvfb&) = delete;
    CPrivateXvfb& operator=(const CPrivateXvfb&) = delete;

    // False when the server does not start or never names its display.
    bool Start(const QString& strScreen = QStringLiteral("1280x800x24"), int nTimeoutMs = 60000)
    {
        m_process.start(QStringLiteral("Xvfb"),
                        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                         QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                         QStringLiteral("0"), strScreen});
        if (!m_process.waitForStarted(nTimeoutMs))
            return false;
        QByteArray baDisplay;
        const QDeadlineTimer deadline(nTimeoutMs);
        while (!baDisplay.contains('\n'))
        {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
            baDisplay += m_process.readAllStandardOutput();
        }
        m_strDisplay = QLatin1Char(':') + QString::fromLatin1(baDisplay.trimmed());
        return true;
    }

    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(30000))
            m_process.kill();
    }

    // ":N" once started.
    const QString& GetDisplay() const { return m_strDisplay; }
    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }

    // For a failure message: whether the server still runs, and the end of
    // what it printed.
    QByteArray Describe()
    {
        m_baErrors += m_process.readAllStandardError();
        const QByteArray baState =
            IsRunning() ? QByteArray("Xvfb running") : "Xvfb exited with " + QByteArray::number(m_process.exitCode());
        return baState + "; its last output: " + m_baErrors.right(2000);
    }

private:
    QProcess m_process;
    QString m_strDisplay;
    QByteArray m_baErrors;
};
