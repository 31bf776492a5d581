// Studio mode in the main window on two virtual cameras: the keys reach
// their actions whichever tab has the focus, the tally on the channel boxes
// and in the runtime file follows a take, and the panel fits its default size
// in each language.
#include "app/CMainWnd.h"
#include "app/CVistrel.h"
#include "common/TallyFile.h"
#include "config/CSettings.h"
#include "config/SceneSettings.h"
#include "engine/CKVCapture.h"
#include "ui/tabs/CTabPreview.h"
#include "ui/tabs/CTabWnd.h"
#include "ui/windows/CVideoWnd.h"
#include "ProgramFixture.h"
#include "TestFrameSink.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <algorithm>
#include <atomic>

namespace
{
const int WAIT_MS = 20000;

QByteArray ReadTally()
{
    QFile file(Tally::FilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Pixels lighter than black: on an empty picture, those of overlays.
int LitPixels(const SYuyvPicture& picture)
{
    int nLit = 0;
    for (int y = 0; y < picture.nHeight; ++y)
        for (int x = 0; x < picture.nWidth; ++x)
            nLit += picture.Y(x, y) > 24 ? 1 : 0;
    return nLit;
}

// Which of the two cameras are on Program and on Preview, as "P-" style
// pairs: "12/1-" is both on air, camera 1 alone in Preview.
QString Scenes()
{
    QString str;
    for (int n = 0; n < 2; ++n)
        str += g_capture.IsChannelOnProgram(n) ? QChar('1' + n) : QChar('-');
    str += QLatin1Char('/');
    for (int n = 0; n < 2; ++n)
        str += g_capture.IsChannelOnPreview(n) ? QChar('1' + n) : QChar('-');
    return str;
}
}

class TestStudio : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void keysFromEveryTab_data();
    void keysFromEveryTab();
    void normalModeKeys();
    void tallyFollowsTake();
    void typedCaptionWaitsForTake();
    void nextStartPutsProgramOnAir();
    void fitsDefaultSize_data();
    void fitsDefaultSize();

private:
    // A shown, active main window in studio mode when bStudio.
    void Open(CVistrel& wnd, bool bStudio);

    QTemporaryDir m_runtime;
    // The layout, positions and overlays each case starts from; the keys
    // and takes change them in the settings.
    SSceneSettings m_sceneStart;
};

void TestStudio::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    QVERIFY(ProgramFixture::StartProgram());
    m_sceneStart = ReadSceneSettings(g_settings);
}

void TestStudio::cleanupTestCase()
{
    ProgramFixture::StopProgram();
}

void TestStudio::cleanup()
{
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
        g_capture.CloseChannel(i);
    g_settings.SetStudioMode(false);
    g_settings.SetFrameGeometry(QByteArray());
    WriteSceneSettings(g_settings, m_sceneStart);
    g_settings.SetCaption(QString());
    g_settings.SetTimeOpt(1, 0, 0, 0);
}

void TestStudio::Open(CVistrel& wnd, bool bStudio)
{
    wnd.show();
    wnd.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&wnd, WAIT_MS));
    // Both cameras on air, as the stored layout places them.
    QTRY_VERIFY_WITH_TIMEOUT(Scenes() == QStringLiteral("12/--"), WAIT_MS);
    if (!bStudio)
        return;
    QAction* pStudio = wnd.findChild<QAction*>(QStringLiteral("actionStudioMode"));
    QVERIFY(pStudio);
    pStudio->trigger();
    QVERIFY(g_capture.IsStudioMode());
    QTRY_VERIFY_WITH_TIMEOUT(Scenes() == QStringLiteral("12/12"), WAIT_MS);
}

void TestStudio::keysFromEveryTab_data()
{
    QTest::addColumn<int>("nTab");
    QTest::newRow("Device") << 0;
    QTest::newRow("Layout") << 1;
    QTest::newRow("Overlay") << 2;
}

void TestStudio::keysFromEveryTab()
{
    QFETCH(int, nTab);
    CVistrel wnd;
    Open(wnd, true);
    QTabWidget* pTabs = wnd.GetOutputPanel()->GetTabWnd()->GetTabWidget();
    pTabs->setCurrentIndex(nTab);
    pTabs->tabBar()->setFocus();
    QTRY_VERIFY(pTabs->tabBar()->hasFocus());

    // The Device tab shows Preview's positions: camera 2 alone, then,
    // after the take, both cameras as before.
    CTabPreview* pDevices = wnd.GetOutputPanel()->GetTabWnd()->GetDeviceTab();
    const int nFirstBefore = pDevices->GetPositionCombo(0)->currentIndex();
    const int nSecondBefore = pDevices->GetPositionCombo(1)->currentIndex();
    QTest::keyClick(pTabs->tabBar(), Qt::Key_2);
    QTRY_COMPARE_WITH_TIMEOUT(Scenes(), QStringLiteral("12/-2"), WAIT_MS);
    QCOMPARE(pDevices->GetPositionCombo(0)->currentIndex(), 0);
    QCOMPARE(pDevices->GetPositionCombo(1)->currentIndex(), 1);
    QTest::keyClick(pTabs->tabBar(), Qt::Key_Space);
    QTRY_COMPARE_WITH_TIMEOUT(Scenes(), QStringLiteral("-2/12"), WAIT_MS);
    QCOMPARE(pDevices->GetPositionCombo(0)->currentIndex(), nFirstBefore);
    QCOMPARE(pDevices->GetPositionCombo(1)->currentIndex(), nSecondBefore);
    QTest::keyClick(pTabs->tabBar(), Qt::Key_1, Qt::ControlModifier);
    // Camera 1 alone on air; what was on air went to Preview.
    QTRY_COMPARE_WITH_TIMEOUT(Scenes(), QStringLiteral("1-/-2"), WAIT_MS);

    // A text field keeps its digits and spaces.
    QLineEdit* pEdit = pTabs->currentWidget()->findChild<QLineEdit*>();
    if (!pEdit)
        return;
    pEdit->setFocus();
    QTRY_VERIFY(pEdit->hasFocus());
    const QString strBefore = pEdit->text();
    QTest::keyClick(pEdit, Qt::Key_2);
    QTest::keyClick(pEdit, Qt::Key_Space);
    QCOMPARE(pEdit->text().size(), strBefore.size() + 2);
    QCOMPARE(Scenes(), QStringLiteral("1-/-2"));
}

void TestStudio::normalModeKeys()
{
    CVistrel wnd;
    Open(wnd, false);
    QTabWidget* pTabs = wnd.GetOutputPanel()->GetTabWnd()->GetTabWidget();
    pTabs->tabBar()->setFocus();
    QTRY_VERIFY(pTabs->tabBar()->hasFocus());
    // Take and the Preview keys do nothing without a Preview.
    QTest::keyClick(pTabs->tabBar(), Qt::Key_Space);
    QTest::keyClick(pTabs->tabBar(), Qt::Key_1);
    QCOMPARE(Scenes(), QStringLiteral("12/--"));
    QVERIFY(!wnd.GetOutputPanel()->GetStudioPreviewWnd()->isVisible());
    // Ctrl+2 fades camera 2 in over the whole picture.
    QTest::keyClick(pTabs->tabBar(), Qt::Key_2, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(Scenes(), QStringLiteral("-2/--"), WAIT_MS);
}

void TestStudio::tallyFollowsTake()
{
    CVistrel wnd;
    Open(wnd, true);
    CMainWnd* pPanel = wnd.GetOutputPanel();
    CTabPreview* pDevices = pPanel->GetTabWnd()->GetDeviceTab();
    pPanel->ShowChannelAlone(1, false);
    QTRY_COMPARE_WITH_TIMEOUT(ReadTally(), QByteArray("1 program\n2 program\n3 off\n4 off\n5 off\n6 off\n"), WAIT_MS);
    pPanel->Cut();
    QTRY_COMPARE_WITH_TIMEOUT(ReadTally(), QByteArray("1 preview\n2 program\n3 off\n4 off\n5 off\n6 off\n"), WAIT_MS);
    QTRY_COMPARE(pDevices->GetVideoWnd(0)->GetTally(), int(Tally::STATE_PREVIEW));
    QCOMPARE(pDevices->GetVideoWnd(1)->GetTally(), int(Tally::STATE_PROGRAM));

    // Out of studio mode the boxes look as before; the file stays true.
    pPanel->SetStudioMode(false);
    QTRY_COMPARE_WITH_TIMEOUT(ReadTally(), QByteArray("1 off\n2 program\n3 off\n4 off\n5 off\n6 off\n"), WAIT_MS);
    QTRY_COMPARE(pDevices->GetVideoWnd(1)->GetTally(), int(Tally::STATE_OFF));
}

// Typed into the Overlay tab in studio mode, a caption is on Preview only:
// not one frame on air shows it before Take.
void TestStudio::typedCaptionWaitsForTake()
{
    // Nothing but the caption will light a pixel: no clock, no cameras.
    g_settings.SetTimeOpt(0, 0, 0, 0);
    CTestFrameSink sink;
    CVistrel wnd;
    Open(wnd, false);
    g_capture.RemoveMixerChannel(0);
    g_capture.RemoveMixerChannel(1);
    CMainWnd* pPanel = wnd.GetOutputPanel();
    pPanel->SetStudioMode(true);
    QVERIFY(g_capture.IsStudioMode());
    // Preview starts with the tabs' cameras; they go too.
    g_capture.RemoveMixerChannel(0);
    g_capture.RemoveMixerChannel(1);
    QCOMPARE(Scenes(), QStringLiteral("--/--"));
    QVERIFY(sink.WaitForFrame([](const SYuyvPicture& picture) { return LitPixels(picture) == 0; }));

    std::atomic<int> nMostLit{0};
    sink.SetHook([&] { nMostLit = std::max(nMostLit.load(), LitPixels(sink.Latest())); });
    QTabWidget* pTabs = pPanel->GetTabWnd()->GetTabWidget();
    pTabs->setCurrentIndex(2);
    QLineEdit* pEdit = pTabs->currentWidget()->findChild<QLineEdit*>(QStringLiteral("edtCaption"));
    QVERIFY(pEdit);
    pEdit->setFocus();
    QTest::keyClicks(pEdit, QStringLiteral("ON AIR"));
    QCOMPARE(pEdit->text(), QStringLiteral("ON AIR"));
    const int nFrames = sink.Frames();
    QTRY_VERIFY_WITH_TIMEOUT(sink.Frames() > nFrames + 10, WAIT_MS);
    sink.SetHook(nullptr);
    QCOMPARE(nMostLit.load(), 0);

    pPanel->findChild<QPushButton*>(QStringLiteral("buttonTake"))->click();
    QVERIFY(sink.WaitForFrame([](const SYuyvPicture& picture) { return LitPixels(picture) > 0; }));

    // The tab shows Preview, which now holds the scene without a caption,
    // and follows each take back and forth.
    QCOMPARE(pEdit->text(), QString());
    pPanel->Cut();
    QCOMPARE(pEdit->text(), QStringLiteral("ON AIR"));
    QVERIFY(sink.WaitForFrame([](const SYuyvPicture& picture) { return LitPixels(picture) == 0; }));
    pPanel->Cut();
    QCOMPARE(pEdit->text(), QString());
    QVERIFY(sink.WaitForFrame([](const SYuyvPicture& picture) { return LitPixels(picture) > 0; }));

    // Leaving the mode keeps Program on air, and the tab and the settings
    // show it.
    pPanel->SetStudioMode(false);
    QCOMPARE(pEdit->text(), QStringLiteral("ON AIR"));
    QCOMPARE(g_settings.GetCaption(), QStringLiteral("ON AIR"));
    QVERIFY(sink.WaitForFrame([](const SYuyvPicture& picture) { return LitPixels(picture) > 0; }));
}

// The settings hold Preview's scene while the mode is on; what was on air
// is what the next start must show.
void TestStudio::nextStartPutsProgramOnAir()
{
    SSceneSettings onAir;
    {
        CVistrel wnd;
        Open(wnd, true);
        onAir = ReadSceneSettings(g_settings);
        wnd.GetOutputPanel()->ShowChannelAlone(1, false);
        QTRY_COMPARE_WITH_TIMEOUT(Scenes(), QStringLiteral("12/-2"), WAIT_MS);
        QCOMPARE(g_settings.GetChannelPosition(0), -1);
    }
    const SSceneSettings stored = ReadSceneSettings(g_settings);
    QCOMPARE(stored.nLayout, onAir.nLayout);
    QCOMPARE(stored.anPosition[0], onAir.anPosition[0]);
    QCOMPARE(stored.anPosition[1], onAir.anPosition[1]);
    QVERIFY(g_settings.GetStudioMode());
}

void TestStudio::fitsDefaultSize_data()
{
    QTest::addColumn<QString>("strLang");
    QTest::newRow("English") << "";
    QTest::newRow("Simplified Chinese") << "zh_CN";
    QTest::newRow("Traditional Chinese") << "zh_TW";
}

// At the first start's size, with both monitors: nothing of the panel's
// controls cut off, and the two monitors alike.
void TestStudio::fitsDefaultSize()
{
    QFETCH(QString, strLang);
    QTranslator translator;
    if (!strLang.isEmpty())
    {
        QVERIFY(translator.load(QStringLiteral(":/translations/vistrel_%1.qm").arg(strLang)));
        QCoreApplication::installTranslator(&translator);
    }
    CVistrel wnd;
    Open(wnd, true);
    CMainWnd* pPanel = wnd.GetOutputPanel();
    QWidget* pProgram = pPanel->GetPreviewWnd();
    QWidget* pPreview = pPanel->GetStudioPreviewWnd();
    QTRY_VERIFY(pPreview->isVisible() && pPreview->width() > 0);
    QVERIFY(qAbs(pPreview->width() - pProgram->width()) <= 2);
    for (QWidget* pWidget : pPanel->findChildren<QWidget*>())
    {
        const bool bText = qobject_cast<QLabel*>(pWidget) || qobject_cast<QComboBox*>(pWidget) ||
                           qobject_cast<QAbstractButton*>(pWidget) || qobject_cast<QAbstractSpinBox*>(pWidget);
        if (!bText || !pWidget->isVisible() || pWidget->window() != &wnd || pPanel->GetTabWnd()->isAncestorOf(pWidget))
            continue;
        QVERIFY2(pWidget->width() >= pWidget->sizeHint().width(),
                 qPrintable(QStringLiteral("%1 %2: %3 < %4")
                                .arg(pWidget->metaObject()->className(), pWidget->objectName())
                                .arg(pWidget->width())
                                .arg(pWidget->sizeHint().width())));
    }
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(TestStudio)
#include "tst_app_studio.moc"
