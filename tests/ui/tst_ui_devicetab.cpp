// The Device tab against the real engine: virtual cameras, a running mixer
// and the shipped layouts. Every test checks the three things the tab keeps
// consistent: the channel table, the engine's open channels and the mixer.
#include "../engine/TestFrameSink.h"
#include "ui/tabs/CTabPreview.h"
#include "engine/IKVFrameSink.h"
#include "UiTestUtil.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QGroupBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <mutex>
#include <vector>

using namespace UiTest;

namespace
{
// Records the cross-fade's progress as the mixer thread sees it, one entry
// per change, so that the step can be read off afterwards.
class CProgressSink : public IKVFrameSink
{
public:
    CProgressSink() { CKVCapture::SetProjectionSink(this); }
    ~CProgressSink() override { CKVCapture::SetProjectionSink(nullptr); }

    void DrawFrame(const uint8_t*, int64_t, int, int) override
    {
        const int nProgress = g_capture.GetTransitionProgress();
        std::lock_guard<std::mutex> lock(m_mutex);
        if (nProgress >= 0 && (m_vecProgress.empty() || m_vecProgress.back() != nProgress))
            m_vecProgress.push_back(nProgress);
    }
    std::vector<int> Get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecProgress;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<int> m_vecProgress;
};

const int SIZE_640X480 = 14;

// Something of a camera's picture in the top left quarter, which no inset
// of the picture-in-picture layout covers.
bool TopLeftLit(const SYuyvPicture& out)
{
    if (out.IsEmpty())
        return false;
    return out.BrightBox(20).intersects(QRect(0, 0, out.nWidth / 2, out.nHeight / 2));
}

// Waits for a newly composed frame that satisfies fnCheck.
bool WaitForOutput(const CTestFrameSink& sink, const std::function<bool(const SYuyvPicture&)>& fnCheck)
{
    return sink.WaitForFrame(fnCheck, WAIT_MS);
}

// The device field of a channel's entry as written at shutdown.
int StoredDevice(int nChannel)
{
    const QStringList astrFields =
        g_settings.value(QStringLiteral("channel_%1").arg(nChannel)).toString().split(QLatin1Char(','));
    return astrFields.size() == 7 ? astrFields[1].trimmed().toInt() : -100;
}
}

class TestDeviceTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstRunChoosesLayoutByDeviceCount_data();
    void firstRunChoosesLayoutByDeviceCount();
    void storedLayoutIsKept();
    void constructionOpensAndPlacesChannels();
    void constructionShortensNamesAndDropsUnknownPositions();
    void movingToAHeldPositionSwaps();
    void movingAnUnplacedChannelUnplacesTheHolder();
    void layoutChangeResetsMissingPositions();
    void switchingToPictureInPictureKeepsTheInsetSmall();
    void deviceTakenOverFromAnotherChannel();
    void releasingADevice();
    void crossFadeInSingleLayout();
    void applyChannelRectsAfterMixerRebuild();
    void resetUnassignedChannels();
    void dialogOperations();
    void smallDeviceFillsALargerOutput();
    void positionOutsideTheOutputIsNotShown();

private:
    void Build(const QByteArray& baDevices);
    QComboBox* Combo(int nChannel) const { return m_pTab->GetPositionCombo(nChannel); }
    // No two channels with a device share a position other than -1.
    static bool PositionsUnique();
    // What the Settings tab does when a new output format is applied.
    void ApplyOutputFormat(int nSize, int nWidth, int nHeight);

    std::unique_ptr<CVideoWnd> m_pOutput;
    std::unique_ptr<CTabPreview> m_pTab;
};

void TestDeviceTab::initTestCase()
{
    QVERIFY2(g_layout.Load(), "vtlayout.ini must lie beside the test");
    QVERIFY(g_layout.GetLayoutCount() >= 7);
}

void TestDeviceTab::init()
{
    ResetSettings();
}

void TestDeviceTab::cleanup()
{
    // The program shuts the engine down before its windows go.
    g_capture.Uninit();
    m_pTab.reset();
    m_pOutput.reset();
}

void TestDeviceTab::Build(const QByteArray& baDevices)
{
    QVERIFY(StartEngine(baDevices));
    m_pOutput = StartOutput();
    QVERIFY(m_pOutput);
    m_pTab.reset(new CTabPreview(nullptr));
    m_pTab->resize(440, 600);
    m_pTab->show();
}

void TestDeviceTab::ApplyOutputFormat(int nSize, int nWidth, int nHeight)
{
    g_capture.DestroyMixer();
    g_settings.SetOutputFormat(nSize, RATE_25);
    g_capture.RestartChannels();
    QVERIFY(g_capture.CreateMixer(nWidth, nHeight, FRAME_DURATION_25, m_pOutput->GetWindowHandle()));
    m_pTab->ApplyChannelRects();
}

bool TestDeviceTab::PositionsUnique()
{
    QSet<int> setTaken;
    for (int nChannel = 0; nChannel < CTabPreview::CHANNEL_COUNT; ++nChannel)
    {
        const int nPosition = g_settings.GetChannelPosition(nChannel);
        if (g_settings.GetChannelDevice(nChannel) == -1 || nPosition == -1)
            continue;
        if (setTaken.contains(nPosition))
            return false;
        setTaken.insert(nPosition);
    }
    return true;
}

void TestDeviceTab::firstRunChoosesLayoutByDeviceCount_data()
{
    QTest::addColumn<int>("nDevices");
    QTest::addColumn<int>("nLayout");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("one") << 1 << 0;
    QTest::newRow("two") << 2 << 1;
    QTest::newRow("three") << 3 << 3;
    QTest::newRow("four") << 4 << 5;
    QTest::newRow("five") << 5 << 6;
    QTest::newRow("six") << 6 << 6;
}

void TestDeviceTab::firstRunChoosesLayoutByDeviceCount()
{
    QFETCH(int, nDevices);
    QFETCH(int, nLayout);

    // Without a device the engine does not start; the tab must still build.
    QCOMPARE(StartEngine(QByteArray::number(nDevices)), nDevices > 0);
    QCOMPARE(g_settings.GetLayoutIndex(), -1);
    m_pTab.reset(new CTabPreview(nullptr));

    QCOMPARE(g_settings.GetLayoutIndex(), nLayout);
    // Stored at once, not only at shutdown.
    QCOMPARE(g_settings.value(QStringLiteral("layoutindex")).toInt(), nLayout);
    const int nPositions = g_layout.GetPositionCount(nLayout);
    for (int nChannel = 0; nChannel < CTabPreview::CHANNEL_COUNT; ++nChannel)
    {
        QCOMPARE(Combo(nChannel)->count(), nPositions + 1);
        QCOMPARE(Combo(nChannel)->itemText(0), QStringLiteral("(Not set position)"));
        if (nPositions > 0)
            QCOMPARE(Combo(nChannel)->itemText(nPositions), QStringLiteral("Position %1").arg(nPositions));
        // A channel gets a device only while there are devices to go round.
        QCOMPARE(Combo(nChannel)->isEnabled(), nChannel < nDevices);
    }
}

void TestDeviceTab::storedLayoutIsKept()
{
    g_settings.SetLayoutIndex(5);
    Build("2");
    QCOMPARE(g_settings.GetLayoutIndex(), 5);
    QCOMPARE(Combo(0)->count(), 5);
    QCOMPARE(Combo(0)->currentIndex(), 1);
    QCOMPARE(Combo(1)->currentIndex(), 2);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));
}

void TestDeviceTab::constructionOpensAndPlacesChannels()
{
    Build("3");
    QCOMPARE(g_settings.GetLayoutIndex(), 3);

    for (int nChannel = 0; nChannel < 3; ++nChannel)
    {
        QVERIFY(g_capture.GetChannel(nChannel)->IsOpen());
        QCOMPARE(g_capture.GetChannel(nChannel)->GetDeviceIndex(), nChannel);
        QVERIFY(!m_pTab->GetVideoWnd(nChannel)->IsPlaceholder());
        QCOMPARE(Combo(nChannel)->currentIndex(), nChannel + 1);
        QVERIFY(g_capture.IsChannelPlaced(nChannel));
        // The device captures at exactly its rectangle's size.
        QCOMPARE(CaptureSize(nChannel), PositionRect(3, nChannel).size());
        QCOMPARE(m_pTab->GetChannelBox(nChannel)->title(), QStringLiteral("Video %1").arg(nChannel + 1));
        QVERIFY(m_pTab->GetVideoWnd(nChannel)->toolTip().isEmpty());
    }
    // Every channel's list button opens its dialog, with a device or without.
    for (int nChannel = 0; nChannel < CTabPreview::CHANNEL_COUNT; ++nChannel)
    {
        QVERIFY(m_pTab->GetListButton(nChannel)->isEnabled());
        QCOMPARE(m_pTab->GetListButton(nChannel)->toolTip(), QStringLiteral("Video Option"));
    }
    for (int nChannel = 3; nChannel < CTabPreview::CHANNEL_COUNT; ++nChannel)
    {
        QVERIFY(!g_capture.GetChannel(nChannel)->IsOpen());
        QVERIFY(m_pTab->GetVideoWnd(nChannel)->IsPlaceholder());
        QVERIFY(!Combo(nChannel)->isEnabled());
        QVERIFY(!g_capture.IsChannelPlaced(nChannel));
    }

    // Real pictures reach both the channel previews and the output.
    for (int nChannel = 0; nChannel < 3; ++nChannel)
        QTRY_VERIFY_WITH_TIMEOUT(m_pTab->GetVideoWnd(nChannel)->HasPicture(), WAIT_MS);
    QTRY_VERIFY_WITH_TIMEOUT(m_pOutput->HasPicture(), WAIT_MS);
}

void TestDeviceTab::constructionShortensNamesAndDropsUnknownPositions()
{
    // Quad layout; channel 1 carries a long name, channel 2 a position the
    // layout does not have, channel 3 a device that does not exist.
    g_settings.SetLayoutIndex(5);
    g_settings.setValue(QStringLiteral("channel_1"), QStringLiteral("Camera1234, 1, 1, 50, 50, 50, 50"));
    g_settings.setValue(QStringLiteral("channel_2"), QStringLiteral("Stage, 2, 7, 50, 50, 50, 50"));
    g_settings.setValue(QStringLiteral("channel_3"), QStringLiteral("Ghost, 9, 3, 50, 50, 50, 50"));
    g_settings.setValue(QStringLiteral("channel_4"), QStringLiteral(", -1, -1, 50, 50, 50, 50"));
    Build("3");

    QCOMPARE(g_settings.GetChannelName(1), QStringLiteral("Camera12"));
    QCOMPARE(m_pTab->GetChannelBox(1)->title(), QStringLiteral("Camera12"));
    QCOMPARE(m_pTab->GetChannelBox(4)->title(), QStringLiteral(" "));

    QCOMPARE(Combo(2)->currentIndex(), 0);
    QVERIFY(Combo(2)->isEnabled());
    QCOMPARE(g_settings.GetChannelPosition(2), -1);
    QVERIFY(g_capture.GetChannel(2)->IsOpen());
    QVERIFY(!g_capture.IsChannelPlaced(2));

    QVERIFY(!Combo(3)->isEnabled());
    QVERIFY(!g_capture.GetChannel(3)->IsOpen());
    QVERIFY(m_pTab->GetVideoWnd(3)->IsPlaceholder());

    // Position 3 is free in the tab's eyes, so choosing it places channel 2
    // there and nobody else moves.
    Combo(2)->setCurrentIndex(3);
    QCOMPARE(g_settings.GetChannelPosition(2), 2);
    QVERIFY(g_capture.IsChannelPlaced(2));
    QCOMPARE(g_settings.GetChannelPosition(0), 0);
    QCOMPARE(g_settings.GetChannelPosition(1), 1);
}

void TestDeviceTab::movingToAHeldPositionSwaps()
{
    Build("2");
    QCOMPARE(g_settings.GetLayoutIndex(), 1);
    const QSize sizeMain = PositionRect(1, 0).size();
    const QSize sizeInset = PositionRect(1, 1).size();
    QCOMPARE(CaptureSize(0), sizeMain);
    QCOMPARE(CaptureSize(1), sizeInset);

    // Channel 0 into the inset: channel 1 takes the main picture.
    Combo(0)->setCurrentIndex(2);
    QCOMPARE(g_settings.GetChannelPosition(0), 1);
    QCOMPARE(g_settings.GetChannelPosition(1), 0);
    QCOMPARE(Combo(1)->currentIndex(), 1);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));
    QCOMPARE(CaptureSize(0), sizeInset);
    QCOMPARE(CaptureSize(1), sizeMain);

    // And back, from the other side.
    Combo(0)->setCurrentIndex(1);
    QCOMPARE(g_settings.GetChannelPosition(0), 0);
    QCOMPARE(g_settings.GetChannelPosition(1), 1);
    QCOMPARE(Combo(1)->currentIndex(), 2);
    QCOMPARE(CaptureSize(0), sizeMain);
    QCOMPARE(CaptureSize(1), sizeInset);
    QVERIFY(PositionsUnique());

    // The swapped-in picture really shows: the output keeps getting frames.
    m_pOutput->ClearPicture();
    QTRY_VERIFY_WITH_TIMEOUT(m_pOutput->HasPicture(), WAIT_MS);
}

void TestDeviceTab::movingAnUnplacedChannelUnplacesTheHolder()
{
    g_settings.SetLayoutIndex(5);
    Build("4");
    Combo(1)->setCurrentIndex(0);
    QCOMPARE(g_settings.GetChannelPosition(1), -1);
    QVERIFY(!g_capture.IsChannelPlaced(1));
    QVERIFY(g_capture.GetChannel(1)->IsOpen());

    // Channel 1 takes position 3 from channel 2, which had it and now has
    // channel 1's "no position".
    Combo(1)->setCurrentIndex(3);
    QCOMPARE(g_settings.GetChannelPosition(1), 2);
    QCOMPARE(g_settings.GetChannelPosition(2), -1);
    QCOMPARE(Combo(2)->currentIndex(), 0);
    QVERIFY(g_capture.IsChannelPlaced(1));
    QVERIFY(!g_capture.IsChannelPlaced(2));
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(3));
    QVERIFY(PositionsUnique());
}

void TestDeviceTab::layoutChangeResetsMissingPositions()
{
    g_settings.SetLayoutIndex(5);
    Build("4");
    for (int nChannel = 0; nChannel < 4; ++nChannel)
        QVERIFY(g_capture.IsChannelPlaced(nChannel));

    // The Layout tab calls the tab first and stores the index afterwards.
    m_pTab->OnLayoutChanged(1);
    g_settings.SetLayoutIndex(1);
    for (int nChannel = 0; nChannel < CTabPreview::CHANNEL_COUNT; ++nChannel)
        QCOMPARE(Combo(nChannel)->count(), 3);
    QCOMPARE(Combo(0)->currentIndex(), 1);
    QCOMPARE(Combo(1)->currentIndex(), 2);
    QCOMPARE(CaptureSize(0), PositionRect(1, 0).size());
    QCOMPARE(CaptureSize(1), PositionRect(1, 1).size());
    for (int nChannel = 2; nChannel < 4; ++nChannel)
    {
        QCOMPARE(Combo(nChannel)->currentIndex(), 0);
        QCOMPARE(g_settings.GetChannelPosition(nChannel), -1);
        QVERIFY(!g_capture.IsChannelPlaced(nChannel));
        // Out of the picture, but still capturing for its preview.
        QVERIFY(g_capture.GetChannel(nChannel)->IsOpen());
    }

    // Back to the quad: the reset channels get their positions back; the
    // user's choice of the position lists still moves channels.
    m_pTab->OnLayoutChanged(5);
    g_settings.SetLayoutIndex(5);
    QCOMPARE(Combo(0)->count(), 5);
    QCOMPARE(Combo(0)->itemText(4), QStringLiteral("Position 4"));
    QCOMPARE(Combo(2)->currentIndex(), 3);
    QCOMPARE(Combo(3)->currentIndex(), 4);
    QVERIFY(g_capture.IsChannelPlaced(2));
    QCOMPARE(CaptureSize(0), PositionRect(5, 0).size());
    QCOMPARE(CaptureSize(2), PositionRect(5, 2).size());
    Combo(2)->setCurrentIndex(4);
    QCOMPARE(g_settings.GetChannelPosition(2), 3);
    QCOMPARE(g_settings.GetChannelPosition(3), 2);
    QVERIFY(g_capture.IsChannelPlaced(2));
    QVERIFY(PositionsUnique());
}

void TestDeviceTab::switchingToPictureInPictureKeepsTheInsetSmall()
{
    // Quad with channel 1 on position 0 and channel 0 on position 1: after
    // the switch the higher channel number holds the main picture.
    g_settings.SetLayoutIndex(5);
    Build("2");
    Combo(0)->setCurrentIndex(2);
    QCOMPARE(g_settings.GetChannelPosition(0), 1);
    QCOMPARE(g_settings.GetChannelPosition(1), 0);

    m_pTab->OnLayoutChanged(2);
    g_settings.SetLayoutIndex(2);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));
    QCOMPARE(CaptureSize(1), QSize(OUTPUT_WIDTH, OUTPUT_HEIGHT));
    QCOMPARE(CaptureSize(0), PositionRect(2, 1).size());
    QVERIFY(CaptureSize(0).width() < OUTPUT_WIDTH / 2);
}

void TestDeviceTab::deviceTakenOverFromAnotherChannel()
{
    Build("3");
    QCOMPARE(g_settings.GetLayoutIndex(), 3);

    // The device dialog of channel 2 chooses channel 0's device, then stores it.
    m_pTab->OnDeviceSelected(2, 0);
    g_settings.SetChannelDevice(2, 0);

    QVERIFY(!g_capture.GetChannel(0)->IsOpen());
    QCOMPARE(g_settings.GetChannelDevice(0), -1);
    QCOMPARE(g_settings.GetChannelPosition(0), -1);
    QCOMPARE(Combo(0)->currentIndex(), 0);
    QVERIFY(!Combo(0)->isEnabled());
    QVERIFY(m_pTab->GetVideoWnd(0)->IsPlaceholder());
    QVERIFY(!g_capture.IsChannelPlaced(0));

    QVERIFY(g_capture.GetChannel(2)->IsOpen());
    QCOMPARE(g_capture.GetChannel(2)->GetDeviceIndex(), 0);
    QVERIFY(!m_pTab->GetVideoWnd(2)->IsPlaceholder());
    QVERIFY(Combo(2)->isEnabled());
    QCOMPARE(g_settings.GetChannelPosition(2), 2);
    QVERIFY(g_capture.IsChannelPlaced(2));
    QCOMPARE(CaptureSize(2), PositionRect(3, 2).size());
    QVERIFY(!g_capture.IsDeviceInUse(2));

    // The new device's pictures arrive in channel 2's preview.
    m_pTab->GetVideoWnd(2)->ClearPicture();
    QTRY_VERIFY_WITH_TIMEOUT(m_pTab->GetVideoWnd(2)->HasPicture(), WAIT_MS);

    // Channel 0 can pick up the free device and a free position.
    m_pTab->OnDeviceSelected(0, 2);
    g_settings.SetChannelDevice(0, 2);
    QVERIFY(Combo(0)->isEnabled());
    QVERIFY(g_capture.GetChannel(0)->IsOpen());
    QVERIFY(!g_capture.IsChannelPlaced(0));
    m_pTab->SetPositionIndex(0, 1);
    QCOMPARE(g_settings.GetChannelPosition(0), 0);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(PositionsUnique());
}

void TestDeviceTab::releasingADevice()
{
    Build("3");
    m_pTab->OnDeviceSelected(1, -1);
    g_settings.SetChannelDevice(1, -1);

    QVERIFY(!g_capture.GetChannel(1)->IsOpen());
    QVERIFY(!g_capture.IsChannelPlaced(1));
    QCOMPARE(Combo(1)->currentIndex(), 0);
    QVERIFY(!Combo(1)->isEnabled());
    QCOMPARE(g_settings.GetChannelPosition(1), -1);
    QVERIFY(m_pTab->GetVideoWnd(1)->IsPlaceholder());
    QVERIFY(!m_pTab->GetVideoWnd(1)->HasPicture());
    // The others are untouched.
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(2));
}

void TestDeviceTab::crossFadeInSingleLayout()
{
    // The single layout, chosen before this run: channel 1's default
    // position 1 does not exist there.
    g_settings.SetLayoutIndex(0);
    CProgressSink sink;
    Build("2");
    QCOMPARE(g_settings.GetChannelPosition(1), -1);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(!g_capture.IsChannelPlaced(1));

    Combo(1)->setCurrentIndex(1);
    QCOMPARE(g_settings.GetChannelPosition(1), 0);
    QCOMPARE(g_settings.GetChannelPosition(0), -1);
    QCOMPARE(Combo(0)->currentIndex(), 0);

    // The fade ends with channel 1 alone over the whole output.
    QTRY_VERIFY_WITH_TIMEOUT(!g_capture.IsChannelPlaced(0), WAIT_MS);
    QTRY_COMPARE_WITH_TIMEOUT(g_capture.GetTransitionProgress(), -1, WAIT_MS);
    QVERIFY(g_capture.IsChannelPlaced(1));
    QCOMPARE(CaptureSize(1), QSize(OUTPUT_WIDTH, OUTPUT_HEIGHT));

    // It ran in steps of two frame durations: 800000 at 25 fps.
    const std::vector<int> vecProgress = sink.Get();
    QVERIFY2(vecProgress.size() >= 2, qPrintable(QString::number(vecProgress.size())));
    for (size_t i = 1; i < vecProgress.size(); ++i)
        QCOMPARE(vecProgress[i] - vecProgress[i - 1], 2 * FRAME_DURATION_25);
}

void TestDeviceTab::applyChannelRectsAfterMixerRebuild()
{
    Build("2");
    QVERIFY(g_capture.IsChannelPlaced(0));

    // A new output format: the mixer comes back empty and the channels
    // capture at the full output size again.
    g_capture.DestroyMixer();
    g_settings.SetOutputFormat(14, RATE_25); // 640 x 480
    g_capture.RestartChannels();
    QVERIFY(g_capture.CreateMixer(640, 480, FRAME_DURATION_25, m_pOutput->GetWindowHandle()));
    QVERIFY(!g_capture.IsChannelPlaced(0));
    QCOMPARE(CaptureSize(1), QSize(640, 480));

    m_pTab->ApplyChannelRects();
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));
    QRect rectInset;
    QVERIFY(g_layout.GetPositionRect(1, 1, 640, 480, rectInset));
    QCOMPARE(CaptureSize(1), rectInset.size());
    QCOMPARE(CaptureSize(0), QSize(640, 480));
}

void TestDeviceTab::resetUnassignedChannels()
{
    g_settings.SetLayoutIndex(5);
    Build("3");
    // A channel whose device the table no longer has.
    g_settings.SetChannelDevice(1, -1);
    m_pTab->ResetUnassignedChannels();

    QCOMPARE(Combo(1)->currentIndex(), 0);
    QVERIFY(!Combo(1)->isEnabled());
    QCOMPARE(g_settings.GetChannelPosition(1), -1);
    QVERIFY(m_pTab->GetVideoWnd(1)->IsPlaceholder());
    QVERIFY(!g_capture.IsChannelPlaced(1));
    QCOMPARE(Combo(0)->currentIndex(), 1);
    QCOMPARE(Combo(2)->currentIndex(), 3);
    QVERIFY(g_capture.IsChannelPlaced(2));
}

void TestDeviceTab::dialogOperations()
{
    Build("Live;Dark|2|1920x1080||nosignal");
    IDeviceCallback* pCallback = m_pTab.get();

    pCallback->SetChannelTitle(0, QStringLiteral("Stage"));
    QCOMPARE(pCallback->GetChannelTitle(0), QStringLiteral("Stage"));
    pCallback->SetChannelTitle(0, QString());
    QCOMPARE(pCallback->GetChannelTitle(0), QStringLiteral(" "));
    QCOMPARE(Combo(0)->itemText(1), QStringLiteral("Position 1"));

    int nNoSignal = -1;
    int nInput = -1;
    pCallback->GetSignalStatus(0, nNoSignal, nInput);
    QCOMPARE(nNoSignal, 0);
    QVERIFY(nInput >= 0);
    pCallback->GetSignalStatus(1, nNoSignal, nInput);
    QCOMPARE(nNoSignal, 1);
    // A channel without a device leaves the values as they were.
    nNoSignal = -7;
    nInput = -7;
    pCallback->GetSignalStatus(4, nNoSignal, nInput);
    QCOMPARE(nNoSignal, -7);
    QCOMPARE(nInput, -7);

    float afRates[2] = {0.0f, 0.0f};
    QTRY_VERIFY_WITH_TIMEOUT(pCallback->GetChannelRates(0, afRates) && afRates[0] > 0.0f, WAIT_MS);
    QVERIFY(!pCallback->GetChannelRates(6, afRates));

    // Selecting a position item moves the channel like the user's choice.
    pCallback->SetPositionIndex(1, 0);
    QCOMPARE(g_settings.GetChannelPosition(1), -1);
    QVERIFY(!g_capture.IsChannelPlaced(1));
}

void TestDeviceTab::smallDeviceFillsALargerOutput()
{
    // Channel 0's device delivers no more than 320 x 240; in the
    // picture-in-picture layout it fills the output, channel 1 the inset.
    CTestFrameSink sink;
    Build("Small|2|320x240;Big");
    QCOMPARE(g_settings.GetLayoutIndex(), 1);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(WaitForOutput(sink, TopLeftLit));

    // A larger output scales the small device up instead of dropping it.
    ApplyOutputFormat(SIZE_640X480, 640, 480);
    CVideoWnd* pVideo = m_pTab->GetVideoWnd(0);
    QCOMPARE(g_capture.GetChannel(0)->GetDeviceIndex(), 0);
    QCOMPARE(g_settings.GetChannelDevice(0), 0);
    QCOMPARE(g_settings.GetChannelPosition(0), 0);
    QVERIFY(Combo(0)->isEnabled());
    QCOMPARE(Combo(0)->currentIndex(), 1);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));
    QCOMPARE(CaptureSize(0), QSize(640, 480));
    QVERIFY(!pVideo->IsPlaceholder());
    QVERIFY(!pVideo->IsDeviceBusy());
    QVERIFY(pVideo->toolTip().isEmpty());
    QVERIFY(WaitForOutput(sink, [](const SYuyvPicture& out) { return out.nWidth == 640 && TopLeftLit(out); }));

    // The assignment written at shutdown still names the device.
    g_settings.SaveAssignments();
    QCOMPARE(StoredDevice(0), 0);

    // Back at the device's own size, the picture stays in the output.
    ApplyOutputFormat(SIZE_320X240, OUTPUT_WIDTH, OUTPUT_HEIGHT);
    QVERIFY(g_capture.IsChannelPlaced(0));
    QVERIFY(!pVideo->IsPlaceholder());
    QVERIFY(WaitForOutput(sink, [](const SYuyvPicture& out) { return out.nWidth == 320 && TopLeftLit(out); }));
    QTRY_VERIFY_WITH_TIMEOUT(pVideo->HasPicture(), WAIT_MS);
}

void TestDeviceTab::positionOutsideTheOutputIsNotShown()
{
    // Layouts 0 to 2 have rules of their own; layout 3 is a plain one whose
    // second position lies entirely outside any output.
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("vtlayout.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[layout]\ncount=4\n"
               "[layout0]\npostype=2\nvideo=1\npos0=0,0,99,99\n"
               "[layout1]\npostype=2\nvideo=1\npos0=0,0,99,99\n"
               "[layout2]\npostype=2\nvideo=1\npos0=0,0,99,99\n"
               "[layout3]\npostype=1\nvideo=2\npos0=0,0,1,2\n"
               "pos1=2147483647,2147483647,2147483647,2147483647\n[bar3]\nsize=2,2\n");
    file.close();
    g_layout.ReleaseLayouts();
    const auto restore = qScopeGuard([] {
        g_layout.ReleaseLayouts();
        g_layout.Load();
    });
    QVERIFY(g_layout.Load(file.fileName()));
    g_settings.SetLayoutIndex(3);
    Build("2");

    QVERIFY(g_capture.IsChannelPlaced(0));
    QCOMPARE(CaptureSize(0), QSize(OUTPUT_WIDTH / 2, OUTPUT_HEIGHT));
    // Channel 1 keeps its position and its live preview, but is not drawn.
    QCOMPARE(g_settings.GetChannelPosition(1), 1);
    QVERIFY(!g_capture.IsChannelPlaced(1));
    QVERIFY(g_capture.GetChannel(1)->IsStarted());
    QVERIFY(!m_pTab->GetVideoWnd(1)->IsPlaceholder());
    QCOMPARE(m_pTab->GetVideoWnd(1)->toolTip(), QStringLiteral("Not shown in the output"));

    // Swapped there, channel 0 leaves its old rectangle instead of staying in it.
    Combo(0)->setCurrentIndex(2);
    QCOMPARE(g_settings.GetChannelPosition(0), 1);
    QVERIFY(!g_capture.IsChannelPlaced(0));
    QVERIFY(g_capture.IsChannelPlaced(1));
    QCOMPARE(CaptureSize(1), QSize(OUTPUT_WIDTH / 2, OUTPUT_HEIGHT));
    QCOMPARE(m_pTab->GetVideoWnd(0)->toolTip(), QStringLiteral("Not shown in the output"));
    QVERIFY(m_pTab->GetVideoWnd(1)->toolTip().isEmpty());
}

QTEST_MAIN(TestDeviceTab)
#include "tst_ui_devicetab.moc"
