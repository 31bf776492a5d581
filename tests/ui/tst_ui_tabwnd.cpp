// The tab window as the output panel uses it: the Device tab comes first and
// runs its previews inside the tab widget, output start and stop lock and
// unlock it, and a rebuilt mixer gets its channels back.
#include "ui/tabs/CTabPreview.h"
#include "ui/tabs/CTabWnd.h"
#include "UiTestUtil.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest/qtestspontaneevent.h>

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
    void wheelOverAnUnfocusedControlScrollsThePage_data();
    void wheelOverAnUnfocusedControlScrollsThePage();

private:
    // One notch (-120 down, 120 up) over the middle of pWidget, delivered
    // as the window system delivers a turn of the wheel.
    static void TurnWheel(QWidget* pWidget, int nDelta);
    // A combo box's index or a slider's value.
    static int ControlValue(QWidget* pControl);

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

void TestTabWnd::TurnWheel(QWidget* pWidget, int nDelta)
{
    const QPoint ptLocal = pWidget->rect().center();
    QWheelEvent wheel(QPointF(ptLocal), QPointF(pWidget->mapToGlobal(ptLocal)), QPoint(), QPoint(0, nDelta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::sendEvent(pWidget, &wheel);
}

int TestTabWnd::ControlValue(QWidget* pControl)
{
    if (QComboBox* pCombo = qobject_cast<QComboBox*>(pControl))
        return pCombo->currentIndex();
    if (QAbstractSlider* pSlider = qobject_cast<QAbstractSlider*>(pControl))
        return pSlider->value();
    if (QSpinBox* pSpinBox = qobject_cast<QSpinBox*>(pControl))
        return pSpinBox->value();
    return -1;
}

void TestTabWnd::wheelOverAnUnfocusedControlScrollsThePage_data()
{
    QTest::addColumn<QString>("strTab");
    QTest::addColumn<QString>("strControl");
    QTest::addColumn<QString>("strStoredKey");

    QTest::newRow("Settings: key frame") << "Settings"
                                         << "cmbKeyFrame"
                                         << "encoderparam";
    QTest::newRow("Overlay: caption size") << "Overlay"
                                           << "cmbCaptionSize"
                                           << "captionopt";
    QTest::newRow("Overlay: logo size") << "Overlay"
                                        << "sldLogoSize"
                                        << "logo";
    QTest::newRow("Screen: a spin box") << "Screen" << QString() << QString();
}

void TestTabWnd::wheelOverAnUnfocusedControlScrollsThePage()
{
    QFETCH(QString, strTab);
    QFETCH(QString, strControl);
    QFETCH(QString, strStoredKey);

    // Short, so that every page scrolls.
    m_pTabWnd->setFixedSize(440, 260);
    m_pTabWnd->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_pTabWnd.get()));
    QTabWidget* pTabs = m_pTabWnd->GetTabWidget();
    int nTab = -1;
    for (int nIndex = 0; nIndex < pTabs->count(); ++nIndex)
    {
        if (pTabs->tabText(nIndex) == strTab)
            nTab = nIndex;
    }
    QVERIFY(nTab >= 0);
    pTabs->setCurrentIndex(nTab);
    QScrollArea* pArea = qobject_cast<QScrollArea*>(pTabs->widget(nTab));
    QVERIFY(pArea);
    QWidget* pControl = nullptr;
    for (QWidget* pCandidate : pArea->widget()->findChildren<QWidget*>(strControl))
    {
        // Without a name: the first spin box that can be used.
        const bool bKind =
            strControl.isEmpty() ? qobject_cast<QSpinBox*>(pCandidate) != nullptr : ControlValue(pCandidate) >= 0;
        if (!pControl && bKind && pCandidate->isEnabled())
            pControl = pCandidate;
    }
    if (!pControl && !strControl.isEmpty())
        pControl = pArea->widget()->findChild<QWidget*>(strControl);
    QVERIFY(pControl);
    // Without a logo the size slider is off, and an idle control would let
    // any wheel through; it must hold still when it could move.
    pControl->setEnabled(true);
    QScrollBar* pBar = pArea->verticalScrollBar();
    QTRY_VERIFY(pBar->maximum() > 0);
    pArea->ensureWidgetVisible(pControl, 0, 0);
    const int nScroll = pBar->value();
    const int nDelta = nScroll < pBar->maximum() ? -120 : 120;

    // The control merely lies where the pointer passes.
    pTabs->setFocus();
    QVERIFY(!pControl->hasFocus());
    const int nValue = ControlValue(pControl);
    const QVariant varStored = g_settings.value(strStoredKey);
    TurnWheel(pControl, nDelta);
    QCOMPARE(ControlValue(pControl), nValue);
    QVERIFY(!pControl->hasFocus());
    if (!strStoredKey.isEmpty())
        QCOMPARE(g_settings.value(strStoredKey), varStored);
    // The page scrolled instead.
    QVERIFY2(pBar->value() != nScroll, qPrintable(QStringLiteral("stays at %1").arg(nScroll)));

    // Once the user has put the focus on it, the wheel is for the control.
    pControl->setFocus();
    QVERIFY(pControl->hasFocus());
    pArea->ensureWidgetVisible(pControl, 0, 0);
    TurnWheel(pControl, -120);
    if (ControlValue(pControl) == nValue)
        TurnWheel(pControl, 120);
    QVERIFY(ControlValue(pControl) != nValue);
}

QTEST_MAIN(TestTabWnd)
#include "tst_ui_tabwnd.moc"
