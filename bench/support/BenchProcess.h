#pragma once

#include <QMap>
#include <QString>

// User and system CPU time of this process so far, in milliseconds.
double ProcessCpuMs();

// CPU time of each of this process's threads so far, in milliseconds, by
// thread id; with the threads' names ("main" for the user interface's), for
// telling where a figure comes from.
struct SThreadCpu
{
    QString strName;
    double dMs = 0;
};
QMap<int, SThreadCpu> ThreadCpuMs();
// Per thread name, the CPU time the threads took between two readings.
QMap<QString, double> ThreadCpuSpent(const QMap<int, SThreadCpu>& mapBefore, const QMap<int, SThreadCpu>& mapAfter);

// The private configuration folder this run was started with; null in the
// first run, which then calls RestartWithPrivateConfig.
const char* PrivateConfigDir();

// Starts this program again with a private configuration folder, so that a
// benchmark never reads or writes the user's settings; pszName names the
// folder and the message. Returns only when that failed.
void RestartWithPrivateConfig(char** argv, const char* pszName);
