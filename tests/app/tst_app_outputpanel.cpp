// The output panel on virtual cameras, inside the real main window: its
// controls, snapshots written to the storage folder, the full-screen preview,
// rebuilding the output from the settings, and the start checks.
#include "common/AppInfo.h"
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "app/CMainWnd.h"
#include "config/CSettings.h"
#include "ui/tabs/CTabWnd.h"
#include "ui/windows/CVideoWnd.h"
#include "app/CVistrel.h"
#include "ModalAnswer.h"
#include "ProgramFixture.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLCDNumber>
#include <QPushButton>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace
{
const int s_nTimeoutMs = 30000;
}

class TestOutputPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void Controls();
    void TitleShowsConfiguredRate();
    void SnapshotWritesJpeg();
    void SnapshotWithoutStorageFolder();
    void SnapshotsInOneSecondStayApart();
    void SnapshotFolderNotWritable();
    void SnapshotWriteFailureReported();
    void FullscreenAndBack();
    void ApplyOutputSettingsRebuilds();
    void LogoFromSettings();
    void StartChecks();

private:
    CMainWnd* Panel() const { return m_pWnd->GetOutputPanel(); }
    QPushButton* Button(const char* pszName) const { return Panel()->findChild<QPushButton*>(QLatin1String(pszName)); }
    bool ShowWindow();
    QStringList Snapshots() const;

    std::unique_ptr<QTemporaryDir> m_pStorage;
    std::unique_ptr<CVistrel> m_pWnd;
};

void TestOutputPanel::initTestCase()
{
    QVERIFY(ProgramFixture::StartProgram());
}

void TestOutputPanel::cleanupTestCase()
{
    ProgramFixture::StopProgram();
}

void TestOutputPanel::init()
{
    m_pStorage = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pStorage->isValid());
    g_settings.SetDataStorage(QDir::toNativeSeparators(m_pStorage->path()));
    g_settings.SetOutputFormat(11, 2);
    g_settings.SetRecord(true);
    g_settings.SetLogo(-1, 1, 50);
    m_pWnd = std::make_unique<CVistrel>();
}

void TestOutputPanel::cleanup()
{
    m_pWnd.reset();
    for (int i = 0; i < 6; ++i)
        g_capture.CloseChannel(i);
    g_capture.DestroyMixer();
    m_pStorage.reset();
}

bool TestOutputPanel::ShowWindow()
{
    m_pWnd->show();
    return QTest::qWaitForWindowExposed(m_pWnd.get(), s_nTimeoutMs);
}

QStringList TestOutputPanel::Snapshots() const
{
    return QDir(m_pStorage->path() + QStringLiteral("/Snapshot")).entryList({QStringLiteral("*.jpg")}, QDir::Files);
}

void TestOutputPanel::Controls()
{
    QGroupBox* pBox = Panel()->findChild<QGroupBox*>(QStringLiteral("outputBox"));
    QCOMPARE(pBox->title(), QStringLiteral("Output (25.00 FPS)"));
    // Room for the whole title, closing parenthesis included, at every font
    // size (at some of them the text's ink is narrower than its advance).
    const QFont fontBox = pBox->font();
    for (int nPixels = 8; nPixels <= 20; ++nPixels)
    {
        QFont font = fontBox;
        font.setPixelSize(nPixels);
        pBox->setFont(font);
        QStyleOptionGroupBox option;
        option.initFrom(pBox);
        option.text = pBox->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        const QRect rectLabel =
            pBox->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, pBox);
        QVERIFY2(rectLabel.width() >= pBox->fontMetrics().horizontalAdvance(pBox->title()),
                 qPrintable(QString::number(nPixels)));
    }
    pBox->setFont(fontBox);
    QVERIFY(Button("buttonStart")->isEnabled());
    QVERIFY(!Button("buttonStop")->isEnabled());
    // The preview shows the composed output, not one of the channels.
    QCOMPARE(Panel()->GetPreviewWnd()->GetChannel(), 6);
    QVERIFY(!Panel()->GetPreviewWnd()->IsPlaceholder());
    QCOMPARE(Panel()->GetTabWnd()->width(), 440);
}

void TestOutputPanel::TitleShowsConfiguredRate()
{
    m_pWnd.reset();
    g_settings.SetOutputFormat(11, 1);
    m_pWnd = std::make_unique<CVistrel>();
    QCOMPARE(Panel()->findChild<QGroupBox*>(QStringLiteral("outputBox"))->title(),
             QStringLiteral("Output (29.97 FPS)"));
    QCOMPARE(g_capture.GetFrameDuration(), 333667);
}

void TestOutputPanel::SnapshotWritesJpeg()
{
    QVERIFY(ShowWindow());
    CVideoWnd* pPreview = Panel()->GetPreviewWnd();
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->HasPicture(), s_nTimeoutMs);

    Button("buttonSnapshot")->click();
    QStringList astrFiles;
    QTRY_COMPARE_WITH_TIMEOUT((astrFiles = Snapshots()).size(), 1, s_nTimeoutMs);
    const QString strName = astrFiles.first();
    QVERIFY2(QRegularExpression(QStringLiteral("\\A\\d{4}\\.\\d\\d\\.\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d\\.jpg\\z"))
                 .match(strName)
                 .hasMatch(),
             qPrintable(strName));
    const QString strPath = m_pStorage->path() + QStringLiteral("/Snapshot/") + strName;
    QImageReader reader(strPath);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), QSize(768, 576));

    // The main window shows what was made, with a link to open it, once the
    // file is written.
    QLabel* pRecord = m_pWnd->findChild<QLabel*>(QStringLiteral("labelRecord"));
    QTRY_VERIFY2_WITH_TIMEOUT(pRecord->text().startsWith(QStringLiteral("Snapshot ok, make image file: ") + strName),
                              qPrintable(pRecord->text()), s_nTimeoutMs);
    QVERIFY(pRecord->isVisible());
    QVERIFY(pRecord->text().contains(QStringLiteral("\">Open File</a>")));
}

void TestOutputPanel::SnapshotWithoutStorageFolder()
{
    const QString strGone = m_pStorage->path() + QStringLiteral("/gone");
    g_settings.SetDataStorage(strGone);
    QVERIFY(QDir(strGone).removeRecursively());

    CModalAnswer answer(QStringLiteral("OK"));
    m_pWnd->OnMenuSnapshot();
    QVERIFY(answer.m_bSeen);
    QCOMPARE(answer.m_strText, QStringLiteral("Folder not exists.\nPlease reset saving path!"));
    QCOMPARE(answer.m_strTitle, GetAppTitle());
    QVERIFY(!QDir(strGone).exists());
    QVERIFY(!m_pWnd->findChild<QLabel*>(QStringLiteral("labelRecord"))->isVisible());
}

void TestOutputPanel::SnapshotsInOneSecondStayApart()
{
    QVERIFY(ShowWindow());
    QTRY_VERIFY_WITH_TIMEOUT(Panel()->GetPreviewWnd()->HasPicture(), s_nTimeoutMs);
    // The signal leaves the writer's thread; the reports are collected on
    // this one, as the window receives them.
    QList<QPair<QString, bool>> aReports;
    QObject receiver;
    connect(
        m_pWnd.get(), &CVistrel::signalSnapshotFinished, &receiver,
        [&aReports](const QString& strPath, bool bWritten) {
            aReports.append({strPath, bWritten});
        },
        Qt::QueuedConnection);
    // Early in a second, so that all three share its name.
    QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().msec() < 200, s_nTimeoutMs);
    for (int i = 0; i < 3; ++i)
        Button("buttonSnapshot")->click();

    QTRY_COMPARE_WITH_TIMEOUT(aReports.size(), 3, s_nTimeoutMs);
    const QStringList astrFiles = Snapshots();
    QCOMPARE(astrFiles.size(), 3);
    const QString strFirst = *std::min_element(astrFiles.begin(), astrFiles.end(),
                                               [](const QString& a, const QString& b) { return a.size() < b.size(); });
    QString strStem = strFirst;
    strStem.chop(4);
    QCOMPARE(QSet<QString>(astrFiles.begin(), astrFiles.end()),
             QSet<QString>({strFirst, strStem + QStringLiteral(" (2).jpg"), strStem + QStringLiteral(" (3).jpg")}));
    QSet<QString> setReported;
    for (const auto& report : aReports)
    {
        QVERIFY(report.second);
        const QString strPath = report.first;
        setReported.insert(QFileInfo(strPath).fileName());
        const QImage image(strPath);
        QCOMPARE(image.size(), QSize(768, 576));
    }
    QCOMPARE(setReported, QSet<QString>(astrFiles.begin(), astrFiles.end()));
    QLabel* pRecord = m_pWnd->findChild<QLabel*>(QStringLiteral("labelRecord"));
    QTRY_VERIFY_WITH_TIMEOUT(pRecord->text().startsWith(QStringLiteral("Snapshot ok, make image file: ") +
                                                        QFileInfo(aReports.last().first).fileName()),
                             s_nTimeoutMs);
}

void TestOutputPanel::SnapshotFolderNotWritable()
{
    // A file where the folder should be: nothing can be made below it,
    // whoever runs the program.
    const QString strBlocked = m_pStorage->path() + QStringLiteral("/Snapshot");
    QVERIFY(QDir(strBlocked).removeRecursively());
    QFile file(strBlocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    CModalAnswer answer(QStringLiteral("OK"));
    Button("buttonSnapshot")->click();
    QVERIFY(answer.m_bSeen);
    QCOMPARE(answer.m_strText, QStringLiteral("Folder cannot be written:\n%1\nPlease reset saving path!")
                                   .arg(QDir::toNativeSeparators(strBlocked)));
    QVERIFY(!m_pWnd->findChild<QLabel*>(QStringLiteral("labelRecord"))->isVisible());
}

void TestOutputPanel::SnapshotWriteFailureReported()
{
    QVERIFY(ShowWindow());
    // The folder is gone by the time the writer gets to it.
    const QString strPath = m_pStorage->path() + QStringLiteral("/gone/shot.jpg");
    QCOMPARE(g_capture.Snapshot(strPath, 75), 1);
    QLabel* pRecord = m_pWnd->findChild<QLabel*>(QStringLiteral("labelRecord"));
    QTRY_COMPARE_WITH_TIMEOUT(pRecord->text(), QStringLiteral("Snapshot failed, cannot write image file: ") + strPath,
                              s_nTimeoutMs);
    QVERIFY(pRecord->isVisible());
    QVERIFY(!QFileInfo::exists(strPath));
    QVERIFY(!g_capture.IsSnapshotPending(strPath));
}

void TestOutputPanel::FullscreenAndBack()
{
    QVERIFY(ShowWindow());
    CVideoWnd* pPreview = Panel()->GetPreviewWnd();
    QGroupBox* pBox = Panel()->findChild<QGroupBox*>(QStringLiteral("outputBox"));
    const QRect rcInBox = pPreview->geometry();
    QVERIFY(!pPreview->isWindow());

    Button("buttonFullscreen")->click();
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->isFullScreen(), s_nTimeoutMs);
    QVERIFY(pPreview->isWindow());
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->size().width() > rcInBox.width(), s_nTimeoutMs);
    // The picture follows the window into full screen.
    pPreview->ClearPicture();
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->HasPicture(), s_nTimeoutMs);

    QTest::keyClick(pPreview, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!pPreview->isFullScreen(), s_nTimeoutMs);
    QVERIFY(!pPreview->isWindow());
    QCOMPARE(pPreview->parentWidget(), static_cast<QWidget*>(pBox));
    QTRY_COMPARE_WITH_TIMEOUT(pPreview->geometry(), rcInBox, s_nTimeoutMs);
    QVERIFY(pPreview->isVisible());
    pPreview->ClearPicture();
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->HasPicture(), s_nTimeoutMs);

    // The menu's Fullscreen goes the same way; a second one comes back.
    m_pWnd->OnMenuFullscreen();
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->isFullScreen(), s_nTimeoutMs);
    m_pWnd->OnMenuFullscreen();
    QTRY_VERIFY_WITH_TIMEOUT(!pPreview->isFullScreen(), s_nTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(pPreview->geometry(), rcInBox, s_nTimeoutMs);
}

void TestOutputPanel::ApplyOutputSettingsRebuilds()
{
    QVERIFY(ShowWindow());
    CVideoWnd* pPreview = Panel()->GetPreviewWnd();
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->HasPicture(), s_nTimeoutMs);

    Panel()->ApplyOutputSettings();
    Panel()->ApplyOutputSettings();
    QVERIFY(g_capture.HasMixer());
    // The caption border follows the output width: 768 pixels take border 3.
    QComboBox* pBorder = Panel()->GetTabWnd()->findChild<QComboBox*>(QStringLiteral("cmbBorder"));
    QVERIFY(pBorder);
    QCOMPARE(pBorder->currentIndex(), 3);
    pPreview->ClearPicture();
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->HasPicture(), s_nTimeoutMs);

    // A new output format reaches the engine through the main window, and
    // the next snapshot has its size.
    g_settings.SetOutputFormat(15, 2);
    m_pWnd->RefreshOutput();
    QCOMPARE(g_capture.GetOutputWidth(), 640);
    QCOMPARE(g_capture.GetOutputHeight(), 360);
    QCOMPARE(pBorder->currentIndex(), 2);
    Panel()->GetTabWnd()->ReplaceChannels();
    pPreview->ClearPicture();
    QTRY_VERIFY_WITH_TIMEOUT(pPreview->HasPicture(), s_nTimeoutMs);
    Button("buttonSnapshot")->click();
    QStringList astrFiles;
    QTRY_COMPARE_WITH_TIMEOUT((astrFiles = Snapshots()).size(), 1, s_nTimeoutMs);
    const QImage image(m_pStorage->path() + QStringLiteral("/Snapshot/") + astrFiles.first());
    QCOMPARE(image.size(), QSize(640, 360));
}

void TestOutputPanel::LogoFromSettings()
{
    QVERIFY(g_layout.GetLogoCount() > 0);
    g_settings.SetLogo(0, 3, 0);
    Panel()->ApplyOutputSettings();
    const QSize sizeNatural = QImageReader(g_layout.GetLogoPath(0)).size();
    QVERIFY(sizeNatural.isValid());
    // Size 0 is half the natural size, evened up; the logo is read on a
    // thread of its own and shows shortly after.
    const QSize sizeExpected((sizeNatural.width() / 2 + 1) & ~1, (sizeNatural.height() / 2 + 1) & ~1);
    int nWidth = 0;
    int nHeight = 0;
    QTRY_COMPARE_WITH_TIMEOUT((g_capture.GetLogoSize(nWidth, nHeight), QSize(nWidth, nHeight)), sizeExpected,
                              s_nTimeoutMs);
}

void TestOutputPanel::StartChecks()
{
    QLCDNumber* pElapsed = Panel()->findChild<QLCDNumber*>(QStringLiteral("elapsed"));

    // Recording into a storage folder that is gone.
    const QString strGone = m_pStorage->path() + QStringLiteral("/gone");
    g_settings.SetDataStorage(strGone);
    QVERIFY(QDir(strGone).removeRecursively());
    {
        CModalAnswer answer(QStringLiteral("OK"));
        Button("buttonStart")->click();
        QVERIFY(answer.m_bSeen);
        QCOMPARE(answer.m_strText, QStringLiteral("Folder not exists.\nPlease reset saving path!"));
        QCOMPARE(answer.m_icon, QMessageBox::Critical);
    }
    QVERIFY(Button("buttonStart")->isEnabled());
    QVERIFY(!Button("buttonStop")->isEnabled());
    QVERIFY(!QDir(strGone).exists());
    QCOMPARE(pElapsed->intValue(), 0);

    // A storage folder that cannot take the recording: said so, not that
    // the disk is full.
    g_settings.SetDataStorage(QDir::toNativeSeparators(m_pStorage->path()));
    const QString strVideo = m_pStorage->path() + QStringLiteral("/Video");
    QVERIFY(QDir(strVideo).removeRecursively());
    QFile file(strVideo);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    {
        CModalAnswer answer(QStringLiteral("OK"));
        Button("buttonStart")->click();
        QVERIFY(answer.m_bSeen);
        QCOMPARE(answer.m_strText, QStringLiteral("Folder cannot be written:\n%1\nPlease reset saving path!")
                                       .arg(QDir::toNativeSeparators(strVideo)));
    }
    QVERIFY(!Panel()->IsRunning());
    QVERIFY(!g_capture.IsRecording());

    // Neither a file nor a stream: nothing happens at all, not even a box.
    g_settings.SetRecord(false);
    g_settings.SetRtmpServer(0, QStringLiteral("127.0.0.1"), QStringLiteral("1935"), QStringLiteral("test"),
                             QStringLiteral("rtmp://127.0.0.1:1935/live/test"));
    {
        CModalAnswer answer(QStringLiteral("OK"));
        m_pWnd->OnMenuRecord();
        QVERIFY(!answer.m_bSeen);
    }
    QVERIFY(!Button("buttonStop")->isEnabled());
    g_settings.SetRecord(true);
}

QTEST_MAIN(TestOutputPanel)
#include "tst_app_outputpanel.moc"
