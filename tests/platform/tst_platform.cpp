// Free space and writability of folders as the program asks for them,
// compared with what the kernel reports for the same folder.
#include "platform/Platform.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/statvfs.h>
#include <unistd.h>

namespace
{
bool StatAvailable(const QString& strPath, uint64_t& nAvailable)
{
    struct statvfs st
    {
    };
    if (statvfs(QFile::encodeName(strPath).constData(), &st) != 0)
        return false;
    nAvailable = uint64_t(st.f_bavail) * st.f_frsize;
    return true;
}

bool Run(const QString& strProgram, const QStringList& astrArgs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(strProgram, astrArgs);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
}

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void FreeBytesAreTheUsersShare();
    void FolderWritable();
    void ReadOnlyMountIsNotWritable();
};

void TestPlatform::FreeBytesAreTheUsersShare()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Other processes write to the same disk: compare only when the kernel's
    // figure held still around the question.
    // A file made and removed in between can leave the figure the same
    // before and after but not during, so a difference only counts when it
    // never goes away; counting the root's reserve would never match.
    QDeadlineTimer deadline(30000);
    bool bCompared = false;
    uint64_t nFree = 0;
    uint64_t nBefore = 0;
    while (!bCompared && !deadline.hasExpired())
    {
        uint64_t nAfter = 0;
        QVERIFY(StatAvailable(dir.path(), nBefore));
        nFree = Platform::GetFreeBytes(dir.path());
        QVERIFY(StatAvailable(dir.path(), nAfter));
        bCompared = nBefore == nAfter && nFree == nBefore;
    }
    QVERIFY2(bCompared, qPrintable(QStringLiteral("%1 bytes free, %2 available to the user").arg(nFree).arg(nBefore)));

    QCOMPARE(Platform::GetFreeBytes(dir.path() + QStringLiteral("/missing")), uint64_t(0));
}

void TestPlatform::FolderWritable()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(Platform::IsFolderWritable(dir.path()));
    QVERIFY(!Platform::IsFolderWritable(dir.path() + QStringLiteral("/missing")));
    QVERIFY(!Platform::IsFolderWritable(QString()));

    const QString strFile = dir.filePath(QStringLiteral("file"));
    QFile file(strFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(!Platform::IsFolderWritable(strFile));
    QVERIFY(!Platform::IsFolderWritable(strFile + QStringLiteral("/below")));

    // Permission bits stop everyone but root.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    const QString strLocked = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QFile::setPermissions(strLocked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QCOMPARE(Platform::IsFolderWritable(strLocked), geteuid() == 0);
}

void TestPlatform::ReadOnlyMountIsNotWritable()
{
    if (geteuid() != 0)
        QSKIP("mounting needs root");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!Run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                       QStringLiteral("ro,size=1m"), QStringLiteral("tmpfs"), dir.path()}))
        QSKIP("tmpfs cannot be mounted here");
    const bool bWritable = Platform::IsFolderWritable(dir.path());
    QVERIFY(Run(QStringLiteral("umount"), {dir.path()}));
    QVERIFY(!bWritable);
    QVERIFY(Platform::IsFolderWritable(dir.path()));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
