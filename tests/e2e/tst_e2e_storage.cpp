// Stopping a recording on a full file system of its own (mounted by the test;
// root only): the question for room comes back only while room is short.
#include "common/AppInfo.h"
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "app/CMainWnd.h"
#include "config/CSettings.h"
#include "app/CVistrel.h"
#include "ModalAnswer.h"
#include "ProgramFixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <unistd.h>

namespace
{
const int s_nTimeoutMs = 30000;
const QString s_strFinishQuestion =
    QStringLiteral("Disk space is not enough to complete mp4 file.\nDelete some other files and retry?\n");

bool Run(const QString& strProgram, const QStringList& astrArgs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(strProgram, astrArgs);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// Writes until the file system refuses another byte.
void FillUp(const QString& strFile)
{
    QFile file(strFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray baBlock(64 * 1024, 'x');
    for (int nSize = baBlock.size(); nSize > 0;)
    {
        if (file.write(baBlock.constData(), nSize) != nSize)
            nSize /= 2;
    }
}

// A tmpfs as the storage folder and a main window on it, torn down in this
// order even when a check fails half way.
class CStorageDisk
{
public:
    ~CStorageDisk()
    {
        m_pWnd.reset();
        for (int i = 0; i < CKVCapture::CHANNEL_COUNT; ++i)
            g_capture.CloseChannel(i);
        g_capture.DestroyMixer();
        if (m_bMounted && !Run(QStringLiteral("umount"), {m_dir.path()}))
            Run(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
    }

    bool Mount()
    {
        m_bMounted = m_dir.isValid() &&
                     Run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                   QStringLiteral("size=32m"), QStringLiteral("tmpfs"), m_dir.path()});
        return m_bMounted;
    }

    bool OpenWindow()
    {
        g_settings.SetDataStorage(QDir::toNativeSeparators(m_dir.path()));
        m_pWnd = std::make_unique<CVistrel>();
        m_pWnd->show();
        return QTest::qWaitForWindowExposed(m_pWnd.get(), s_nTimeoutMs);
    }

    QPushButton* Button(const char* pszName) const
    {
        return m_pWnd->GetOutputPanel()->findChild<QPushButton*>(QLatin1String(pszName));
    }

    QTemporaryDir m_dir;
    bool m_bMounted = false;
    std::unique_ptr<CVistrel> m_pWnd;
};
}

class TestE2eStorage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void StopOnFullDiskAsksWhileShort();
};

void TestE2eStorage::initTestCase()
{
    QVERIFY(ProgramFixture::StartProgram());
}

void TestE2eStorage::cleanupTestCase()
{
    ProgramFixture::StopProgram();
}

void TestE2eStorage::init()
{
    if (geteuid() != 0)
        QSKIP("mounting a file system needs root");
    g_settings.SetOutputFormat(18, 2);
    // 1000 Kbps: a minute needs 7.5 MB of the 32.
    g_settings.SetEncoderParam(0, 2, 4, 0, 2, 0, 1, 1);
    g_settings.SetRecord(true);
    g_settings.SetRtmpServer(0, QString(), QString(), QString(), QString());
    g_settings.SetAudioDevice(-1, 0);
}

void TestE2eStorage::StopOnFullDiskAsksWhileShort()
{
    CStorageDisk disk;
    if (!disk.Mount())
        QSKIP("tmpfs cannot be mounted here");
    QVERIFY(disk.OpenWindow());
    CMainWnd* pPanel = disk.m_pWnd->GetOutputPanel();
    disk.Button("buttonStart")->click();
    QVERIFY(pPanel->IsRunning());
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() >= 25, s_nTimeoutMs);

    // "Yes" without freeing anything must bring the question back; "Yes"
    // after freeing room must end it. Other boxes (a write failing on the
    // full disk) are acknowledged.
    const QString strFiller = disk.m_dir.path() + QStringLiteral("/filler");
    QStringList astrTexts;
    int nQuestions = 0;
    QTimer answerer;
    answerer.setInterval(20);
    connect(&answerer, &QTimer::timeout, [&] {
        QMessageBox* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox || !pBox->isVisible() || pBox->buttons().isEmpty())
            return;
        astrTexts << pBox->text();
        QAbstractButton* pChosen = pBox->buttons().first();
        if (pBox->text() == s_strFinishQuestion)
        {
            if (++nQuestions >= 2)
                QFile::remove(strFiller);
            for (QAbstractButton* pButton : pBox->buttons())
            {
                if (pButton->text() == QLatin1String("Yes"))
                    pChosen = pButton;
            }
        }
        pChosen->click();
    });
    answerer.start();

    // Filled and stopped within one event, before the disk guard can look.
    FillUp(strFiller);
    disk.Button("buttonStop")->click();
    QCOMPARE(nQuestions, 2);
    QCOMPARE(astrTexts.count(s_strFinishQuestion), 2);
    QVERIFY(!pPanel->IsRunning());
    QVERIFY(!g_capture.IsRecording());
    QVERIFY(disk.Button("buttonStart")->isEnabled());
}

QTEST_MAIN(TestE2eStorage)
#include "tst_e2e_storage.moc"
