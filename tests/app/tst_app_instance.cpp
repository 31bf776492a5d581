// The single-instance lock and the watcher that carries show-up requests.
#include "app/CInstanceWatcher.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

class TestInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void OnlyOneHolder();
    void RequestsBeforeStartArrive();
    void RequestsAfterStartArrive();
    void StopWinsOverQueuedRequests();
    void LeftoversOfACrashedCopy();

private:
    std::unique_ptr<QTemporaryDir> m_pRuntimeDir;
};

void TestInstance::init()
{
    // A runtime folder of our own per case, as a fresh login would give.
    m_pRuntimeDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pRuntimeDir->isValid());
    QFile::setPermissions(m_pRuntimeDir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", m_pRuntimeDir->path().toLocal8Bit());
    QCOMPARE(CInstanceWatcher::GetRuntimeDir(), m_pRuntimeDir->path());
}

void TestInstance::cleanup()
{
    m_pRuntimeDir.reset();
}

void TestInstance::OnlyOneHolder()
{
    {
        CInstanceWatcher first;
        QVERIFY(first.Acquire());
        CInstanceWatcher second;
        QVERIFY(!second.Acquire());
    }
    // Released with its owner.
    CInstanceWatcher third;
    QVERIFY(third.Acquire());
}

void TestInstance::RequestsBeforeStartArrive()
{
    CInstanceWatcher watcher;
    QVERIFY(watcher.Acquire());
    QVERIFY(CInstanceWatcher::RequestShowUp());
    QVERIFY(CInstanceWatcher::RequestShowUp());

    std::atomic<int> nShowUps{0};
    watcher.Start([&nShowUps] { ++nShowUps; });
    QTRY_COMPARE_WITH_TIMEOUT(nShowUps.load(), 2, 20000);
    watcher.Stop();
    QCOMPARE(nShowUps.load(), 2);
}

void TestInstance::RequestsAfterStartArrive()
{
    CInstanceWatcher watcher;
    QVERIFY(watcher.Acquire());
    std::atomic<int> nShowUps{0};
    watcher.Start([&nShowUps] { ++nShowUps; });
    for (int i = 1; i <= 3; ++i)
    {
        QVERIFY(CInstanceWatcher::RequestShowUp());
        QTRY_COMPARE_WITH_TIMEOUT(nShowUps.load(), i, 20000);
    }
    watcher.Stop();
    watcher.Stop();
    QCOMPARE(nShowUps.load(), 3);
}

void TestInstance::StopWinsOverQueuedRequests()
{
    std::atomic<int> nShowUps{0};
    {
        CInstanceWatcher watcher;
        QVERIFY(watcher.Acquire());
        QVERIFY(CInstanceWatcher::RequestShowUp());
        watcher.Stop();
        watcher.Start([&nShowUps] { ++nShowUps; });
    }
    QCOMPARE(nShowUps.load(), 0);
}

void TestInstance::LeftoversOfACrashedCopy()
{
    // A copy that was killed leaves its lock (naming a process that is gone)
    // and its socket file behind; neither may keep the next copy from
    // running or from being reached.
    QProcess gone;
    gone.start(QStringLiteral("true"), QStringList());
    QVERIFY(gone.waitForStarted(20000));
    const qint64 nDeadPid = gone.processId();
    QVERIFY(gone.waitForFinished(20000));

    QFile lock(CInstanceWatcher::GetRuntimeDir() + QStringLiteral("/Vistrel.lock"));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(nDeadPid) + "\nvistrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();
    QFile socketFile(CInstanceWatcher::GetServerName());
    QVERIFY(socketFile.open(QIODevice::WriteOnly));
    socketFile.close();

    CInstanceWatcher watcher;
    QVERIFY(watcher.Acquire());
    std::atomic<int> nShowUps{0};
    watcher.Start([&nShowUps] { ++nShowUps; });
    QVERIFY(CInstanceWatcher::RequestShowUp());
    QTRY_COMPARE_WITH_TIMEOUT(nShowUps.load(), 1, 20000);
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_app_instance.moc"
