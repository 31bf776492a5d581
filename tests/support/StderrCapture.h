// Collects what the process writes to standard error while it lives, so
// that a test can read the diagnostics of the code it drives.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

class CStderrCapture
{
public:
    CStderrCapture()
    {
        if (!m_file.open())
            return;
        std::fflush(stderr);
        m_nSaved = dup(STDERR_FILENO);
        dup2(m_file.handle(), STDERR_FILENO);
    }
    ~CStderrCapture() { Restore(); }
    CStderrCapture(const CStderrCapture&) = delete;
    CStderrCapture& operator=(const CStderrCapture&) = delete;

    // Ends the capture and gives what was written.
    QByteArray Bytes()
    {
        Restore();
        m_file.seek(0);
        return m_file.readAll();
    }
    QString Text() { return QString::fromLocal8Bit(Bytes()); }

private:
    void Restore()
    {
        if (m_nSaved < 0)
            return;
        std::fflush(stderr);
        dup2(m_nSaved, STDERR_FILENO);
        close(m_nSaved);
        m_nSaved = -1;
    }

    QTemporaryFile m_file;
    int m_nSaved = -1;
};
