// The tab window as the output panel uses it: the Device tab comes first and
// runs its previews inside the tab widget, output start and stop lock and
// unlock it, and a rebuilt mixer gets its channels back.
#include "ui/tabs/CTabPreview.h"
#include "ui/tabs/CTabWnd.h"
#include "UiTestUtil.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>

using namespace UiTest;

class TestTabWnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void deviceTabFirstWithLivePreviews();
    void controlsLockedWhileOutputRuns();
    void replaceChannelsAfterMixerRebuild();
    void everyPageFitsTheTabWindowWidth();

private:
    std::unique_ptr<CVideoWnd> m_pOutput;
    std::unique_ptr<CTabWnd> m_pTabWnd;
};

void TestTabWnd::initTestCase()
{
    QVERIFY(g_layout.Load());
}

void TestTabWnd::init()
{
    ResetSettings();
    QVERIFY(StartEngine("2"));
    m_pOutput = StartOutput();
    QVERIFY(m_pOutput);
    m_pTabWnd.reset(new CTabWnd(nullptr, nullptr));
    m_pTabWnd->resize(440, 600);
    m_pTabWnd->show();
}

void TestTabWnd::cleanup()
{
    g_capture.Uninit();
    m_pTabWnd.reset();
    m_pOutput.reset();
}

void TestTabWnd::deviceTabFirstWithLivePreviews()
{
    QTabWidget* pTabs = m_pTabWnd->GetTabWidget();
    QVERIFY(pTabs->count() >= 1);
    QCOMPARE(pTabs->tabText(0), QStringLiteral("Device"));
    QCOMPARE(pTabs->widget(0), static_cast<QWidget*>(m_pTabWnd->GetDeviceTab()));
    QCOMPARE(m_pTabWnd->GetDeviceCallback(), static_cast<IDeviceCallback*>(m_pTabWnd->GetDeviceTab()));

    // Moved into the tab widget, the previews still get their channels' pictures.
    CTabPreview* pDevice = m_pTabWnd->GetDeviceTab();
    for (int nChannel = 0; nChannel < 2; ++nChannel)
    {
        QVERIFY(g_capture.IsChannelPlaced(nChannel));
        QTRY_VERIFY_WITH_TIMEOUT(pDevice->GetVideoWnd(nChannel)->HasPicture(), WAIT_MS);
    }
    QTRY_VERIFY_WITH_TIMEOUT(m_pOutput->HasPicture(), WAIT_MS);
}

void TestTabWnd::controlsLockedWhileOutputRuns()
{
    CTabPreview* pDevice = m_pTabWnd->GetDeviceTab();
    QVERIFY(!pDevice->IsBusy());
    m_pTabWnd->SetControlsEnabled(false);
    QVERIFY(pDevice->IsBusy());
    m_pTabWnd->SetControlsEnabled(true);
    QVERIFY(!pDevice->IsBusy());
}

void TestTabWnd::replaceChannelsAfterMixerRebuild()
{
    QVERIFY(g_capture.CreateMixer(OUTPUT_WIDTH, OUTPUT_HEIGHT, FRAME_DURATION_25, m_pOutput->GetWindowHandle()));
    QVERIFY(!g_capture.IsChannelPlaced(0));
    QVERIFY(!g_capture.IsChannelPlaced(1));

    m_pTabWnd->ReplaceChannels();
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));
    QCOMPARE(CaptureSize(1), PositionRect(1, 1).size());
    m_pOutput->ClearPicture();
    QTRY_VERIFY_WITH_TIMEOUT(m_pOutput->HasPicture(), WAIT_MS);
}

void TestTabWnd::everyPageFitsTheTabWindowWidth()
{
    // The width the main window gives the tab window.
    m_pTabWnd->setFixedWidth(440);
    QTabWidget* pTabs = m_pTabWnd->GetTabWidget();
    QCOMPARE(pTabs->count(), 5);
    for (int nIndex = 0; nIndex < pTabs->count(); ++nIndex)
    {
        pTabs->setCurrentIndex(nIndex);
        QScrollArea* pArea = qobject_cast<QScrollArea*>(pTabs->widget(nIndex));
        if (!pArea)
            continue;
        QTRY_VERIFY(pArea->viewport()->width() > 0);
        // Layouts settle in the event loop after the page is shown.
        QTRY_VERIFY2(!pArea->horizontalScrollBar()->isVisible(),
                     qPrintable(QStringLiteral("%1 needs %2, has %3")
                                    .arg(pTabs->tabText(nIndex))
                                    .arg(pArea->widget()->minimumSizeHint().width())
                                    .arg(pArea->viewport()->width())));
    }
}

QTEST_MAIN(TestTabWnd)
#include "tst_ui_tabwnd.moc"
