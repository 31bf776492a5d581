// The main window on virtual cameras: first-start size, stored geometry, the
// close guard's questions, the RTMP field check, engine errors and coming to
// the front on request.
#include "common/AppInfo.h"
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "app/CMainWnd.h"
#include "config/CSettings.h"
#include "app/CVistrel.h"
#include "ModalAnswer.h"
#include "ProgramFixture.h"
#include "platform/CrashReport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void FirstStart();
    void StoredGeometry();
    void CloseWithoutSession();
    void CloseDuringSession_data();
    void CloseDuringSession();
    void StartDisabledWithoutOutputs();
    void RtmpFieldCheck_data();
    void RtmpFieldCheck();
    void EngineErrorFromAnotherThread();
    void ShowUpRestoresMinimised();
    void ShowUpKeepsMaximised();
    void LastCrashNamedOnce();

private:
    static QAction* FindAction(const CVistrel& wnd, const QString& strText);
    static void SetPush(int nPush, const QString& strPort = QStringLiteral("1935"));
};

void TestMainWindow::initTestCase()
{
    QVERIFY(ProgramFixture::StartProgram());
}

void TestMainWindow::cleanupTestCase()
{
    ProgramFixture::StopProgram();
}

void TestMainWindow::cleanup()
{
    // Each window opens the assigned channels for itself.
    for (int i = 0; i < 6; ++i)
        g_capture.CloseChannel(i);
    g_settings.SetFrameGeometry(QByteArray());
    g_settings.SetRecord(true);
    SetPush(0);
}

QAction* TestMainWindow::FindAction(const CVistrel& wnd, const QString& strText)
{
    for (QAction* pAction : wnd.findChildren<QAction*>())
        if (pAction->text() == strText)
            return pAction;
    return nullptr;
}

void TestMainWindow::SetPush(int nPush, const QString& strPort)
{
    g_settings.SetRtmpServer(nPush, QStringLiteral("127.0.0.1"), strPort, QStringLiteral("test"),
                             QStringLiteral("rtmp://127.0.0.1:%1/live/test").arg(strPort));
}

void TestMainWindow::FirstStart()
{
    CVistrel wnd;
    QCOMPARE(wnd.size(), QSize(1150, 650));
    QCOMPARE(wnd.windowTitle(), QStringLiteral("Ostrana Vistrel V2.1"));
    QVERIFY(!wnd.windowIcon().isNull());
    QVERIFY(wnd.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(wnd.centralWidget(), static_cast<QWidget*>(wnd.GetOutputPanel()));

    // Nothing runs yet, so there is nothing to stop.
    QVERIFY(FindAction(wnd, QStringLiteral("&Start"))->isEnabled());
    QVERIFY(!FindAction(wnd, QStringLiteral("&Stop"))->isEnabled());
}

void TestMainWindow::StoredGeometry()
{
    // Geometry is stored when the user confirms closing during a session.
    {
        CVistrel wnd;
        wnd.resize(1200, 700);
        wnd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wnd, 20000));
        wnd.OnRecordStarted(QStringLiteral("2024.05.06 07.08.09.mp4"));
        CModalAnswer answer(QStringLiteral("Yes"));
        QVERIFY(wnd.close());
        QVERIFY(answer.m_bSeen);
    }
    QVERIFY(!g_settings.GetFrameGeometry().isEmpty());
    CVistrel wnd;
    QCOMPARE(wnd.size(), QSize(1200, 700));
}

void TestMainWindow::CloseWithoutSession()
{
    CVistrel wnd;
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd, 20000));
    // Any box would be answered and noted; none may come.
    CModalAnswer answer(QStringLiteral("No"));
    QVERIFY(wnd.close());
    QVERIFY(!answer.m_bSeen);
    QVERIFY(!wnd.isVisible());
    QVERIFY(g_settings.GetFrameGeometry().isEmpty());
}

void TestMainWindow::CloseDuringSession_data()
{
    QTest::addColumn<bool>("bRecord");
    QTest::addColumn<int>("nPush");
    QTest::addColumn<QString>("strQuestion");
    QTest::newRow("recording") << true << 0 << QStringLiteral("Do you confirm to close application on recording?");
    QTest::newRow("recording and streaming")
        << true << 1 << QStringLiteral("Do you confirm to close application on recording and streaming?");
    QTest::newRow("streaming") << false << 1 << QStringLiteral("Do you confirm to close application on streaming?");
}

void TestMainWindow::CloseDuringSession()
{
    QFETCH(bool, bRecord);
    QFETCH(int, nPush);
    QFETCH(QString, strQuestion);
    g_settings.SetRecord(bRecord);
    SetPush(nPush);

    CVistrel wnd;
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd, 20000));
    QAction* pStart = FindAction(wnd, QStringLiteral("&Start"));
    QAction* pStop = FindAction(wnd, QStringLiteral("&Stop"));
    wnd.OnRecordStarted(QStringLiteral("2024.05.06 07.08.09.mp4"));
    QVERIFY(!pStart->isEnabled());
    QVERIFY(pStop->isEnabled());

    {
        CModalAnswer answer(QStringLiteral("No"));
        QVERIFY(!wnd.close());
        QVERIFY(answer.m_bSeen);
        QCOMPARE(answer.m_strText, strQuestion);
        QCOMPARE(answer.m_strTitle, QStringLiteral("Ostrana Vistrel V2.1"));
        QCOMPARE(answer.m_astrButtons, QStringList({QStringLiteral("Yes"), QStringLiteral("No")}));
        QVERIFY(answer.m_bHasParent);
    }
    // "No" keeps the window and the session.
    QVERIFY(wnd.isVisible());
    QVERIFY(pStop->isEnabled());
    QVERIFY(g_settings.GetFrameGeometry().isEmpty());

    {
        CModalAnswer answer(QStringLiteral("Yes"));
        QVERIFY(wnd.close());
        QVERIFY(answer.m_bSeen);
    }
    // "Yes" stops the session through the panel and keeps the geometry.
    QVERIFY(!wnd.isVisible());
    QVERIFY(pStart->isEnabled());
    QVERIFY(!pStop->isEnabled());
    QVERIFY(!g_settings.GetFrameGeometry().isEmpty());
}

void TestMainWindow::StartDisabledWithoutOutputs()
{
    g_settings.SetRecord(false);
    SetPush(0);
    {
        CVistrel wnd;
        QVERIFY(!FindAction(wnd, QStringLiteral("&Start"))->isEnabled());
        QVERIFY(!wnd.GetOutputPanel()->findChild<QPushButton*>(QStringLiteral("buttonStart"))->isEnabled());
        // The Settings tab turns it on again once something is to be made.
        wnd.EnableStart(true);
        QVERIFY(FindAction(wnd, QStringLiteral("&Start"))->isEnabled());
        QVERIFY(wnd.GetOutputPanel()->findChild<QPushButton*>(QStringLiteral("buttonStart"))->isEnabled());
    }
    SetPush(1);
    CVistrel wnd;
    QVERIFY(FindAction(wnd, QStringLiteral("&Start"))->isEnabled());
}

void TestMainWindow::RtmpFieldCheck_data()
{
    QTest::addColumn<int>("nPush");
    QTest::addColumn<QString>("strAddress");
    QTest::addColumn<QString>("strPort");
    QTest::addColumn<QString>("strStream");
    QTest::addColumn<QString>("strMessage");
    QTest::newRow("no push, fields ignored") << 0 << "bad"
                                             << "0"
                                             << "a b" << QString();
    QTest::newRow("valid") << 1 << "127.0.0.1"
                           << "1935"
                           << "live-1_a" << QString();
    QTest::newRow("port 0") << 1 << "127.0.0.1"
                            << "0"
                            << "test"
                            << "RTMP port is invalid!";
    QTest::newRow("address checked first") << 1 << ""
                                           << "0"
                                           << ""
                                           << "RTMP IP address is invalid!";
}

void TestMainWindow::RtmpFieldCheck()
{
    QFETCH(int, nPush);
    QFETCH(QString, strAddress);
    QFETCH(QString, strPort);
    QFETCH(QString, strStream);
    QFETCH(QString, strMessage);
    g_settings.SetRtmpServer(nPush, strAddress, strPort, strStream, QStringLiteral("rtmp://x"));

    CVistrel wnd;
    CModalAnswer answer(QStringLiteral("Yes"));
    const int nResult = wnd.CheckRtmpSettings(0);
    QCOMPARE(nResult, strMessage.isEmpty() ? 1 : 0);
    QCOMPARE(answer.m_bSeen, !strMessage.isEmpty());
    if (answer.m_bSeen)
    {
        QCOMPARE(answer.m_strText, strMessage);
        QCOMPARE(answer.m_astrButtons, QStringList({QStringLiteral("Yes")}));
        QCOMPARE(answer.m_icon, QMessageBox::Critical);
    }
}

void TestMainWindow::EngineErrorFromAnotherThread()
{
    CVistrel wnd;
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd, 20000));
    wnd.OnRecordStarted(QStringLiteral("2024.05.06 07.08.09.mp4"));
    QAction* pStop = FindAction(wnd, QStringLiteral("&Stop"));
    QVERIFY(pStop->isEnabled());

    // Codes other than 1 and 2 are not errors the window knows.
    {
        std::thread engine([&wnd] { wnd.OnError(7); });
        engine.join();
        CModalAnswer answer(QStringLiteral("OK"));
        QCoreApplication::processEvents();
        QVERIFY(!answer.m_bSeen);
        QVERIFY(pStop->isEnabled());
    }

    CModalAnswer answer(QStringLiteral("OK"));
    std::thread engine([&wnd] { wnd.OnError(2); });
    engine.join();
    QTRY_VERIFY_WITH_TIMEOUT(answer.m_bSeen, 20000);
    QCOMPARE(answer.m_strText, QStringLiteral("Write file fail ! Recording has been stopped !\n"));
    // The session was stopped before the message.
    QVERIFY(!pStop->isEnabled());
}

void TestMainWindow::ShowUpRestoresMinimised()
{
    CVistrel wnd;
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd, 20000));
    wnd.showMinimized();
    QTRY_VERIFY_WITH_TIMEOUT(wnd.isMinimized(), 20000);

    // The request comes from the watcher thread in the program.
    std::thread requester([&wnd] { emit wnd.signalShowUp(); });
    requester.join();
    QTRY_VERIFY_WITH_TIMEOUT(!wnd.isMinimized(), 20000);
    QVERIFY(wnd.isVisible());
    QVERIFY(!wnd.isMaximized());
}

void TestMainWindow::ShowUpKeepsMaximised()
{
    CVistrel wnd;
    wnd.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd, 20000));
    wnd.setWindowState(Qt::WindowMinimized | Qt::WindowMaximized);
    QTRY_VERIFY_WITH_TIMEOUT(wnd.isMinimized(), 20000);

    std::thread requester([&wnd] { emit wnd.signalShowUp(); });
    requester.join();
    QTRY_VERIFY_WITH_TIMEOUT(!wnd.isMinimized(), 20000);
    QVERIFY(wnd.isMaximized());
}

// A report left by a crashed run is named in the status bar at the next
// start, and only then.
void TestMainWindow::LastCrashNamedOnce()
{
    QTemporaryDir dirState;
    qputenv("XDG_STATE_HOME", QFile::encodeName(dirState.path()));
    QVERIFY(QDir().mkpath(CrashReport::GetFolder()));
    const QString strReport = CrashReport::GetFolder() + QStringLiteral("/crash-1900000000-42.txt");
    QFile file(strReport);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        CVistrel wnd;
        QVERIFY2(wnd.statusBar()->currentMessage().endsWith(strReport), qPrintable(wnd.statusBar()->currentMessage()));
    }
    CVistrel wnd;
    QCOMPARE(wnd.statusBar()->currentMessage(), QString());
    qunsetenv("XDG_STATE_HOME");
}

QTEST_MAIN(TestMainWindow)
#include "tst_app_mainwindow.moc"
