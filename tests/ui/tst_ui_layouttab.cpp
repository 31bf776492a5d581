// The Layout tab inside the tab window, against the real engine on virtual
// cameras: what a tick does is read back from the mixer's composed output,
// where every camera shows its own picture.
#include "../engine/TestFrameSink.h"
#include "ui/tabs/CLayoutItem.h"
#include "ui/tabs/CTabLayout.h"
#include "ui/tabs/CTabPreview.h"
#include "ui/tabs/CTabWnd.h"
#include "UiTestUtil.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTabWidget>

using namespace UiTest;

namespace
{
const int LAYOUT_QUAD = 5;
const int LAYOUT_ONE_ABOVE_TWO = 3;
const int LAYOUT_SINGLE = 0;
const int LAYOUT_PIP = 1;
}

class TestLayoutTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void tickingALayoutMovesTheChannels();
    void untickingTheCurrentLayoutChangesNothing();
    void smallerLayoutAndBackGivesPositionsBack();

private:
    CTabLayout* LayoutTab() const;
    QModelIndex IndexOf(int nLayout) const;
    Qt::CheckState CheckState(int nLayout) const;
    // Clicks across the entry the way a user aims for its check box: every
    // click beside the box must change nothing. False when no click ticked
    // or unticked it.
    bool ClickCheckBox(int nLayout);
    // Freezes every placed channel on its last frame and waits until the
    // output shows channel c's frame in position c's rectangle of nLayout,
    // for nCount channels.
    bool OutputShowsChannels(int nLayout, int nCount);

    std::unique_ptr<CTestFrameSink> m_pSink;
    std::unique_ptr<CVideoWnd> m_pOutput;
    std::unique_ptr<CTabWnd> m_pTabWnd;
};

void TestLayoutTab::initTestCase()
{
    QVERIFY(g_layout.Load());
    QVERIFY(g_layout.GetLayoutCount() > LAYOUT_QUAD);
}

void TestLayoutTab::init()
{
    ResetSettings();
    // The pictures are compared byte for byte: no clock over them.
    g_settings.SetTimeOpt(0, 0, 0, 0);
    m_pSink.reset(new CTestFrameSink);
    // Four cameras: the quad layout on a first run.
    QVERIFY(StartEngine("4"));
    m_pOutput = StartOutput();
    QVERIFY(m_pOutput);
    m_pTabWnd.reset(new CTabWnd(nullptr, nullptr));
    // The width the main window gives the tabs.
    m_pTabWnd->resize(440, 600);
    m_pTabWnd->show();
    m_pTabWnd->GetTabWidget()->setCurrentWidget(LayoutTab());
    QVERIFY(QTest::qWaitForWindowExposed(m_pTabWnd.get()));
}

void TestLayoutTab::cleanup()
{
    g_capture.Uninit();
    m_pTabWnd.reset();
    m_pOutput.reset();
    m_pSink.reset();
}

CTabLayout* TestLayoutTab::LayoutTab() const
{
    return qobject_cast<CTabLayout*>(m_pTabWnd->GetTabWidget()->widget(1));
}

QModelIndex TestLayoutTab::IndexOf(int nLayout) const
{
    return LayoutTab()->GetModel()->index(nLayout, 0);
}

Qt::CheckState TestLayoutTab::CheckState(int nLayout) const
{
    return Qt::CheckState(IndexOf(nLayout).data(Qt::CheckStateRole).toInt());
}

bool TestLayoutTab::ClickCheckBox(int nLayout)
{
    QListView* pView = LayoutTab()->GetListView();
    const QModelIndex index = IndexOf(nLayout);
    pView->scrollTo(index);
    const QRect rect = pView->visualRect(index);
    // The box toggles the entry's check state, even where the tab puts it
    // straight back; any other click changes no data.
    QSignalSpy spyChanged(LayoutTab()->GetModel(), &QStandardItemModel::itemChanged);
    const int nStoredLayout = g_settings.GetLayoutIndex();
    for (int y = rect.bottom(); y >= rect.top(); y -= 2)
    {
        for (int x = rect.left(); x <= rect.right(); x += 2)
        {
            QTest::mouseClick(pView->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, y));
            if (!spyChanged.isEmpty())
                return true;
            if (g_settings.GetLayoutIndex() != nStoredLayout)
                return false;
        }
    }
    return false;
}

bool TestLayoutTab::OutputShowsChannels(int nLayout, int nCount)
{
    std::vector<SYuyvPicture> vecFrames;
    std::vector<QRect> vecRects;
    for (int nChannel = 0; nChannel < nCount; ++nChannel)
    {
        CKVChannel* pChannel = g_capture.GetChannel(nChannel);
        const QRect rect = PositionRect(nLayout, g_settings.GetChannelPosition(nChannel));
        // Placing restarts the capture at the rectangle's size.
        QDeadlineTimer deadline(WAIT_MS);
        while (LatestCaptureFrame(pChannel).IsEmpty() && !deadline.hasExpired())
            QTest::qWait(20);
        pChannel->Stop();
        vecFrames.push_back(LatestCaptureFrame(pChannel));
        vecRects.push_back(rect);
        if (vecFrames.back().IsEmpty() || vecFrames.back().nWidth != rect.width())
            return false;
    }
    QDeadlineTimer deadline(WAIT_MS);
    while (!deadline.hasExpired())
    {
        QTest::qWait(20);
        const SYuyvPicture out = m_pSink->Latest();
        bool bAll = true;
        for (size_t i = 0; i < vecFrames.size() && bAll; ++i)
            bAll = out.Shows(vecFrames[i], vecRects[i].x(), vecRects[i].y());
        if (bAll)
            return true;
    }
    return false;
}

void TestLayoutTab::tickingALayoutMovesTheChannels()
{
    QCOMPARE(m_pTabWnd->GetTabWidget()->tabText(1), QStringLiteral("Layout"));
    QCOMPARE(LayoutTab()->GetModel()->rowCount(), g_layout.GetLayoutCount());
    QListView* pView = LayoutTab()->GetListView();
    for (int nLayout = 0; nLayout < g_layout.GetLayoutCount(); ++nLayout)
    {
        // The shipped thumbnails load, and at the tab window's width the
        // entries wrap into rows instead of needing a sideways scroll.
        const CLayoutItem* pItem = CLayoutItem::FromIndex(IndexOf(nLayout));
        QVERIFY2(pItem && !pItem->icon().isNull(), qPrintable(g_layout.GetThumbnailPath(nLayout)));
        QCOMPARE(CheckState(nLayout), nLayout == LAYOUT_QUAD ? Qt::Checked : Qt::Unchecked);
        QVERIFY(pView->visualRect(IndexOf(nLayout)).right() < pView->viewport()->width());
    }
    QVERIFY(!pView->horizontalScrollBar()->isVisible());
    QVERIFY(OutputShowsChannels(LAYOUT_QUAD, 4));

    // Clicks beside the check box change nothing (ClickCheckBox fails on
    // them); the box itself moves the channels at once.
    QVERIFY(ClickCheckBox(LAYOUT_ONE_ABOVE_TWO));
    QCOMPARE(CheckState(LAYOUT_ONE_ABOVE_TWO), Qt::Checked);
    QCOMPARE(CheckState(LAYOUT_QUAD), Qt::Unchecked);
    QCOMPARE(g_settings.value(QStringLiteral("layoutindex")).toInt(), LAYOUT_ONE_ABOVE_TWO);
    // Three positions: the fourth channel leaves the picture.
    QCOMPARE(m_pTabWnd->GetDeviceTab()->GetPositionCombo(0)->count(), 4);
    QCOMPARE(g_settings.GetChannelPosition(3), -1);
    QVERIFY(!g_capture.IsChannelPlaced(3));
    QVERIFY(OutputShowsChannels(LAYOUT_ONE_ABOVE_TWO, 3));

    // The space bar ticks without a click; it must act the same.
    pView->setFocus();
    pView->setCurrentIndex(IndexOf(LAYOUT_SINGLE));
    QTest::keyClick(pView, Qt::Key_Space);
    QCOMPARE(CheckState(LAYOUT_ONE_ABOVE_TWO), Qt::Unchecked);
    QCOMPARE(g_settings.GetLayoutIndex(), LAYOUT_SINGLE);
    QVERIFY(OutputShowsChannels(LAYOUT_SINGLE, 1));
    QVERIFY(!g_capture.IsChannelPlaced(1));
}

void TestLayoutTab::untickingTheCurrentLayoutChangesNothing()
{
    QVERIFY(OutputShowsChannels(LAYOUT_QUAD, 4));

    QVERIFY(ClickCheckBox(LAYOUT_QUAD));
    QCOMPARE(CheckState(LAYOUT_QUAD), Qt::Checked);
    QCOMPARE(LayoutTab()->GetCurrentLayout(), LAYOUT_QUAD);
    QCOMPARE(g_settings.GetLayoutIndex(), LAYOUT_QUAD);
    // Nothing was placed again: a placement would have restarted the
    // frozen captures.
    for (int nChannel = 0; nChannel < 4; ++nChannel)
    {
        QCOMPARE(g_settings.GetChannelPosition(nChannel), nChannel);
        QVERIFY(g_capture.IsChannelPlaced(nChannel));
        QVERIFY(!g_capture.GetChannel(nChannel)->IsStarted());
    }
    QVERIFY(OutputShowsChannels(LAYOUT_QUAD, 4));
}

void TestLayoutTab::smallerLayoutAndBackGivesPositionsBack()
{
    auto positions = []() {
        QVector<int> vecPositions;
        for (int nChannel = 0; nChannel < 4; ++nChannel)
            vecPositions << g_settings.GetChannelPosition(nChannel);
        return vecPositions;
    };
    QVERIFY(OutputShowsChannels(LAYOUT_QUAD, 4));

    // Picture in picture has room for two.
    QVERIFY(ClickCheckBox(LAYOUT_PIP));
    QCOMPARE(positions(), QVector<int>({0, 1, -1, -1}));
    QVERIFY(!g_capture.IsChannelPlaced(2) && !g_capture.IsChannelPlaced(3));

    // Back in the quad every channel is where it was: no black holes.
    QVERIFY(ClickCheckBox(LAYOUT_QUAD));
    QCOMPARE(positions(), QVector<int>({0, 1, 2, 3}));
    CTabPreview* pDevice = m_pTabWnd->GetDeviceTab();
    for (int nChannel = 0; nChannel < 4; ++nChannel)
        QCOMPARE(pDevice->GetPositionCombo(nChannel)->currentIndex(), nChannel + 1);
    QVERIFY(OutputShowsChannels(LAYOUT_QUAD, 4));

    // A position the user gave another channel meanwhile stays with it.
    QVERIFY(ClickCheckBox(LAYOUT_PIP));
    pDevice->GetPositionCombo(3)->setCurrentIndex(2);
    QCOMPARE(positions(), QVector<int>({0, -1, -1, 1}));
    QVERIFY(ClickCheckBox(LAYOUT_QUAD));
    QCOMPARE(positions(), QVector<int>({0, -1, 2, 1}));
    QVERIFY(g_capture.IsChannelPlaced(2));
    QVERIFY(!g_capture.IsChannelPlaced(1));
}

QTEST_MAIN(TestLayoutTab)
#include "tst_ui_layouttab.moc"
