// The projection on real monitors: an X server with three monitors of
// different sizes side by side (scripts/services/xdummy-multihead.sh), the
// engine on virtual cameras, the tab window and the projection controller as
// the program builds them. What each monitor shows is read back from the
// screen.
#include "ui/projection/CProjectionController.h"
#include "ui/tabs/CTabScreen.h"
#include "ui/tabs/CTabWnd.h"
#include "ui/windows/CScreenWnd.h"
#include "ServiceCheck.h"
#include "UiTestUtil.h"

#include <QApplication>
#include <QCheckBox>
#include <QProcess>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace
{
const QColor BACKGROUND(250, 0, 250);
// 4:3 like the test output, so the picture fills its rectangle exactly.
const QRect STORED_RECT(40, 30, 240, 180);

// The server runs for the whole test executable: Qt connects to its display
// once, before the first test.
struct SServer
{
    QString strWorkDir;
    QString strDisplay;
    QString strError;
};

QString ScriptPath()
{
    return QStringLiteral(VISTREL_XDUMMY_SCRIPT);
}

// Runs before the application object exists, so plain C rather than
// QProcess. The output is the line "DISPLAY=:<n>".
SServer StartServer(const QString& strWorkDir)
{
    SServer server;
    server.strWorkDir = strWorkDir;
    const QByteArray baDisplay =
        qEnvironmentVariableIsSet("VISTREL_TEST_XDISPLAY") ? qgetenv("VISTREL_TEST_XDISPLAY") : QByteArray("auto");
    const QByteArray baCommand = QStringLiteral("'%1' start '%2' %3 1280x720,1024x768,800x600 2>&1")
                                     .arg(ScriptPath(), strWorkDir, QString::fromLatin1(baDisplay))
                                     .toLocal8Bit();
    FILE* pPipe = popen(baCommand.constData(), "r");
    if (!pPipe)
    {
        server.strError = QStringLiteral("cannot run %1").arg(ScriptPath());
        return server;
    }
    QByteArray baOutput;
    char acBuffer[256];
    while (fgets(acBuffer, sizeof(acBuffer), pPipe))
        baOutput += acBuffer;
    const int nStatus = pclose(pPipe);
    for (const QByteArray& baLine : baOutput.split('\n'))
    {
        if (nStatus == 0 && baLine.startsWith("DISPLAY="))
            server.strDisplay = QString::fromLocal8Bit(baLine.mid(8));
    }
    if (server.strDisplay.isEmpty())
        server.strError = QStringLiteral("the multi-monitor X server did not start: %1").arg(QString(baOutput));
    return server;
}

void StopServer(const SServer& server)
{
    if (QProcess::execute(ScriptPath(), {QStringLiteral("stop"), server.strWorkDir}) != 0)
        std::fprintf(stderr, "stopping the X server failed\n");
}

SServer* g_pServer = nullptr;
}

class TestProjection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void projectsOnSecondAndThirdMonitor();
    void frameOfAnotherSizeIsSkipped();
    void unplugHidesItsWindow();

private:
    // What monitor nScreen shows, read from the X server.
    static QImage GrabMonitor(int nScreen);
    // The picture is inside rc on the monitor's grab and the background
    // around it.
    static bool ShowsPictureIn(const QImage& image, const QRect& rc);
    QCheckBox* ScreenBox(int nSlot) const;

    QTemporaryDir m_dir;
    QString m_strBackground;
    std::unique_ptr<CVideoWnd> m_pOutput;
    std::unique_ptr<CProjectionController> m_pProjection;
    std::unique_ptr<CTabWnd> m_pTabWnd;
};

void TestProjection::initTestCase()
{
    if (!g_pServer || g_pServer->strDisplay.isEmpty())
        VISTREL_SKIP_WITHOUT_SERVICE(g_pServer ? g_pServer->strError : QStringLiteral("no X server"));
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QCOMPARE(QGuiApplication::screens().size(), 3);
    QVERIFY(g_layout.Load());
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(BACKGROUND);
    m_strBackground = m_dir.filePath(QStringLiteral("background.png"));
    QVERIFY(image.save(m_strBackground));
}

void TestProjection::init()
{
    UiTest::ResetSettings();
    g_settings.SetBgPath(m_strBackground);
    g_settings.SetScreen(true);
    g_settings.SetScreenEnabled(0, true);
    g_settings.SetScreenEnabled(1, true);
    g_settings.SetScreenPos(STORED_RECT.x(), STORED_RECT.y(), STORED_RECT.width(), STORED_RECT.height());

    QVERIFY(UiTest::StartEngine("2"));
    m_pOutput = UiTest::StartOutput();
    QVERIFY(m_pOutput);
    m_pProjection.reset(new CProjectionController);
    QVERIFY(m_pProjection->Init());
    CProjectionController::Publish(m_pProjection.get());
    m_pTabWnd.reset(new CTabWnd(nullptr, nullptr));
    m_pTabWnd->resize(440, 600);
    m_pTabWnd->show();
}

void TestProjection::cleanup()
{
    g_capture.Uninit();
    CProjectionController::Publish(nullptr);
    m_pTabWnd.reset();
    m_pProjection.reset();
    m_pOutput.reset();
}

QImage TestProjection::GrabMonitor(int nScreen)
{
    // The root window covers all monitors, with the first at 0, 0.
    const QRect rc = QGuiApplication::screens().at(nScreen)->geometry();
    return QGuiApplication::primaryScreen()->grabWindow(0, rc.x(), rc.y(), rc.width(), rc.height()).toImage();
}

bool TestProjection::ShowsPictureIn(const QImage& image, const QRect& rc)
{
    // A margin for the edges, where the scaler may blend.
    const int nIn = 6;
    const int nOut = 4;
    const QPoint aOutside[] = {{rc.left() - nOut, rc.center().y()},
                               {rc.left() + rc.width() + nOut, rc.center().y()},
                               {rc.center().x(), rc.top() - nOut},
                               {rc.center().x(), rc.top() + rc.height() + nOut},
                               {2, 2},
                               {image.width() - 3, image.height() - 3}};
    for (const QPoint& pt : aOutside)
    {
        // A rectangle at the monitor's edge has nothing around it there.
        if (image.rect().contains(pt) && image.pixelColor(pt) != BACKGROUND)
            return false;
    }
    QSet<QRgb> setColours;
    for (int y = rc.top() + nIn; y < rc.top() + rc.height() - nIn; y += 7)
    {
        for (int x = rc.left() + nIn; x < rc.left() + rc.width() - nIn; x += 7)
        {
            if (image.pixelColor(x, y) == BACKGROUND)
                return false;
            setColours.insert(image.pixel(x, y));
        }
    }
    // A picture, not a filled rectangle.
    return setColours.size() > 8;
}

QCheckBox* TestProjection::ScreenBox(int nSlot) const
{
    const QString strText = QStringLiteral("Screen %1").arg(nSlot + 1);
    for (QCheckBox* pCheck : m_pTabWnd->GetScreenTab()->findChildren<QCheckBox*>())
    {
        if (pCheck->text() == strText)
            return pCheck;
    }
    return nullptr;
}

void TestProjection::projectsOnSecondAndThirdMonitor()
{
    const QList<QScreen*> listScreens = QGuiApplication::screens();
    // Each projection gets its own scaling of the stored rectangle, rounded
    // down to even values (75 becomes 74 on the 800 x 600 monitor).
    const QRect arcExpected[] = {QRect(128, 96, 768, 576), QRect(100, 74, 600, 450)};
    for (int nSlot = 0; nSlot < 2; ++nSlot)
    {
        CScreenWnd* pWnd = m_pProjection->GetWindow(nSlot);
        QVERIFY(pWnd);
        QVERIFY(pWnd->isVisible());
        QCOMPARE(pWnd->geometry(), listScreens.at(nSlot + 1)->geometry());
        QCOMPARE(m_pProjection->GetRendererRect(nSlot), arcExpected[nSlot]);
        QVERIFY(m_pProjection->IsDrawing(nSlot));
    }
    // Only two monitors besides the first: no third window.
    QVERIFY(!m_pProjection->GetWindow(2));
    QVERIFY(ScreenBox(0)->isEnabled());
    QVERIFY(ScreenBox(1)->isEnabled());
    QVERIFY(!ScreenBox(2)->isEnabled());

    for (int nSlot = 0; nSlot < 2; ++nSlot)
    {
        QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(nSlot + 1), arcExpected[nSlot]), UiTest::WAIT_MS);
    }

    // Moving a control moves the picture on both monitors at once.
    QSpinBox* pSpinLeft = m_pTabWnd->GetScreenTab()->findChildren<QSpinBox*>().value(0);
    QVERIFY(pSpinLeft);
    pSpinLeft->setValue(0);
    const QRect arcMoved[] = {QRect(0, 96, 768, 576), QRect(0, 74, 600, 450)};
    for (int nSlot = 0; nSlot < 2; ++nSlot)
    {
        QCOMPARE(m_pProjection->GetRendererRect(nSlot), arcMoved[nSlot]);
        QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(nSlot + 1), arcMoved[nSlot]), UiTest::WAIT_MS);
    }

    // Unchecking "Screen 2" takes the picture off the third monitor only.
    ScreenBox(1)->setChecked(false);
    QVERIFY(!g_settings.GetScreenEnabled(1));
    QVERIFY(!m_pProjection->GetWindow(1)->isVisible());
    QVERIFY(!m_pProjection->IsDrawing(1));
    QTRY_VERIFY_WITH_TIMEOUT(GrabMonitor(2).pixelColor(10, 10) != BACKGROUND, UiTest::WAIT_MS);
    QVERIFY(m_pProjection->GetWindow(0)->isVisible());
    QVERIFY(m_pProjection->IsDrawing(0));

    // Switching the whole output off hides the rest; on again brings back
    // what is still checked.
    QCheckBox* pEnable = nullptr;
    for (QCheckBox* pCheck : m_pTabWnd->GetScreenTab()->findChildren<QCheckBox*>())
    {
        if (pCheck->text() == QStringLiteral("Enable screen output"))
            pEnable = pCheck;
    }
    QVERIFY(pEnable);
    pEnable->setChecked(false);
    QVERIFY(!m_pProjection->GetWindow(0)->isVisible());
    QVERIFY(!ScreenBox(0)->isEnabled());
    pEnable->setChecked(true);
    QVERIFY(m_pProjection->GetWindow(0)->isVisible());
    QVERIFY(!m_pProjection->GetWindow(1)->isVisible());
}

void TestProjection::frameOfAnotherSizeIsSkipped()
{
    // While the output size changes, frames of the new size can arrive
    // before the renderers are rebuilt. Drawn with the old stride they would
    // be read far past their end (which the sanitizer builds report).
    std::vector<uint8_t> vecSmall(160 * 120 * 2, 0x80);
    for (int i = 0; i < 50; ++i)
        m_pProjection->DrawFrame(vecSmall.data(), 0, 160, 120);
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(1), QRect(128, 96, 768, 576)), UiTest::WAIT_MS);
}

void TestProjection::unplugHidesItsWindow()
{
    CScreenWnd* pWnd = m_pProjection->GetWindow(1);
    QVERIFY(pWnd && pWnd->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(2), QRect(100, 74, 600, 450)), UiTest::WAIT_MS);

    const QString strDisplay = g_pServer->strDisplay;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), strDisplay);
    QProcess xrandr;
    xrandr.setProcessEnvironment(env);
    xrandr.start(QStringLiteral("xrandr"),
                 {QStringLiteral("--output"), QStringLiteral("DUMMY2"), QStringLiteral("--off")});
    QVERIFY(xrandr.waitForFinished(UiTest::WAIT_MS));
    QCOMPARE(xrandr.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 2, UiTest::WAIT_MS);

    // Left visible it would have moved over the operator's window.
    QVERIFY(!pWnd->isVisible());
    QVERIFY(!m_pProjection->IsDrawing(1));
    m_pProjection->ShowScreen(1, true);
    QVERIFY(!pWnd->isVisible());
    QVERIFY(m_pProjection->IsDrawing(0));

    // Plugged in again, it takes part from the next rebuild on.
    xrandr.start(QStringLiteral("xrandr"),
                 {QStringLiteral("--output"), QStringLiteral("DUMMY2"), QStringLiteral("--mode"),
                  QStringLiteral("800x600_multihead"), QStringLiteral("--pos"), QStringLiteral("2304x0")});
    QVERIFY(xrandr.waitForFinished(UiTest::WAIT_MS));
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::screens().size(), 3, UiTest::WAIT_MS);
    m_pProjection->Close();
    m_pProjection->Apply();
    QVERIFY(m_pProjection->GetWindow(1)->isVisible());
    QVERIFY(m_pProjection->IsDrawing(1));
    QTRY_VERIFY_WITH_TIMEOUT(ShowsPictureIn(GrabMonitor(2), QRect(100, 74, 600, 450)), UiTest::WAIT_MS);
}

// Also reached when the test library ends the process itself (for example
// on an unknown test function), so that no server outlives the test.
void StopServerAtExit()
{
    if (g_pServer && !g_pServer->strDisplay.isEmpty())
        StopServer(*g_pServer);
    g_pServer = nullptr;
}

int main(int argc, char* argv[])
{
    QTemporaryDir dirServer;
    static SServer s_server;
    s_server = StartServer(dirServer.path());
    g_pServer = &s_server;
    std::atexit(StopServerAtExit);
    if (!s_server.strDisplay.isEmpty())
    {
        qputenv("DISPLAY", s_server.strDisplay.toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    int nResult = 0;
    {
        QApplication app(argc, argv);
        TestProjection test;
        nResult = QTest::qExec(&test, argc, argv);
    }
    StopServerAtExit();
    return nResult;
}

#include "tst_ui_projection.moc"
