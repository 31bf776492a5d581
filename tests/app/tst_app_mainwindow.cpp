// The main window on virtual cameras: first-start size, stored geometry,
// coming to the front on request, and live channel pictures.
#include "AppInfo.h"
#include "CKVCapture.h"
#include "CRenderWidget.h"
#include "CSettings.h"
#include "CVistrel.h"

#include <QApplication>
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
    void ShowUpRestoresMinimised();
    void ShowUpKeepsMaximised();
    void ChannelsShowPictures();
};

void TestMainWindow::initTestCase()
{
    Q_INIT_RESOURCE(vistrel);
    InitAppTexts();
    QVERIFY(g_capture.Init());
    g_settings.LoadAssignments(g_capture.GetOrderedDeviceCount(),
                               [](int nDevice) { return g_capture.IsDeviceOrdered(nDevice); });
}

void TestMainWindow::cleanupTestCase()
{
    g_capture.Uninit();
}

void TestMainWindow::cleanup()
{
    // Each window opens the assigned channels for itself.
    for (int i = 0; i < 6; ++i)
        g_capture.CloseChannel(i);
}

void TestMainWindow::FirstStart()
{
    g_settings.SetFrameGeometry(QByteArray());
    CVistrel wnd;
    QCOMPARE(wnd.size(), QSize(1150, 650));
    QCOMPARE(wnd.windowTitle(), QStringLiteral("Ostrana Vistrel V2.1"));
    QVERIFY(!wnd.windowIcon().isNull());
    QVERIFY(wnd.windowFlags() & Qt::WindowMinimizeButtonHint);
}

void TestMainWindow::StoredGeometry()
{
    QByteArray baGeometry;
    {
        CVistrel wnd;
        wnd.resize(800, 500);
        wnd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wnd, 20000));
        baGeometry = wnd.saveGeometry();
    }
    g_settings.SetFrameGeometry(baGeometry);
    CVistrel wnd;
    QCOMPARE(wnd.size(), QSize(800, 500));
    g_settings.SetFrameGeometry(QByteArray());
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

void TestMainWindow::ChannelsShowPictures()
{
    int nAssigned = 0;
    for (int i = 0; i < 6; ++i)
        if (g_settings.GetChannelDevice(i) != -1)
            ++nAssigned;
    QVERIFY(nAssigned > 0);

    CVistrel wnd;
    wnd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wnd, 20000));
    const QList<CRenderWidget*> apPreviews = wnd.findChildren<CRenderWidget*>();
    QCOMPARE(apPreviews.size(), 6);
    auto CountPictures = [&apPreviews] {
        int nCount = 0;
        for (const CRenderWidget* pPreview : apPreviews)
            if (pPreview->HasPicture())
                ++nCount;
        return nCount;
    };
    QTRY_COMPARE_WITH_TIMEOUT(CountPictures(), nAssigned, 30000);
}

QTEST_MAIN(TestMainWindow)
#include "tst_app_mainwindow.moc"
