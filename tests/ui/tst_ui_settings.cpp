// The Settings tab on the engine with virtual cameras: what each control
// stores, the bitrate the output size suggests, the format change reaching
// the engine and the Device tab, and the RTMP fields with their messages.
#include "../app/ModalAnswer.h"
#include "AppInfo.h"
#include "CTabSettings.h"
#include "IDeviceCallback.h"
#include "IKVRecordNotify.h"
#include "UiTestUtil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace UiTest;

namespace
{
// What the main window hears from the tab.
class CNotifyLog : public IKVRecordNotify
{
public:
    void OnRecordStarted(const QString&) override {}
    void OnRecordStopped() override {}
    void OnSnapshot(const QString&) override {}
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
    void smallFormatBoundaryRebuildsDeviceOrder();
    void unavailableHardwareEncoderRewritten();
    void rtmpUrlComposedAndStored();
    void rtmpFieldMessages();
    void startEnabledByRecordOrPush();
    void missingAudioDeviceShownAsNone();
    void controlsLockedDuringSession();

private:
    CTabSettings* CreateTab();
    template <class T>
    T* Find(const char* pszName)
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
    QCOMPARE(Find<QLineEdit>("edtRtmpUrl")->text(), QStringLiteral("rtmp://127.0.0.1:1935/live/cam1"));

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
    QCOMPARE(answer.m_strText, QStringLiteral("Test fail!"));
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

QTEST_MAIN(TestSettingsTab)
#include "tst_ui_settings.moc"
