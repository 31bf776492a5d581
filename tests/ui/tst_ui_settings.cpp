// The Settings tab on the engine with virtual cameras: what each control
// stores, the bitrate the output size suggests, the format change reaching
// the engine and the Device tab, and the RTMP fields with their messages.
#include "../app/ModalAnswer.h"
#include "common/AppInfo.h"
#include "app/CMainWnd.h"
#include "engine/CKVChannel.h"
#include "ui/tabs/CTabSettings.h"
#include "ui/tabs/CTabWnd.h"
#include "ui/tabs/IDeviceCallback.h"
#include "NullRecordNotify.h"
#include "UiTestUtil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTranslator>

using namespace UiTest;

namespace
{
// What the main window hears from the tab.
class CNotifyLog : public CNullRecordNotify
{
public:
    void EnableStart(bool bEnable) override { m_listEnable << bEnable; }
    void RefreshOutput() override { ++m_nRefresh; }

    QList<bool> m_listEnable;
    int m_nRefresh = 0;
};

// What the Device tab is asked to do.
class CDeviceLog : public IDeviceCallback
{
public:
    void SetChannelTitle(int, const QString&) override {}
    void OnDeviceSelected(int, int) override {}
    void OnLayoutChanged(int) override {}
    void ApplyChannelRects() override { ++m_nApply; }
    void ResetUnassignedChannels() override { ++m_nReset; }

    int m_nApply = 0;
    int m_nReset = 0;
};

int FindSize(int nWidth, int nHeight)
{
    for (int i = 0; i < GetVideoSizeCount(); ++i)
        if (GetVideoWidth(i) == nWidth && GetVideoHeight(i) == nHeight)
            return i;
    return -1;
}

int StoredBitrateKbps()
{
    int nProfile = 0, nQuality = 0, nBitrate = 0, nMode = 0, nKey = 0, nKind = 0, nAudioRate = 0, nAudioQuality = 0;
    g_settings.GetEncoderParam(nProfile, nQuality, nBitrate, nMode, nKey, nKind, nAudioRate, nAudioQuality);
    return GetBitrate(nBitrate);
}

// The program's translation of a language, as the start-up installs it.
class CLanguage
{
public:
    explicit CLanguage(const QString& strLang)
    {
        if (strLang.isEmpty())
            return;
        m_bLoaded = m_translator.load(QStringLiteral(":/translations/vistrel_%1.qm").arg(strLang));
        if (m_bLoaded)
            QCoreApplication::installTranslator(&m_translator);
    }
    ~CLanguage() { QCoreApplication::removeTranslator(&m_translator); }
    bool m_bLoaded = false;

private:
    QTranslator m_translator;
};
}

class TestSettingsTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void bitrateFollowsOutputSize();
    void unchangedFormatCallsNobody();
    void frameRatesListedFastestFirst();
    void smallFormatBoundaryRebuildsDeviceOrder();
    void unavailableHardwareEncoderRewritten();
    void rtmpUrlComposedAndStored();
    void rtmpFieldMessages();
    void startEnabledByRecordOrPush();
    void missingAudioDeviceShownAsNone();
    void controlsLockedDuringSession();
    void rtmpCommaRefused_data();
    void rtmpCommaRefused();
    void storedAudioDeviceFoundByName();
    void missingAudioDeviceReported();
    void controlsAfterSessionFollowTheirBoxes();
    void fitsTabWindow_data();
    void fitsTabWindow();
    void optionListsTranslated();

private:
    CTabSettings* CreateTab();
    void RestartEngineWithTones(int nTones);
    template <class T> T* Find(const char* pszName)
    {
        T* pWidget = m_pTab->findChild<T*>(QLatin1String(pszName));
        [&] { QVERIFY2(pWidget, pszName); }();
        return pWidget;
    }

    std::unique_ptr<CVideoWnd> m_pOutput;
    std::unique_ptr<CTabSettings> m_pTab;
    CNotifyLog m_notify;
    CDeviceLog m_device;
};

void TestSettingsTab::initTestCase()
{
    Q_INIT_RESOURCE(vistrel);
    InitAppTexts();
    QVERIFY(g_layout.Load());
}

void TestSettingsTab::init()
{
    ResetSettings();
    QVERIFY(StartEngine("2"));
    m_pOutput = StartOutput();
    QVERIFY(m_pOutput);
    m_notify = CNotifyLog();
    m_device = CDeviceLog();
}

void TestSettingsTab::cleanup()
{
    m_pTab.reset();
    g_capture.Uninit();
    m_pOutput.reset();
}

CTabSettings* TestSettingsTab::CreateTab()
{
    m_pTab.reset(new CTabSettings(&m_notify, &m_device, nullptr));
    m_pTab->show();
    return m_pTab.get();
}

void TestSettingsTab::bitrateFollowsOutputSize()
{
    QCOMPARE(GetBitrate(BitrateIndexForSize(1920, 1080)), 4000);
    QCOMPARE(GetBitrate(BitrateIndexForSize(1440, 900)), 4000);
    QCOMPARE(GetBitrate(BitrateIndexForSize(1280, 720)), 2000);
    QCOMPARE(GetBitrate(BitrateIndexForSize(768, 576)), 1000);
    QCOMPARE(GetBitrate(BitrateIndexForSize(720, 480)), 1000);
    QCOMPARE(GetBitrate(BitrateIndexForSize(640, 360)), 800);
    QCOMPARE(GetBitrate(BitrateIndexForSize(1368, 768)), 2000);

    CreateTab();
    QComboBox* pSize = Find<QComboBox>("cmbVideoSize");
    QComboBox* pRate = Find<QComboBox>("cmbFrameRate");
    QComboBox* pBitrate = Find<QComboBox>("cmbH264Bitrate");
    pSize->setCurrentIndex(pSize->findData(FindSize(1920, 1080)));
    QCOMPARE(GetBitrate(pBitrate->currentData().toInt()), 4000);
    QCOMPARE(StoredBitrateKbps(), 4000);
    QCOMPARE(g_settings.GetOutputWidth(), 1920);

    // A rate change alone also brings the bitrate back to the size's.
    pBitrate->setCurrentIndex(pBitrate->findData(1));
    QCOMPARE(StoredBitrateKbps(), 8000);
    pRate->setCurrentIndex(pRate->currentIndex() == 0 ? 1 : 0);
    QCOMPARE(StoredBitrateKbps(), 4000);
    QVERIFY(m_notify.m_nRefresh >= 2);
}

void TestSettingsTab::frameRatesListedFastestFirst()
{
    const QStringList astrOrder = {
        QStringLiteral("60.00 FPS"), QStringLiteral("59.94 FPS"), QStringLiteral("50.00 FPS"),
        QStringLiteral("30.00 FPS"), QStringLiteral("29.97 FPS"), QStringLiteral("25.00 FPS"),
        QStringLiteral("24.00 FPS"), QStringLiteral("20.00 FPS"), QStringLiteral("15.00 FPS"),
        QStringLiteral("10.00 FPS"), QStringLiteral("5.00 FPS")};
    // Each stored index, old and new, must come back as its own rate.
    for (int nStored : {8, 9, 10, 0, 1, 2})
    {
        g_settings.SetOutputFormat(SIZE_320X240, nStored);
        CreateTab();
        QComboBox* pRate = Find<QComboBox>("cmbFrameRate");
        QCOMPARE(pRate->count(), astrOrder.size());
        for (int nRow = 0; nRow < pRate->count(); ++nRow)
            QCOMPARE(pRate->itemText(nRow), astrOrder[nRow]);
        QCOMPARE(pRate->currentText(), GetFrameRateText(nStored));
        m_pTab.reset();
    }

    // Choosing a row stores the table index of its rate, in the file too,
    // and the engine's channels run at that rate's frame duration.
    CreateTab();
    QVERIFY(g_capture.OpenChannel(0, 0, m_pOutput->GetWindowHandle()));
    QComboBox* pRate = Find<QComboBox>("cmbFrameRate");
    const struct
    {
        const char* pszText;
        int nIndex;
        int nDuration;
    } aChoices[] = {
        {"60.00 FPS", 8, 166666}, {"59.94 FPS", 9, 166833}, {"50.00 FPS", 10, 200000}, {"30.00 FPS", 0, 333333}};
    for (const auto& choice : aChoices)
    {
        pRate->setCurrentIndex(pRate->findText(QLatin1String(choice.pszText)));
        g_settings.sync();
        const QSettings file(g_settings.fileName(), QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("outputformat")).toString(),
                 QStringLiteral("%1, %2").arg(SIZE_320X240).arg(choice.nIndex));
        int nSize = -1;
        int nRate = -1;
        g_settings.GetOutputFormat(nSize, nRate);
        QCOMPARE(nRate, choice.nIndex);
        QCOMPARE(g_capture.GetChannel(0)->GetFrameDuration(), choice.nDuration);
    }
}

void TestSettingsTab::unchangedFormatCallsNobody()
{
    CreateTab();
    m_pTab->OnButtonApplyFormat();
    QCOMPARE(m_notify.m_nRefresh, 0);
    QCOMPARE(m_device.m_nApply, 0);
    QCOMPARE(StoredBitrateKbps(), 800);
}

void TestSettingsTab::smallFormatBoundaryRebuildsDeviceOrder()
{
    g_settings.SetOutputFormat(FindSize(768, 576), RATE_25);
    CreateTab();
    QVERIFY(m_pTab->IsSmallFormat());
    QComboBox* pSize = Find<QComboBox>("cmbVideoSize");

    pSize->setCurrentIndex(pSize->findData(FindSize(800, 600)));
    QVERIFY(!m_pTab->IsSmallFormat());
    QCOMPARE(m_device.m_nReset, 1);
    QCOMPARE(m_device.m_nApply, 1);
    QCOMPARE(m_notify.m_nRefresh, 1);

    pSize->setCurrentIndex(pSize->findData(FindSize(768, 576)));
    QVERIFY(m_pTab->IsSmallFormat());
    QCOMPARE(m_device.m_nReset, 1);
    QCOMPARE(m_device.m_nApply, 2);
    QCOMPARE(g_settings.GetOutputWidth(), 768);
}

void TestSettingsTab::unavailableHardwareEncoderRewritten()
{
    if (g_capture.IsH264HardwareSupported())
        QSKIP("this machine has a hardware H.264 encoder");
    g_settings.SetEncoderParam(1, 2, 1, 1, 3, 1, 2, 1);
    CreateTab();
    QComboBox* pEncoder = Find<QComboBox>("cmbH264Encoder");
    QCOMPARE(pEncoder->count(), 1);
    QCOMPARE(pEncoder->currentText(), QStringLiteral("Software"));

    int nProfile = 0, nQuality = 0, nBitrate = 0, nMode = 0, nKey = 0, nKind = -1, nAudioRate = 0, nAudioQuality = 0;
    g_settings.GetEncoderParam(nProfile, nQuality, nBitrate, nMode, nKey, nKind, nAudioRate, nAudioQuality);
    QCOMPARE(nKind, 0);
    // Everything else is kept as it was.
    QCOMPARE(QList<int>({nProfile, nQuality, nBitrate, nMode, nKey, nAudioRate, nAudioQuality}),
             QList<int>({1, 2, 1, 1, 3, 2, 1}));
}

void TestSettingsTab::rtmpUrlComposedAndStored()
{
    QCOMPARE(ComposeRtmpUrl(QStringLiteral("192.168.1.5"), QStringLiteral("1935"), QStringLiteral("cam1")),
             QStringLiteral("rtmp://192.168.1.5:1935/live/cam1"));

    CreateTab();
    Find<QCheckBox>("ckbRtmp")->setChecked(true);
    Find<QLineEdit>("edtRtmpIp")->setText(QStringLiteral("127.0.0.1"));
    Find<QLineEdit>("edtRtmpPort")->setText(QStringLiteral("1935"));
    QLineEdit* pStream = Find<QLineEdit>("edtRtmpStream");
    pStream->clear();
    QTest::keyClicks(pStream, QStringLiteral("cam1"));
    // The key stays hidden, in its field and in the address, until asked for.
    QCOMPARE(pStream->echoMode(), QLineEdit::Password);
    QCOMPARE(Find<QLineEdit>("edtRtmpUrl")->text(), QStringLiteral("rtmp://127.0.0.1:1935/live/..."));
    QToolButton* pShow = Find<QToolButton>("btnRtmpKeyShow");
    pShow->click();
    QCOMPARE(pStream->echoMode(), QLineEdit::Normal);
    QCOMPARE(Find<QLineEdit>("edtRtmpUrl")->text(), QStringLiteral("rtmp://127.0.0.1:1935/live/cam1"));
    pShow->click();
    QCOMPARE(pStream->echoMode(), QLineEdit::Password);
    QCOMPARE(Find<QLineEdit>("edtRtmpUrl")->text(), QStringLiteral("rtmp://127.0.0.1:1935/live/..."));
    pShow->click();

    int nPush = 0;
    QString strAddress, strPort, strStream, strUrl;
    g_settings.GetRtmpServer(nPush, strAddress, strPort, strStream, strUrl);
    QCOMPARE(nPush, 1);
    QCOMPARE(strAddress, QStringLiteral("127.0.0.1"));
    QCOMPARE(strStream, QStringLiteral("cam1"));
    QCOMPARE(strUrl, QStringLiteral("rtmp://127.0.0.1:1935/live/cam1"));
}

void TestSettingsTab::rtmpFieldMessages()
{
    CreateTab();
    Find<QCheckBox>("ckbRtmp")->setChecked(true);
    QLineEdit* pIp = Find<QLineEdit>("edtRtmpIp");
    QLineEdit* pPort = Find<QLineEdit>("edtRtmpPort");
    QLineEdit* pStream = Find<QLineEdit>("edtRtmpStream");
    QPushButton* pTest = Find<QPushButton>("btnRtmpTest");

    struct Case
    {
        const char* pszIp;
        const char* pszPort;
        const char* pszStream;
        const char* pszMessage;
    };
    const Case aCases[] = {
        {"192.168.1", "1935", "cam1", "RTMP IP address is invalid!"},
        {"127.0.0.1", "19a5", "cam1", "RTMP port is invalid!"},
        {"127.0.0.1", "0", "cam1", "RTMP port is invalid!"},
        {"127.0.0.1", "1935", "cam 1", "RTMP stream name is invalid!\nOnly letter, number, '-' and '_' are supported!"},
    };
    for (const Case& c : aCases)
    {
        pIp->setText(QLatin1String(c.pszIp));
        pPort->setText(QLatin1String(c.pszPort));
        pStream->setText(QLatin1String(c.pszStream));
        CModalAnswer answer(QStringLiteral("Yes"));
        pTest->click();
        QVERIFY(answer.m_bSeen);
        QCOMPARE(answer.m_strText, QLatin1String(c.pszMessage));
        QCOMPARE(answer.m_icon, QMessageBox::Critical);
        QCOMPARE(answer.m_astrButtons, QStringList({QStringLiteral("Yes")}));
        QCOMPARE(answer.m_strTitle, GetAppTitle());
        QVERIFY(!answer.m_bHasParent);
    }

    // Valid fields reach the connection test; nothing listens on this port.
    pIp->setText(QStringLiteral("127.0.0.1"));
    pPort->setText(QStringLiteral("1"));
    pStream->setText(QStringLiteral("cam_1-a"));
    CModalAnswer answer(QStringLiteral("Yes"));
    pTest->click();
    QVERIFY(answer.m_bSeen);
    // The failure says why, on a line of its own.
    QCOMPARE(answer.m_strText.section(QLatin1Char('\n'), 0, 0), QStringLiteral("Test fail!"));
    QVERIFY2(answer.m_strText.section(QLatin1Char('\n'), 1).contains(QStringLiteral("refused the connection")),
             qPrintable(answer.m_strText));
    QCOMPARE(answer.m_icon, QMessageBox::Information);
}

void TestSettingsTab::startEnabledByRecordOrPush()
{
    g_settings.SetRecord(true);
    CreateTab();
    QCheckBox* pRecord = Find<QCheckBox>("ckbRecord");
    QCheckBox* pPush = Find<QCheckBox>("ckbRtmp");
    QVERIFY(!pPush->isChecked());
    QVERIFY(Find<QPushButton>("btnDataStorage")->isEnabled());

    pRecord->setChecked(false);
    QCOMPARE(m_notify.m_listEnable.last(), false);
    QVERIFY(!g_settings.GetRecord());
    QVERIFY(!Find<QPushButton>("btnDataStorage")->isEnabled());
    pPush->setChecked(true);
    QCOMPARE(m_notify.m_listEnable.last(), true);
    pPush->setChecked(false);
    QCOMPARE(m_notify.m_listEnable.last(), false);
    pRecord->setChecked(true);
    QCOMPARE(m_notify.m_listEnable.last(), true);
    QVERIFY(g_settings.GetRecord());
}

void TestSettingsTab::missingAudioDeviceShownAsNone()
{
    g_settings.SetAudioDevice(g_capture.GetDeviceCount(false) + 3, 1);
    CreateTab();
    QComboBox* pDevice = Find<QComboBox>("cmbAudioDevice");
    QCOMPARE(pDevice->currentIndex(), 0);
    QCOMPARE(pDevice->currentText(), QStringLiteral("(Not set device)"));
    QVERIFY(!Find<QComboBox>("cmbAudioBitrate")->isEnabled());
    QVERIFY(!Find<QComboBox>("cmbAudioQuality")->isEnabled());
    QVERIFY(!Find<QCheckBox>("ckbMonitor")->isEnabled());
}

void TestSettingsTab::controlsLockedDuringSession()
{
    CreateTab();
    Find<QCheckBox>("ckbRtmp")->setChecked(true);
    m_pTab->SetControlsEnabled(false);
    QVERIFY(!Find<QComboBox>("cmbVideoSize")->isEnabled());
    QVERIFY(!Find<QCheckBox>("ckbRecord")->isEnabled());
    QVERIFY(!Find<QLineEdit>("edtRtmpIp")->isEnabled());
    QVERIFY(!Find<QPushButton>("btnRtmpTest")->isEnabled());
    // The address pushed to stays readable.
    QVERIFY(Find<QLineEdit>("edtRtmpUrl")->isEnabled());
    m_pTab->SetControlsEnabled(true);
    QVERIFY(Find<QComboBox>("cmbVideoSize")->isEnabled());
    QVERIFY(Find<QLineEdit>("edtRtmpIp")->isEnabled());
}

void TestSettingsTab::RestartEngineWithTones(int nTones)
{
    static QTemporaryDir s_dir;
    g_capture.Uninit();
    m_pOutput.reset();
    // A socket that does not exist: no sound server of the machine leaks in.
    qputenv("PULSE_SERVER", "unix:" + s_dir.filePath(QStringLiteral("none")).toLocal8Bit());
    qputenv("VISTREL_VIRTUAL_AUDIO", QByteArray::number(nTones));
    QVERIFY(StartEngine("2"));
    m_pOutput = StartOutput();
    QVERIFY(m_pOutput);
}

void TestSettingsTab::rtmpCommaRefused_data()
{
    QTest::addColumn<QString>("strEdit");
    QTest::addColumn<QString>("strMessage");
    QTest::newRow("address") << "edtRtmpIp"
                             << "RTMP IP address is invalid!";
    QTest::newRow("port") << "edtRtmpPort"
                          << "RTMP port is invalid!";
    QTest::newRow("stream") << "edtRtmpStream"
                            << "RTMP stream name is invalid!\nOnly letter, number, '-' and '_' are supported!";
}

void TestSettingsTab::rtmpCommaRefused()
{
    QFETCH(QString, strEdit);
    QFETCH(QString, strMessage);
    CreateTab();
    Find<QCheckBox>("ckbRtmp")->setChecked(true);
    Find<QLineEdit>("edtRtmpIp")->setText(QStringLiteral("127.0.0.1"));
    Find<QLineEdit>("edtRtmpPort")->setText(QStringLiteral("1936"));
    Find<QLineEdit>("edtRtmpStream")->setText(QStringLiteral("cam1"));
    QLineEdit* pEdit = m_pTab->findChild<QLineEdit*>(strEdit);
    QVERIFY(pEdit);
    const QString strBefore = pEdit->text();

    for (const char* pszWay : {"typed", "pasted"})
    {
        CModalAnswer answer(QStringLiteral("Yes"));
        if (qstrcmp(pszWay, "typed") == 0)
            QTest::keyClicks(pEdit, QStringLiteral(","));
        else
            pEdit->setText(QStringLiteral("a,b"));
        QVERIFY2(answer.m_bSeen, pszWay);
        QCOMPARE(answer.m_strText, strMessage);
        QCOMPARE(answer.m_icon, QMessageBox::Critical);
        QCOMPARE(pEdit->text(), strBefore);
    }

    // What the next start reads: pushing still on, to the same place.
    int nPush = 0;
    QString strAddress, strPort, strStream, strUrl;
    g_settings.GetRtmpServer(nPush, strAddress, strPort, strStream, strUrl);
    QCOMPARE(nPush, 1);
    QCOMPARE(QStringList({strAddress, strPort, strStream, strUrl}),
             QStringList({"127.0.0.1", "1936", "cam1", "rtmp://127.0.0.1:1936/live/cam1"}));
    QCOMPARE(Find<QLineEdit>("edtRtmpUrl")->text(), QStringLiteral("rtmp://127.0.0.1:1936/live/..."));
}

void TestSettingsTab::storedAudioDeviceFoundByName()
{
    RestartEngineWithTones(2);
    // Chosen at index 0 while another list was in force.
    g_settings.SetAudioDevice(0, 0, QStringLiteral("Virtual Tone 2"));
    CreateTab();
    QComboBox* pDevice = Find<QComboBox>("cmbAudioDevice");
    QCOMPARE(pDevice->currentText(), QStringLiteral("Virtual Tone 2"));
    QVERIFY(g_capture.HasAudioDevice());

    // The user's choice is stored with its name.
    pDevice->setCurrentIndex(pDevice->findText(QStringLiteral("Virtual Tone 1")));
    int nDevice = -9, nMonitor = -9;
    g_settings.GetAudioDevice(nDevice, nMonitor);
    QCOMPARE(nDevice, 0);
    QCOMPARE(g_settings.GetAudioDeviceName(), QStringLiteral("Virtual Tone 1"));
}

void TestSettingsTab::missingAudioDeviceReported()
{
    RestartEngineWithTones(2);
    g_settings.SetAudioDevice(1, 1, QStringLiteral("Virtual Tone 3"));
    QMainWindow window;
    CTabSettings* pTab = new CTabSettings(&m_notify, &m_device, &window);
    window.setCentralWidget(pTab);
    window.show();

    QComboBox* pDevice = pTab->findChild<QComboBox*>(QStringLiteral("cmbAudioDevice"));
    QVERIFY(pDevice);
    QCOMPARE(pDevice->currentIndex(), 0);
    QVERIFY(!pTab->findChild<QComboBox*>(QStringLiteral("cmbAudioBitrate"))->isEnabled());
    // Not the device that sits at the stored index now.
    QVERIFY(!g_capture.HasAudioDevice());
    QVERIFY(!g_capture.HasPendingAudioDevice());
    QTRY_COMPARE_WITH_TIMEOUT(
        UiTest::LastingText(&window),
        QStringLiteral("Audio device \"Virtual Tone 3\" is not available. No audio device is open."), WAIT_MS);
    // Kept for the start where it is back.
    QCOMPARE(g_settings.GetAudioDeviceName(), QStringLiteral("Virtual Tone 3"));
}

void TestSettingsTab::controlsAfterSessionFollowTheirBoxes()
{
    RestartEngineWithTones(1);
    CreateTab();
    m_pTab->SetControlsEnabled(false);
    m_pTab->SetControlsEnabled(true);
    QVERIFY(Find<QComboBox>("cmbVideoSize")->isEnabled());
    QVERIFY(Find<QComboBox>("cmbAudioDevice")->isEnabled());
    QVERIFY(Find<QCheckBox>("ckbRtmp")->isEnabled());
    // Pushing is off and no device is chosen.
    for (const char* pszName : {"edtRtmpIp", "edtRtmpPort", "edtRtmpStream", "edtRtmpUrl", "btnRtmpTest",
                                "cmbAudioBitrate", "cmbAudioQuality"})
        QVERIFY2(!m_pTab->findChild<QWidget*>(QLatin1String(pszName))->isEnabled(), pszName);

    Find<QCheckBox>("ckbRtmp")->setChecked(true);
    QComboBox* pDevice = Find<QComboBox>("cmbAudioDevice");
    pDevice->setCurrentIndex(pDevice->findText(QStringLiteral("Virtual Tone 1")));
    m_pTab->SetControlsEnabled(false);
    m_pTab->SetControlsEnabled(true);
    for (const char* pszName : {"edtRtmpIp", "edtRtmpPort", "edtRtmpStream", "edtRtmpUrl", "btnRtmpTest",
                                "cmbAudioBitrate", "cmbAudioQuality", "ckbMonitor"})
        QVERIFY2(m_pTab->findChild<QWidget*>(QLatin1String(pszName))->isEnabled(), pszName);
}

void TestSettingsTab::fitsTabWindow_data()
{
    QTest::addColumn<QString>("strLang");
    QTest::newRow("English") << "";
    QTest::newRow("Simplified Chinese") << "zh_CN";
    QTest::newRow("Traditional Chinese") << "zh_TW";
}

// Within the output panel's tab window: no horizontal scroll bar, and no
// label, value or button cut off.
void TestSettingsTab::fitsTabWindow()
{
    QFETCH(QString, strLang);
    CLanguage language(strLang);
    QVERIFY(strLang.isEmpty() || language.m_bLoaded);
    CTabWnd tabWnd(&m_notify, nullptr);
    tabWnd.setFixedWidth(CMainWnd::TAB_WIDTH);
    tabWnd.resize(CMainWnd::TAB_WIDTH, 600);
    tabWnd.show();
    QTabWidget* pTabs = tabWnd.GetTabWidget();
    pTabs->setCurrentIndex(pTabs->count() - 1);
    QVERIFY(QTest::qWaitForWindowExposed(&tabWnd));
    QScrollArea* pArea = qobject_cast<QScrollArea*>(pTabs->currentWidget());
    QVERIFY(pArea);
    CTabSettings* pTab = tabWnd.GetSettingsTab();
    // The translation is really in use.
    QCOMPARE(pTab->findChild<QCheckBox*>(QStringLiteral("ckbRecord"))->text() ==
                 QStringLiteral("Record output to file."),
             strLang.isEmpty());

    QTRY_VERIFY_WITH_TIMEOUT(pArea->viewport()->width() > 0 && pTab->width() > 0, WAIT_MS);
    QVERIFY2(
        !pArea->horizontalScrollBar()->isVisible(),
        qPrintable(
            QStringLiteral("needs %1, has %2").arg(pTab->minimumSizeHint().width()).arg(pArea->viewport()->width())));
    QVERIFY(pTab->width() <= pArea->viewport()->width());
    for (QWidget* pWidget : pTab->findChildren<QWidget*>())
    {
        const bool bText = qobject_cast<QLabel*>(pWidget) || qobject_cast<QComboBox*>(pWidget) ||
                           qobject_cast<QAbstractButton*>(pWidget);
        if (!bText || !pWidget->isVisible())
            continue;
        QVERIFY2(pWidget->width() >= pWidget->sizeHint().width(),
                 qPrintable(QStringLiteral("%1 %2: %3 < %4")
                                .arg(pWidget->metaObject()->className(), pWidget->objectName())
                                .arg(pWidget->width())
                                .arg(pWidget->sizeHint().width())));
    }
}

// Needs the option texts in the translation files.
void TestSettingsTab::optionListsTranslated()
{
    struct Expected
    {
        const char* pszLang;
        QStringList astrProfiles;
        QStringList astrQualities;
        QStringList astrModes;
        QString strRate;
    };
    const Expected aExpected[] = {
        {"zh_CN", {"高档次", "主档次", "基本档次"}, {"高质量", "均衡", "最快速度"}, {"普通", "低延迟"}, "25.00 帧/秒"},
        {"zh_TW",
         {"高階設定檔", "主要設定檔", "基本設定檔"},
         {"高品質", "平衡", "最快速度"},
         {"一般", "低延遲"},
         "25.00 幀/秒"},
    };
    auto items = [](const QComboBox* pCombo) {
        QStringList astrItems;
        for (int i = 0; i < pCombo->count(); ++i)
            astrItems << pCombo->itemText(i);
        return astrItems;
    };
    for (const Expected& expected : aExpected)
    {
        CLanguage language(QLatin1String(expected.pszLang));
        QVERIFY(language.m_bLoaded);
        CreateTab();
        QCOMPARE(items(Find<QComboBox>("cmbH264Profile")), expected.astrProfiles);
        QCOMPARE(items(Find<QComboBox>("cmbH264Quality")), expected.astrQualities);
        QCOMPARE(items(Find<QComboBox>("cmbH264Mode")), expected.astrModes);
        QComboBox* pRate = Find<QComboBox>("cmbFrameRate");
        QCOMPARE(pRate->itemText(pRate->findData(RATE_25)), expected.strRate);
        m_pTab.reset();
    }
}

QTEST_MAIN(TestSettingsTab)
#include "tst_ui_settings.moc"
