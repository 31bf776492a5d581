// Recording sessions through the real main window on virtual cameras: the
// status bar during and after a recording, the file it names, the RTMP field
// refusal and an engine error stopping the session.
#include "common/AppInfo.h"
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "app/CMainWnd.h"
#include "config/CSettings.h"
#include "ui/windows/CVideoWnd.h"
#include "app/CVistrel.h"
#include "ModalAnswer.h"
#include "ProgramFixture.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <thread>

namespace
{
const int s_nTimeoutMs = 30000;

// Answers every modal box in turn with its first button, noting the texts.
class CAnswerAll : public QObject
{
public:
    CAnswerAll()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { Poll(); });
        m_timer.start();
    }
    QStringList m_astrTexts;

private:
    void Poll()
    {
        QMessageBox* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox || !pBox->isVisible() || pBox->buttons().isEmpty())
            return;
        m_astrTexts << pBox->text();
        pBox->buttons().first()->click();
    }
    QTimer m_timer;
};
}

class TestSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void RecordingStatusAndFile();
    void InvalidRtmpPortRefusesStart();
    void IncompleteStreamRecord_data();
    void IncompleteStreamRecord();
    void WriteErrorStopsSession();
    void LevelBarFollowsAudio();
    void StreamingOnlyWithSnapshot();
    void RecordingFolderGone_data();
    void RecordingFolderGone();
    void LogoFailureStaysDuringRecording();

private:
    CMainWnd* Panel() const { return m_pWnd->GetOutputPanel(); }
    QPushButton* Button(const char* pszName) const { return Panel()->findChild<QPushButton*>(QLatin1String(pszName)); }
    QLabel* Label(const char* pszName) const { return m_pWnd->findChild<QLabel*>(QLatin1String(pszName)); }
    // The main window's 500 ms status timer (the panel's timers sit deeper).
    QTimer* StatusTimer() const { return m_pWnd->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly); }

    std::unique_ptr<QTemporaryDir> m_pStorage;
    std::unique_ptr<CVistrel> m_pWnd;
};

void TestSession::initTestCase()
{
    QVERIFY(ProgramFixture::StartProgram());
}

void TestSession::cleanupTestCase()
{
    ProgramFixture::StopProgram();
}

void TestSession::init()
{
    m_pStorage = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pStorage->isValid());
    g_settings.SetDataStorage(QDir::toNativeSeparators(m_pStorage->path()));
    // 320 x 240 keeps the encoding cheap.
    g_settings.SetOutputFormat(18, 2);
    g_settings.SetRecord(true);
    g_settings.SetRtmpServer(0, QString(), QString(), QString(), QString());
    g_settings.SetAudioDevice(-1, 0);
    m_pWnd = std::make_unique<CVistrel>();
    m_pWnd->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWnd.get(), s_nTimeoutMs));
}

void TestSession::cleanup()
{
    if (Panel()->IsRunning())
        Panel()->OnButtonStop();
    m_pWnd.reset();
    for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
        g_capture.CloseChannel(i);
    g_capture.DestroyMixer();
    m_pStorage.reset();
}

void TestSession::RecordingStatusAndFile()
{
    Button("buttonStart")->click();
    QVERIFY(Panel()->IsRunning());
    QVERIFY(!Button("buttonStart")->isEnabled());
    QVERIFY(Button("buttonStop")->isEnabled());

    const QStringList astrFiles =
        QDir(m_pStorage->path() + QStringLiteral("/Video")).entryList({QStringLiteral("*.mp4")}, QDir::Files);
    QCOMPARE(astrFiles.size(), 1);
    const QString& strName = astrFiles.first();
    const QString strPath = m_pStorage->path() + QStringLiteral("/Video/") + strName;

    QLabel* pRecord = Label("labelRecord");
    QLabel* pStatistics = Label("labelStatistics");
    QVERIFY(pRecord->isVisibleTo(m_pWnd.get()));
    QVERIFY(pRecord->text().contains(QStringLiteral("Recording, writing file name")));
    QVERIFY(pRecord->text().contains(strName));
    QVERIFY(pRecord->text().contains(QStringLiteral("disk free space")));
    QVERIFY(!Label("labelLiving")->isVisibleTo(m_pWnd.get()));
    // The encoder's measurement arrives within the status updates.
    QTRY_VERIFY_WITH_TIMEOUT(pStatistics->isVisibleTo(m_pWnd.get()) &&
                                 pStatistics->text().startsWith(QStringLiteral("Bitrate: ")),
                             s_nTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(strPath).size() > 0, s_nTimeoutMs);

    Button("buttonStop")->click();
    QVERIFY(!Panel()->IsRunning());
    QVERIFY(Button("buttonStart")->isEnabled());
    QVERIFY(!pStatistics->isVisibleTo(m_pWnd.get()));
    const QString strText = pRecord->text();
    QVERIFY2(strText.startsWith(QStringLiteral("Stop record, make video file: ") + strName +
                                QStringLiteral(", file size: ")),
             qPrintable(strText));
    QVERIFY(strText.endsWith(QStringLiteral("\">Open File</a>")));
    QVERIFY(QFileInfo(strPath).isFile());
    QVERIFY(QFileInfo(strPath).size() > 0);

    // The link names a file that was taken away since.
    QVERIFY(QFile::remove(strPath));
    CModalAnswer answer(QStringLiteral("OK"));
    m_pWnd->OnlinkActivated(strPath);
    QVERIFY(answer.m_bSeen);
    QCOMPARE(answer.m_strText, QStringLiteral("File does not exist"));
}

void TestSession::InvalidRtmpPortRefusesStart()
{
    g_settings.SetRecord(false);
    g_settings.SetRtmpServer(1, QStringLiteral("127.0.0.1"), QStringLiteral("0"), QStringLiteral("cam1"),
                             QStringLiteral("rtmp://127.0.0.1:0/live/cam1"));
    CAnswerAll answers;
    Button("buttonStart")->click();
    // The field's message alone: a "Start error!" after it would only repeat it.
    QCOMPARE(answers.m_astrTexts, QStringList({QStringLiteral("RTMP port is invalid!")}));
    QVERIFY(!Panel()->IsRunning());
    QVERIFY(!Button("buttonStop")->isEnabled());
    QVERIFY(!g_capture.IsRecording());
}

void TestSession::WriteErrorStopsSession()
{
    Button("buttonStart")->click();
    QVERIFY(Panel()->IsRunning());
    CModalAnswer answer(QStringLiteral("OK"));
    // As the engine reports it, from another thread.
    std::thread([this] { m_pWnd->OnError(2); }).join();
    QTRY_VERIFY_WITH_TIMEOUT(answer.m_bSeen, s_nTimeoutMs);
    QCOMPARE(answer.m_strText, QStringLiteral("Write file fail ! Recording has been stopped !\n"));
    QVERIFY(!Panel()->IsRunning());
    QVERIFY(!g_capture.IsRecording());
    QVERIFY(Label("labelRecord")->text().startsWith(QStringLiteral("Stop record, make video file: ")));
}

void TestSession::LevelBarFollowsAudio()
{
    QProgressBar* pLevel = Panel()->findChild<QProgressBar*>(QStringLiteral("levelBar"));
    QVERIFY(pLevel);
    QCOMPARE(pLevel->value(), 0);

    // The Settings tab opens the stored device as it is built. A sound
    // server's sources, if one runs, are listed before the tone.
    int nTone = -1;
    for (int i = 0; i < g_capture.GetDeviceCount(false); ++i)
    {
        QString strName;
        if (g_capture.GetDeviceName(false, i, strName) && strName == QStringLiteral("Virtual Tone 1"))
            nTone = i;
    }
    QVERIFY(nTone >= 0);
    m_pWnd.reset();
    g_settings.SetAudioDevice(nTone, 0);
    m_pWnd = std::make_unique<CVistrel>();
    m_pWnd->show();
    pLevel = Panel()->findChild<QProgressBar*>(QStringLiteral("levelBar"));
    QTRY_VERIFY_WITH_TIMEOUT(pLevel->value() > 0, s_nTimeoutMs);
    g_capture.CloseAudio();
    QTRY_COMPARE_WITH_TIMEOUT(pLevel->value(), 0, s_nTimeoutMs);
}

void TestSession::IncompleteStreamRecord_data()
{
    QTest::addColumn<QString>("strRecord");
    QTest::addColumn<QString>("strMessage");
    // No fields at all: refused as the fields are refused.
    QTest::newRow("empty") << "1,,,,"
                           << "RTMP IP address is invalid!";
    // Fields without the composed address: composed afresh, and nothing
    // listens there, so never "publishing".
    QTest::newRow("no address") << "1,127.0.0.1,1,test,"
                                << "";
}

// A stored stream record an older build or a hand edit left incomplete.
void TestSession::IncompleteStreamRecord()
{
    QFETCH(QString, strRecord);
    QFETCH(QString, strMessage);
    g_settings.SetRecord(false);
    g_settings.setValue(QStringLiteral("RtmpServer"), strRecord);
    CAnswerAll answers;
    Button("buttonStart")->click();
    if (!strMessage.isEmpty())
    {
        QCOMPARE(answers.m_astrTexts, QStringList({strMessage}));
        QVERIFY(!Panel()->IsRunning());
        return;
    }
    QVERIFY(answers.m_astrTexts.isEmpty());
    QVERIFY(Panel()->IsRunning());
    QCOMPARE(g_capture.GetStreamCount(), 1);
    QLabel* pLiving = Label("labelLiving");
    QSignalSpy spyTicks(StatusTimer(), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(spyTicks.size() >= 2, s_nTimeoutMs);
    QVERIFY2(pLiving->text().contains(QStringLiteral("RTMP connecting")) ||
                 pLiving->text().contains(QStringLiteral("RTMP reconnecting (attempt ")),
             qPrintable(pLiving->text()));
    Button("buttonStop")->click();
    QVERIFY(!Panel()->IsRunning());
}

void TestSession::StreamingOnlyWithSnapshot()
{
    // Nothing listens there; the client keeps trying on its own thread
    // while the session runs.
    g_settings.SetRecord(false);
    g_settings.SetRtmpServer(1, QStringLiteral("127.0.0.1"), QStringLiteral("1"), QStringLiteral("cam1"),
                             QStringLiteral("rtmp://127.0.0.1:1/live/cam1"));
    Button("buttonStart")->click();
    if (!Panel()->IsRunning())
        QSKIP("the engine does not start a stream without a server");
    QLabel* pRecord = Label("labelRecord");
    QLabel* pLiving = Label("labelLiving");
    QVERIFY(pLiving->isVisibleTo(m_pWnd.get()));
    // Nothing listens: the indicator must not claim the stream is received.
    QVERIFY2(pLiving->text().contains(QStringLiteral("RTMP connecting")) ||
                 pLiving->text().contains(QStringLiteral("RTMP reconnecting (attempt ")),
             qPrintable(pLiving->text()));
    QVERIFY(!pRecord->isVisibleTo(m_pWnd.get()));
    QVERIFY(QDir(m_pStorage->path() + QStringLiteral("/Video")).entryList(QDir::Files).isEmpty());

    // A snapshot's message stays beside the indicator until the session ends.
    QTRY_VERIFY_WITH_TIMEOUT(Panel()->GetPreviewWnd()->HasPicture(), s_nTimeoutMs);
    Panel()->OnButtonSnapshot();
    // Announced once the file is written.
    QTRY_VERIFY_WITH_TIMEOUT(pRecord->isVisibleTo(m_pWnd.get()) &&
                                 pRecord->text().startsWith(QStringLiteral("Snapshot ok, make image file: ")),
                             s_nTimeoutMs);
    QVERIFY(pRecord->text().endsWith(QStringLiteral("\">Open File</a>")));
    QSignalSpy spyTicks(StatusTimer(), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(spyTicks.size() >= 2, s_nTimeoutMs);
    QVERIFY(pRecord->text().startsWith(QStringLiteral("Snapshot ok, make image file: ")));
    QVERIFY(pLiving->isVisibleTo(m_pWnd.get()));

    Button("buttonStop")->click();
    QVERIFY(!Panel()->IsRunning());
    QVERIFY(!pLiving->isVisibleTo(m_pWnd.get()));
}

void TestSession::RecordingFolderGone_data()
{
    QTest::addColumn<QString>("strHow");
    QTest::newRow("disk guard") << "guard";
    // Both ways to stop run the same sequence, which must not ask for room
    // that no folder can offer.
    QTest::newRow("Stop button") << "button";
    QTest::newRow("Stop menu") << "menu";
    // The file lives on, elsewhere; the guard stops the recording.
    QTest::newRow("folder moved") << "moved";
}

void TestSession::RecordingFolderGone()
{
    QFETCH(QString, strHow);
    Button("buttonStart")->click();
    QVERIFY(Panel()->IsRunning());
    const QString strVideo = m_pStorage->path() + QStringLiteral("/Video");
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() > 0, s_nTimeoutMs);

    CAnswerAll answers;
    if (strHow == QLatin1String("moved"))
        QVERIFY(QDir().rename(strVideo, strVideo + QStringLiteral("-moved")));
    else
        QVERIFY(QDir(strVideo).removeRecursively());
    // No event is handled in between, so the guard cannot come first.
    if (strHow == QLatin1String("button"))
        Button("buttonStop")->click();
    else if (strHow == QLatin1String("menu"))
        m_pWnd->OnMenuStop();
    QTRY_VERIFY_WITH_TIMEOUT(!Panel()->IsRunning() && !answers.m_astrTexts.isEmpty(), s_nTimeoutMs);
    QVERIFY(!Panel()->IsStopping());
    QVERIFY(!g_capture.IsRecording());
    QVERIFY(!StatusTimer()->isActive());
    QCOMPARE(answers.m_astrTexts, QStringList({QStringLiteral("Folder is gone:\n%1\nRecording has been stopped.")
                                                   .arg(QDir::toNativeSeparators(strVideo))}));
    QVERIFY(Button("buttonStart")->isEnabled());
    // The last line names no size of a file that is not there, and offers
    // no link to it.
    const QString strRecord = Label("labelRecord")->text();
    QVERIFY2(strRecord.contains(QStringLiteral("is no longer in")), qPrintable(strRecord));
    QVERIFY2(!strRecord.contains(QStringLiteral("Open File")) && !strRecord.contains(QStringLiteral("file size")),
             qPrintable(strRecord));
}

void TestSession::LogoFailureStaysDuringRecording()
{
    Button("buttonStart")->click();
    QVERIFY(Panel()->IsRunning());
    // The Overlay tab hears of every logo the engine could not load.
    QVERIFY(g_capture.SetLogo(m_pStorage->path() + QStringLiteral("/no-such-logo.png"), 3, 50));
    QLabel* pLasting = Label("labelLasting");
    QVERIFY(pLasting);
    QTRY_VERIFY_WITH_TIMEOUT(pLasting->isVisibleTo(m_pWnd.get()) &&
                                 pLasting->text().contains(QStringLiteral("\"no-such-logo.png\" cannot be shown")),
                             s_nTimeoutMs);

    // Several status refreshes later it is still there.
    QSignalSpy spyRefresh(StatusTimer(), &QTimer::timeout);
    QTRY_VERIFY_WITH_TIMEOUT(spyRefresh.count() >= 4, s_nTimeoutMs);
    QVERIFY(pLasting->isVisibleTo(m_pWnd.get()));
    QVERIFY(pLasting->text().contains(QStringLiteral("\"no-such-logo.png\" cannot be shown")));
    QVERIFY(Label("labelRecord")->text().contains(QStringLiteral("Recording, writing file name")));
}

QTEST_MAIN(TestSession)
#include "tst_app_session.moc"
