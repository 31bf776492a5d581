// An X server of the test's own: Xvfb picks a free display and says which
// (-displayfd), so parallel runs never share one. Stopped when destroyed.
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
                        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"), strScreen});
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

private:
    QProcess m_process;
    QString m_strDisplay;
};
