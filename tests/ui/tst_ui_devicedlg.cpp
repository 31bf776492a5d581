// The "Video Option" dialog of a channel, driven like a user would, with
// the real Device tab behind it and the engine on virtual cameras: what it
// changes is read back from the channel table, the engine and the devices.
#include "../engine/TestFrameSink.h"
#include "ui/dialogs/CDeviceDlg.h"
#include "ui/tabs/CTabPreview.h"
#include "UiTestUtil.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSlider>

using namespace UiTest;

namespace
{
const int LAYOUT_PICTURE_IN_PICTURE = 1;

// Types text as a keyboard or an input method would, one character at a time.
void TypeText(QWidget* pWidget, const QString& strText)
{
    for (uint nCode : strText.toUcs4())
    {
        const QString strChar = QString::fromUcs4(&nCode, 1);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, strChar);
        QApplication::sendEvent(pWidget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, strChar);
        QApplication::sendEvent(pWidget, &release);
    }
}

int MeanLuma(const SYuyvPicture& picture)
{
    if (picture.IsEmpty())
        return -1;
    qint64 nSum = 0;
    for (int y = 0; y < picture.nHeight; ++y)
        for (int x = 0; x < picture.nWidth; ++x)
            nSum += picture.Y(x, y);
    return int(nSum / (qint64(picture.nWidth) * picture.nHeight));
}

int DeviceParam(int nChannel, int nParam)
{
    int nValue = -1;
    g_capture.GetChannel(nChannel)->GetVideoProcParam(nParam, nValue);
    return nValue;
}
}

class TestDeviceDlg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void nameKeepsWithinItsLimit_data();
    void nameKeepsWithinItsLimit();
    void notSetDeviceFreesTheDeviceForAnotherChannel();
    void slidersAndDefaultDriveTheDevice();
    void signalStatusAndFrameRate();
    void listButtonOpensTheDialogLockedWhileBusy();

private:
    void Build(const QByteArray& baDevices);
    CDeviceDlg* OpenDialog(int nChannel, bool bBusy = false);

    std::unique_ptr<CVideoWnd> m_pOutput;
    std::unique_ptr<CTabPreview> m_pTab;
    std::unique_ptr<CDeviceDlg> m_pDialog;
};

void TestDeviceDlg::initTestCase()
{
    QVERIFY(g_layout.Load());
}

void TestDeviceDlg::init()
{
    ResetSettings();
}

void TestDeviceDlg::cleanup()
{
    m_pDialog.reset();
    g_capture.Uninit();
    m_pTab.reset();
    m_pOutput.reset();
}

void TestDeviceDlg::Build(const QByteArray& baDevices)
{
    QVERIFY(StartEngine(baDevices));
    m_pOutput = StartOutput();
    QVERIFY(m_pOutput);
    m_pTab.reset(new CTabPreview(nullptr));
    m_pTab->resize(440, 600);
    m_pTab->show();
}

CDeviceDlg* TestDeviceDlg::OpenDialog(int nChannel, bool bBusy)
{
    m_pDialog.reset(new CDeviceDlg(nChannel, bBusy, m_pTab.get(), m_pTab.get()));
    m_pDialog->show();
    return m_pDialog.get();
}

void TestDeviceDlg::nameKeepsWithinItsLimit_data()
{
    QTest::addColumn<QString>("strTyped");
    QTest::addColumn<QString>("strKept");
    QTest::newRow("eight ASCII") << QStringLiteral("Camera1234") << QStringLiteral("Camera12");
    QTest::newRow("one ideograph: six") << QStringLiteral("前abcdefg") << QStringLiteral("前abcde");
    QTest::newRow("two ideographs: six") << QStringLiteral("abcd前台xy") << QStringLiteral("abcd前台");
    QTest::newRow("three ideographs: four") << QStringLiteral("讲台左xyz") << QStringLiteral("讲台左x");
    QTest::newRow("four ideographs: four") << QStringLiteral("讲台左侧x") << QStringLiteral("讲台左侧");
    QTest::newRow("third ideograph over the limit") << QStringLiteral("ab讲台左") << QStringLiteral("ab讲台");
    // Pasted, six ideographs keep the four that fit, not two.
    QTest::newRow("six ideographs") << QStringLiteral("讲台左侧机位") << QStringLiteral("讲台左侧");
    // Other scripts count as one place each.
    QTest::newRow("kana") << QStringLiteral("カメラカメラカメラ") << QStringLiteral("カメラカメラカメ");
    // The stored channel entry separates its fields by commas.
    QTest::newRow("comma") << QStringLiteral("Left,Cam") << QStringLiteral("LeftCam");
    // An emoji takes two UTF-16 units; it is kept whole or not at all.
    QTest::newRow("emoji at the end") << QStringLiteral("Cam1234\U0001F3A5") << QStringLiteral("Cam1234");
}

void TestDeviceDlg::nameKeepsWithinItsLimit()
{
    QFETCH(QString, strTyped);
    QFETCH(QString, strKept);
    Build("2");
    CDeviceDlg* pDialog = OpenDialog(0);
    QLineEdit* pName = pDialog->GetNameEdit();
    QCOMPARE(pName->text(), QStringLiteral("Video 1"));

    pName->clear();
    TypeText(pName, strTyped);
    QCOMPARE(pName->text(), strKept);
    QCOMPARE(g_settings.GetChannelName(0), strKept);
    QCOMPARE(m_pTab->GetChannelBox(0)->title(), strKept);
    // The chosen position says whose it is.
    QCOMPARE(pDialog->GetPositionCombo()->currentText(), QStringLiteral("Position 1 (%1) ").arg(strKept));

    // Pasted at once, the same rule holds.
    pName->clear();
    pName->insert(strTyped);
    QCOMPARE(pName->text(), strKept);
    QCOMPARE(g_settings.GetChannelName(0), strKept);

    // The name survives the next start.
    g_settings.SaveAssignments();
    g_settings.LoadAssignments(g_capture.GetOrderedDeviceCount(),
                               [](int nDevice) { return g_capture.IsDeviceOrdered(nDevice); });
    QCOMPARE(g_settings.GetChannelName(0), strKept);
    QCOMPARE(g_settings.GetChannelDevice(0), 0);
}

void TestDeviceDlg::notSetDeviceFreesTheDeviceForAnotherChannel()
{
    Build("2");
    CDeviceDlg* pDialog = OpenDialog(1);
    QComboBox* pPositions = pDialog->GetPositionCombo();
    QCOMPARE(pDialog->GetDeviceCombo()->currentText(), QStringLiteral("Virtual Camera 2"));
    QCOMPARE(pPositions->currentIndex(), 2);

    pDialog->GetDeviceCombo()->setCurrentIndex(0);
    QCOMPARE(g_settings.GetChannelDevice(1), -1);
    QCOMPARE(g_settings.GetChannelPosition(1), -1);
    QCOMPARE(pPositions->currentIndex(), 0);
    QVERIFY(!pPositions->isEnabled());
    QVERIFY(!pDialog->GetAdvancedButton()->isEnabled() && !pDialog->GetDefaultButton()->isEnabled());
    for (int nParam = 0; nParam < CDeviceDlg::PARAM_COUNT; ++nParam)
        QVERIFY(!pDialog->GetSlider(nParam)->isEnabled());
    QVERIFY(!g_capture.GetChannel(1)->IsOpen() && !g_capture.IsChannelPlaced(1));
    QVERIFY(!m_pTab->GetPositionCombo(1)->isEnabled());

    // Channel 2 is offered the freed device only: channel 0 keeps its own.
    pDialog = OpenDialog(2);
    QComboBox* pDevices = pDialog->GetDeviceCombo();
    QCOMPARE(pDevices->count(), 2);
    QCOMPARE(pDevices->itemData(1).toInt(), 1);
    QVERIFY(!pDialog->GetDefaultButton()->isEnabled());
    pDevices->setCurrentIndex(1);
    QCOMPARE(g_settings.GetChannelDevice(2), 1);
    QVERIFY(pDialog->GetDefaultButton()->isEnabled() && pDialog->GetPositionCombo()->isEnabled());
    // The inset chosen here draws the channel there.
    pDialog->GetPositionCombo()->setCurrentIndex(2);
    QCOMPARE(m_pTab->GetPositionCombo(2)->currentIndex(), 2);
    QVERIFY(g_capture.IsChannelPlaced(2));
    QCOMPARE(CaptureSize(2), PositionRect(LAYOUT_PICTURE_IN_PICTURE, 1).size());
    QTRY_VERIFY_WITH_TIMEOUT(m_pTab->GetVideoWnd(2)->HasPicture(), WAIT_MS);
}

void TestDeviceDlg::slidersAndDefaultDriveTheDevice()
{
    Build("2");
    CKVChannel* pChannel = g_capture.GetChannel(0);
    for (int nParam = 0; nParam < CDeviceDlg::PARAM_COUNT; ++nParam)
        QVERIFY(pChannel->SetVideoProcParam(nParam, 20 + 30 * nParam));
    CDeviceDlg* pDialog = OpenDialog(0);
    for (int nParam = 0; nParam < CDeviceDlg::PARAM_COUNT; ++nParam)
        QCOMPARE(pDialog->GetSlider(nParam)->value(), 20 + 30 * nParam);

    // Brightness to the right end, by the keyboard: the camera's own
    // picture gets brighter.
    QTRY_VERIFY_WITH_TIMEOUT(MeanLuma(LatestCaptureFrame(pChannel)) >= 0, WAIT_MS);
    const int nDark = MeanLuma(LatestCaptureFrame(pChannel));
    QSlider* pBrightness = pDialog->GetSlider(CDeviceDlg::PARAM_BRIGHTNESS);
    QTest::keyClick(pBrightness, Qt::Key_End);
    QCOMPARE(DeviceParam(0, CDeviceDlg::PARAM_BRIGHTNESS), pBrightness->maximum());
    QTRY_VERIFY_WITH_TIMEOUT(MeanLuma(LatestCaptureFrame(pChannel)) > nDark + 30, WAIT_MS);

    QTest::mouseClick(pDialog->GetDefaultButton(), Qt::LeftButton);
    for (int nParam = 0; nParam < CDeviceDlg::PARAM_COUNT; ++nParam)
    {
        int nMin = 0, nMax = 0, nDefault = -1;
        QVERIFY(pChannel->GetVideoProcParamRange(nParam, nMin, nMax, nDefault));
        QCOMPARE(pDialog->GetSlider(nParam)->value(), nDefault);
        QCOMPARE(DeviceParam(0, nParam), nDefault);
    }
}

void TestDeviceDlg::signalStatusAndFrameRate()
{
    Build("Live;Dark|2|1920x1080||nosignal");
    CDeviceDlg* pDialog = OpenDialog(0);
    QCOMPARE(pDialog->GetSignalLabel()->text(), QStringLiteral("Capture signal status: HDMI."));
    QVERIFY(pDialog->IsTimerActive());
    // Measured by the timer while the dialog is open.
    const QRegularExpression reRate(QStringLiteral("^(\\d+\\.\\d\\d) FPS$"));
    QTRY_VERIFY_WITH_TIMEOUT(reRate.match(pDialog->GetRateLabel()->text()).hasMatch() &&
                                 reRate.match(pDialog->GetRateLabel()->text()).captured(1).toDouble() > 1.0,
                             WAIT_MS);

    pDialog = OpenDialog(1);
    QCOMPARE(pDialog->GetSignalLabel()->text(), QStringLiteral("Capture signal status: No signal."));

    // A channel without a device shows no status and measures nothing.
    pDialog = OpenDialog(4);
    QVERIFY(pDialog->GetSignalLabel()->text().isEmpty());
    QVERIFY(!pDialog->IsTimerActive());
}

void TestDeviceDlg::listButtonOpensTheDialogLockedWhileBusy()
{
    Build("2");
    m_pTab->SetBusy(true);
    QPushButton* pList = m_pTab->GetListButton(1);
    QVERIFY(pList->isEnabled());

    bool bSeen = false;
    QTimer::singleShot(0, this, [&] {
        // Whatever fails below, the dialog must still close.
        const auto closeGuard = qScopeGuard([] {
            if (QWidget* pModal = QApplication::activeModalWidget())
                pModal->close();
        });
        CDeviceDlg* pDialog = qobject_cast<CDeviceDlg*>(QApplication::activeModalWidget());
        if (!pDialog)
            return;
        bSeen = true;
        // Recording or streaming: everything can be looked at, nothing changed.
        QVERIFY(!pDialog->isEnabled());
        QVERIFY(!pDialog->GetDeviceCombo()->isEnabled());
        QCOMPARE(pDialog->GetDeviceCombo()->currentText(), QStringLiteral("Virtual Camera 2"));
        QTest::keyClick(pDialog->GetNameEdit(), Qt::Key_A);
    });
    QTest::mouseClick(pList, Qt::LeftButton);
    QVERIFY(bSeen);
    QCOMPARE(g_settings.GetChannelName(1), QStringLiteral("Video 2"));
    QVERIFY(g_capture.IsChannelPlaced(1));
}

QTEST_MAIN(TestDeviceDlg)
#include "tst_ui_devicedlg.moc"
