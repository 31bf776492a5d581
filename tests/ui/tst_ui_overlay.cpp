// The Overlay tab driven as a user drives it, with the real engine on a
// virtual camera: what each control puts on the composed output (read back
// from the frames the engine hands out), what is stored, and what the status
// bar says about a logo that cannot be shown.
#include "app/CMainWnd.h"
#include "engine/CLogoLoader.h"
#include "ui/tabs/CLayoutItem.h"
#include "ui/tabs/CTabOverlay.h"
#include "ui/tabs/CTabPreview.h"
#include "ui/tabs/CTabWnd.h"
#include "BadImageFiles.h"
#include "TestFrameSink.h"
#include "UiTestUtil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTranslator>

using namespace UiTest;

namespace
{
// Two good logos (copies of shipped ones), then two bad ones, the largest
// one accepted, and a font
// that no system has between two that the tests install.
const char* const LAYOUT_FILE = "[layout]\ncount=1\n"
                                "[layout0]\nname=Single\nthumbnail=none.png\nfile=layout00\nshow=1\npostype=2\n"
                                "video=1\npos0=0, 0, 99, 99\n"
                                "[logo]\ncount=5\n"
                                "[logo0]\nname=Circle\nfile=circle.png\n"
                                "[logo1]\nname=Hexagon\nfile=hexagon.png\n"
                                "[logo2]\nname=Huge\nfile=huge.png\n"
                                "[logo3]\nname=Damaged\nfile=damaged.png\n"
                                "[logo4]\nname=Big\nfile=big.png\n"
                                "[font]\ncount=3\n"
                                "[font0]\nname=DejaVu Sans\n"
                                "[font1]\nname=No Such Family Anywhere\n"
                                "[font2]\nname=DejaVu Serif\n";
const int CIRCLE = 0;
const int HEXAGON = 1;
const int HUGE_LOGO = 2;
const int DAMAGED = 3;
const int BIG_LOGO = 4;

// Puts every text of the Overlay tab in brackets, as a translation of it.
class CBracketTranslator : public QTranslator
{
public:
    QString translate(const char* pszContext, const char* pszSource, const char* pszDisambiguation,
                      int nCount) const override
    {
        Q_UNUSED(pszDisambiguation);
        Q_UNUSED(nCount);
        if (qstrcmp(pszContext, "CTabOverlay") != 0)
            return QString();
        return QStringLiteral("[%1]").arg(QString::fromUtf8(pszSource));
    }
    bool isEmpty() const override { return false; }
};

// Anything but the black background.
QRect InkBox(const SYuyvPicture& out)
{
    return out.BrightBox(24);
}
}

class TestOverlayTab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void logosReplaceEachOtherAndMove();
    void badLogoKeepsThePreviousOneAndSaysSo();
    void storedLogoMissingFromLayoutFile();
    void keyboardTickShowsAndStoresTheLogo();
    void captionFontAfterFormatChange();
    void shippedLogoNamesTranslated();
    void captionAppearsAndClears();
    void captionCutAtACharacter();
    void clockRunsWhileShown();
    void storedStateAtStart();
    void fitsTabWindow();
    void largestLogoGetsSmallIconLater();

private:
    CTabOverlay* CreateTab();
    template <class T> T* Find(const char* pszName)
    {
        T* pWidget = m_pMain->findChild<T*>(QLatin1String(pszName));
        [&] { QVERIFY2(pWidget, pszName); }();
        return pWidget;
    }
    // Ticks or unticks logo nLogo as a click on its box does.
    void ClickLogo(int nLogo, bool bCheck);
    bool WaitForFrame(const std::function<bool(const SYuyvPicture&)>& fnCheck) const
    {
        return m_pSink->WaitForFrame(fnCheck, WAIT_MS);
    }
    void WaitFrames(int nFrames);
    // The drawn rectangle of a 320 x 240 output's logo, from its natural
    // size at size setting 0 (half) in corner nCorner.
    static QRect HalfLogoRect(const QSize& sizeNatural, int nCorner);
    QString StatusText() const { return LastingText(m_pMain.get()); }

    QTemporaryDir m_dir;
    QString m_strShippedLayout;
    std::unique_ptr<CVideoWnd> m_pOutput;
    std::unique_ptr<CTestFrameSink> m_pSink;
    std::unique_ptr<QMainWindow> m_pMain;
    CTabOverlay* m_pTab = nullptr;
    // The output panel, for the tests that rebuild the output as a format
    // change does.
    std::unique_ptr<CMainWnd> m_pPanel;
};

void TestOverlayTab::initTestCase()
{
    m_strShippedLayout = CLayout::GetDefaultPath();
    QVERIFY(g_layout.Load(m_strShippedLayout));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("vtlayout")));
    const QString strData = m_dir.filePath(QStringLiteral("vtlayout/"));
    QVERIFY(QFile::copy(g_layout.GetLogoPath(0), strData + QStringLiteral("circle.png")));
    QVERIFY(QFile::copy(g_layout.GetLogoPath(1), strData + QStringLiteral("hexagon.png")));
    QVERIFY(BadImageFiles::Write(strData + QStringLiteral("huge.png"), BadImageFiles::ForgedPng(20000, 20000)));
    QVERIFY(BadImageFiles::Write(strData + QStringLiteral("damaged.png"), BadImageFiles::ForgedPng(64, 64)));
    QImage imageBig(CLogoLoader::MAX_LOGO_SIDE, CLogoLoader::MAX_LOGO_SIDE, QImage::Format_RGB32);
    imageBig.fill(Qt::red);
    QVERIFY(imageBig.save(strData + QStringLiteral("big.png")));
    QVERIFY(BadImageFiles::Write(m_dir.filePath(QStringLiteral("vtlayout.ini")), LAYOUT_FILE));
}

void TestOverlayTab::init()
{
    // A fresh model: loading appends, and releasing keeps logos and fonts.
    g_layout = CLayout();
    QVERIFY(g_layout.Load(m_dir.filePath(QStringLiteral("vtlayout.ini"))));
    ResetSettings();
    // No clock unless a test asks for one: it would be in every picture.
    g_settings.SetTimeOpt(0, 0, 0, 0);
    // Logos at half size in the lower right, so that they fit the output.
    g_settings.SetLogo(-1, 3, 0);
    QVERIFY(StartEngine("1"));
    m_pOutput = StartOutput();
    QVERIFY(m_pOutput);
    m_pSink.reset(new CTestFrameSink());
}

void TestOverlayTab::cleanup()
{
    m_pMain.reset();
    m_pTab = nullptr;
    g_capture.Uninit();
    // Its preview is the mixer's window until the engine is down.
    m_pPanel.reset();
    m_pSink.reset();
    m_pOutput.reset();
}

CTabOverlay* TestOverlayTab::CreateTab()
{
    // In a main window, as in the program, so that it has a status bar.
    m_pMain.reset(new QMainWindow);
    m_pTab = new CTabOverlay(m_pMain.get());
    m_pMain->setCentralWidget(m_pTab);
    m_pMain->resize(CMainWnd::TAB_WIDTH, 800);
    m_pMain->show();
    return m_pTab;
}

void TestOverlayTab::ClickLogo(int nLogo, bool bCheck)
{
    QListView* pList = Find<QListView>("lstLogo");
    QStandardItemModel* pModel = qobject_cast<QStandardItemModel*>(pList->model());
    QVERIFY(pModel);
    const QModelIndex index = pModel->index(nLogo, 0);
    // The view ticks the box, then reports the click.
    pModel->setData(index, bCheck ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    emit pList->clicked(index);
}

void TestOverlayTab::WaitFrames(int nFrames)
{
    const int nTarget = m_pSink->Frames() + nFrames;
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Frames() >= nTarget, WAIT_MS);
}

QRect TestOverlayTab::HalfLogoRect(const QSize& sizeNatural, int nCorner)
{
    const int nWidth = (sizeNatural.width() / 2 + 1) & ~1;
    const int nHeight = (sizeNatural.height() / 2 + 1) & ~1;
    const int nX = (nCorner == 1 || nCorner == 3) ? OUTPUT_WIDTH - nWidth - 10 : 10;
    const int nY = (nCorner == 2 || nCorner == 3) ? OUTPUT_HEIGHT - nHeight - 10 : 10;
    return QRect(nX, nY, nWidth, nHeight);
}

void TestOverlayTab::logosReplaceEachOtherAndMove()
{
    CreateTab();
    QComboBox* pPos = Find<QComboBox>("cmbLogoPos");
    QSlider* pSize = Find<QSlider>("sldLogoSize");
    QVERIFY(!pPos->isEnabled() && !pSize->isEnabled());
    const QSize sizeCircle = QImage(g_layout.GetLogoPath(CIRCLE)).size();
    const QSize sizeHexagon = QImage(g_layout.GetLogoPath(HEXAGON)).size();

    // Ticked: drawn at half size in the lower right, as stored.
    ClickLogo(CIRCLE, true);
    QVERIFY(pPos->isEnabled() && pSize->isEnabled());
    QRect rcInk;
    QRect rcCircle = HalfLogoRect(sizeCircle, 3);
    QVERIFY2(
        WaitForFrame([&](const SYuyvPicture& out) {
            rcInk = InkBox(out);
            return !rcInk.isNull() && rcCircle.contains(rcInk) && rcInk.width() > rcCircle.width() / 2;
        }),
        qPrintable(QStringLiteral("%1,%2 %3x%4").arg(rcInk.x()).arg(rcInk.y()).arg(rcInk.width()).arg(rcInk.height())));
    int nLogo = 0;
    int nCorner = 0;
    int nSize = 0;
    g_settings.GetLogo(nLogo, nCorner, nSize);
    QCOMPARE(QVector<int>({nLogo, nCorner, nSize}), QVector<int>({CIRCLE, 3, 0}));

    // Moved to the upper left.
    pPos->setCurrentIndex(0);
    rcCircle = HalfLogoRect(sizeCircle, 0);
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        rcInk = InkBox(out);
        return !rcInk.isNull() && rcCircle.contains(rcInk);
    }));

    // A second logo replaces the first: one logo on the output, one ticked.
    ClickLogo(HEXAGON, true);
    const QRect rcHexagon = HalfLogoRect(sizeHexagon, 0);
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        rcInk = InkBox(out);
        return !rcInk.isNull() && rcHexagon.contains(rcInk) && rcInk.width() > rcHexagon.width() / 2;
    }));
    QStandardItemModel* pModel = qobject_cast<QStandardItemModel*>(Find<QListView>("lstLogo")->model());
    QCOMPARE(pModel->item(CIRCLE)->checkState(), Qt::Unchecked);
    QCOMPARE(pModel->item(HEXAGON)->checkState(), Qt::Checked);
    g_settings.GetLogo(nLogo, nCorner, nSize);
    QCOMPARE(QVector<int>({nLogo, nCorner, nSize}), QVector<int>({HEXAGON, 0, 0}));

    // Unticked: gone, "none" stored, and the controls have nothing to act on.
    ClickLogo(HEXAGON, false);
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return InkBox(out).isNull(); }));
    g_settings.GetLogo(nLogo, nCorner, nSize);
    QCOMPARE(QVector<int>({nLogo, nCorner, nSize}), QVector<int>({-1, 1, 50}));
    QVERIFY(!pPos->isEnabled() && !pSize->isEnabled());

    // Moving a logo that is not there loads nothing and stores nothing.
    pPos->setCurrentIndex(2);
    pSize->setValue(80);
    WaitFrames(5);
    QVERIFY(InkBox(m_pSink->Latest()).isNull());
    g_settings.GetLogo(nLogo, nCorner, nSize);
    QCOMPARE(QVector<int>({nLogo, nCorner, nSize}), QVector<int>({-1, 1, 50}));
    QVERIFY(StatusText().isEmpty());
}

void TestOverlayTab::badLogoKeepsThePreviousOneAndSaysSo()
{
    CreateTab();
    const QRect rcHexagon = HalfLogoRect(QImage(g_layout.GetLogoPath(HEXAGON)).size(), 3);
    auto showsHexagon = [&](const SYuyvPicture& out) {
        const QRect rcInk = InkBox(out);
        return !rcInk.isNull() && rcHexagon.contains(rcInk) && rcInk.width() > rcHexagon.width() / 2;
    };
    ClickLogo(HEXAGON, true);
    QVERIFY(WaitForFrame(showsHexagon));

    // A file declaring 20000 x 20000: refused, told, and the hexagon stays.
    ClickLogo(HUGE_LOGO, true);
    QTRY_VERIFY_WITH_TIMEOUT(StatusText().contains(QStringLiteral("\"Huge\" cannot be shown")), WAIT_MS);
    QVERIFY(StatusText().contains(QStringLiteral("larger than")));
    WaitFrames(3);
    QVERIFY(showsHexagon(m_pSink->Latest()));
    // List and store say what the output shows: the hexagon, where it is.
    QStandardItemModel* pModel = qobject_cast<QStandardItemModel*>(Find<QListView>("lstLogo")->model());
    auto ticked = [pModel]() {
        QVector<int> vecTicked;
        for (int nRow = 0; nRow < pModel->rowCount(); ++nRow)
            if (pModel->item(nRow)->checkState() == Qt::Checked)
                vecTicked << nRow;
        return vecTicked;
    };
    auto stored = []() {
        int nLogo = 0;
        int nCorner = 0;
        int nSize = 0;
        g_settings.GetLogo(nLogo, nCorner, nSize);
        return QVector<int>({nLogo, nCorner, nSize});
    };
    QTRY_COMPARE_WITH_TIMEOUT(ticked(), QVector<int>({HEXAGON}), WAIT_MS);
    QCOMPARE(stored(), QVector<int>({HEXAGON, 3, 0}));

    // Damaged data behind a sound header, tried in another corner: the
    // hexagon keeps its place, and so do the controls.
    QComboBox* pPos = Find<QComboBox>("cmbLogoPos");
    ClickLogo(DAMAGED, true);
    pPos->setCurrentIndex(0);
    QTRY_VERIFY_WITH_TIMEOUT(StatusText().contains(QStringLiteral("\"Damaged\" cannot be shown")), WAIT_MS);
    WaitFrames(3);
    QVERIFY(showsHexagon(m_pSink->Latest()));
    QTRY_COMPARE_WITH_TIMEOUT(ticked(), QVector<int>({HEXAGON}), WAIT_MS);
    QCOMPARE(stored(), QVector<int>({HEXAGON, 3, 0}));
    QCOMPARE(pPos->currentIndex(), 3);
    QVERIFY(pPos->isEnabled());

    // With no logo on show, a failing one leaves none ticked and none stored.
    ClickLogo(HEXAGON, false);
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return InkBox(out).isNull(); }));
    // Unticking the logo takes the complaint back.
    QTRY_VERIFY_WITH_TIMEOUT(StatusText().isEmpty(), WAIT_MS);
    ClickLogo(DAMAGED, true);
    QTRY_VERIFY_WITH_TIMEOUT(StatusText().contains(QStringLiteral("\"Damaged\" cannot be shown")), WAIT_MS);
    QTRY_COMPARE_WITH_TIMEOUT(ticked(), QVector<int>(), WAIT_MS);
    QCOMPARE(stored(), QVector<int>({-1, 1, 50}));
    QVERIFY(!pPos->isEnabled());
    QVERIFY(InkBox(m_pSink->Latest()).isNull());

    // A good logo again: it shows and the complaint goes.
    ClickLogo(CIRCLE, true);
    const QRect rcCircle = HalfLogoRect(QImage(g_layout.GetLogoPath(CIRCLE)).size(), 3);
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        const QRect rcInk = InkBox(out);
        return !rcInk.isNull() && rcCircle.contains(rcInk) && rcInk.width() > rcHexagon.width();
    }));
    QTRY_VERIFY_WITH_TIMEOUT(StatusText().isEmpty(), WAIT_MS);
}

void TestOverlayTab::storedLogoMissingFromLayoutFile()
{
    // The settings of a layout file with more logos than this one.
    g_settings.SetLogo(7, 3, 0);
    CreateTab();
    QTRY_COMPARE_WITH_TIMEOUT(StatusText(), QStringLiteral("Logo 7 is not in the layout file."), WAIT_MS);
    int nLogo = 0;
    int nCorner = 0;
    int nSize = 0;
    g_settings.GetLogo(nLogo, nCorner, nSize);
    QCOMPARE(nLogo, -1);
    QVERIFY(!Find<QComboBox>("cmbLogoPos")->isEnabled());
    WaitFrames(3);
    QVERIFY(InkBox(m_pSink->Latest()).isNull());

    // A logo that shows answers the complaint.
    ClickLogo(CIRCLE, true);
    QTRY_VERIFY_WITH_TIMEOUT(StatusText().isEmpty(), WAIT_MS);
}

void TestOverlayTab::keyboardTickShowsAndStoresTheLogo()
{
    CreateTab();
    QListView* pList = Find<QListView>("lstLogo");
    QStandardItemModel* pModel = qobject_cast<QStandardItemModel*>(pList->model());
    ClickLogo(CIRCLE, true);
    const QRect rcHexagon = HalfLogoRect(QImage(g_layout.GetLogoPath(HEXAGON)).size(), 3);

    // The space bar ticks the hexagon's box without a click.
    pList->setFocus();
    pList->setCurrentIndex(pModel->index(HEXAGON, 0));
    QTest::keyClick(pList, Qt::Key_Space);
    QCOMPARE(pModel->item(HEXAGON)->checkState(), Qt::Checked);
    QCOMPARE(pModel->item(CIRCLE)->checkState(), Qt::Unchecked);
    int nLogo = 0;
    int nCorner = 0;
    int nSize = 0;
    g_settings.GetLogo(nLogo, nCorner, nSize);
    QCOMPARE(QVector<int>({nLogo, nCorner, nSize}), QVector<int>({HEXAGON, 3, 0}));
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        const QRect rcInk = InkBox(out);
        return !rcInk.isNull() && rcHexagon.contains(rcInk) && rcInk.width() > rcHexagon.width() / 2;
    }));

    // And unticks it again: no logo, none stored.
    QTest::keyClick(pList, Qt::Key_Space);
    QCOMPARE(pModel->item(HEXAGON)->checkState(), Qt::Unchecked);
    g_settings.GetLogo(nLogo, nCorner, nSize);
    QCOMPARE(nLogo, -1);
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return InkBox(out).isNull(); }));
    QVERIFY(!Find<QComboBox>("cmbLogoPos")->isEnabled());
}

void TestOverlayTab::captionFontAfterFormatChange()
{
    // Entry 1 of the font lists is the file's third font, since the second
    // is not installed.
    const int nSerif = 1;
    const int nSize = 2;
    const int nBorder = BorderIndexForWidth(OUTPUT_WIDTH);
    g_settings.SetCaptionOpt(0, 0, 0, nSerif, nBorder, nSize, 1);
    g_settings.SetCaption(QStringLiteral("Agfx"));
    g_settings.SetCaptionData(nSerif, nSize, nBorder, 1, 0, 0, 0);
    // Nothing behind the caption but black.
    g_settings.SetChannelDevice(0, -1);
    m_pPanel.reset(new CMainWnd(nullptr, nullptr));
    m_pPanel->show();
    QCOMPARE(m_pPanel->findChild<QComboBox*>(QStringLiteral("cmbCaptionFont"))->currentText(),
             QStringLiteral("DejaVu Serif"));
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return !out.BrightBox().isNull(); }));
    WaitFrames(3);
    const SYuyvPicture before = m_pSink->Latest();

    // Another frame rate: the output is built anew and the caption put on
    // it again, in the same font.
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25 + 1);
    m_pPanel->ApplyOutputSettings();
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) { return out.abData == before.abData; }));
}

void TestOverlayTab::shippedLogoNamesTranslated()
{
    g_layout = CLayout();
    QVERIFY(g_layout.Load(m_strShippedLayout));
    QVERIFY(g_layout.GetLogoCount() > 0);
    CBracketTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    CreateTab();
    QCoreApplication::removeTranslator(&translator);

    QStandardItemModel* pModel = qobject_cast<QStandardItemModel*>(Find<QListView>("lstLogo")->model());
    QCOMPARE(pModel->rowCount(), g_layout.GetLogoCount());
    for (int nLogo = 0; nLogo < g_layout.GetLogoCount(); ++nLogo)
        QCOMPARE(pModel->item(nLogo)->text(), QStringLiteral("[%1]").arg(g_layout.GetLogoName(nLogo)));
    // A name the program does not ship is shown as the file writes it.
    QCOMPARE(CTabOverlay::DisplayLogoName(QStringLiteral("Our Own Logo")), QStringLiteral("Our Own Logo"));
}

void TestOverlayTab::captionAppearsAndClears()
{
    CreateTab();
    QLineEdit* pEdit = Find<QLineEdit>("edtCaption");
    QPushButton* pClear = Find<QPushButton>("btnClear");
    QVERIFY(!pClear->isEnabled());

    QTest::keyClicks(pEdit, QStringLiteral("On Air"));
    QVERIFY(pClear->isEnabled());
    QCOMPARE(g_settings.GetCaption(), QStringLiteral("On Air"));
    // White text at the bottom centre (the stored default position).
    QRect rcInk;
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        rcInk = out.BrightBox();
        return !rcInk.isNull() && rcInk.top() > OUTPUT_HEIGHT / 2 &&
               std::abs(rcInk.center().x() - OUTPUT_WIDTH / 2) < 8;
    }));

    pClear->click();
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return out.BrightBox().isNull(); }));
    QVERIFY(pEdit->text().isEmpty());
    QVERIFY(g_settings.GetCaption().isEmpty());
    QVERIFY(!pClear->isEnabled());
}

void TestOverlayTab::captionCutAtACharacter()
{
    CreateTab();
    QLineEdit* pEdit = Find<QLineEdit>("edtCaption");

    // 129 characters: the first 128 are shown and stored.
    pEdit->setText(QString(129, QLatin1Char('x')));
    QCOMPARE(pEdit->text(), QString(128, QLatin1Char('x')));
    QCOMPARE(g_settings.GetCaption(), QString(128, QLatin1Char('x')));

    // A character of two UTF-16 units across the limit is left out whole,
    // never split into half a character.
    const QString strEmoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString strText = QString(127, QLatin1Char('a')) + strEmoji + QStringLiteral("b");
    pEdit->setText(strText);
    QCOMPARE(pEdit->text(), QString(127, QLatin1Char('a')));
    QCOMPARE(g_settings.GetCaption(), QString(127, QLatin1Char('a')));

    // Ending exactly at the limit it is kept.
    const QString strFits = QString(126, QLatin1Char('a')) + strEmoji;
    pEdit->setText(strFits + QStringLiteral("b"));
    QCOMPARE(pEdit->text(), strFits);
    QVERIFY(Find<QPushButton>("btnClear")->isEnabled());
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return !out.BrightBox().isNull(); }));
}

void TestOverlayTab::clockRunsWhileShown()
{
    CreateTab();
    QCheckBox* pShow = Find<QCheckBox>("ckbShowTime");
    QComboBox* pTimePos = Find<QComboBox>("cmbTimePos");
    QVERIFY(!pShow->isChecked());
    QVERIFY(!pTimePos->isEnabled());
    WaitFrames(3);
    QVERIFY(m_pSink->Latest().BrightBox().isNull());

    // Shown at once in the upper left, in white.
    pShow->click();
    QVERIFY(pTimePos->isEnabled());
    SYuyvPicture first;
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        const QRect rcInk = out.BrightBox();
        first = out;
        return !rcInk.isNull() && rcInk.left() < 30 && rcInk.top() < 30;
    }));
    int nShow = 0;
    int nFont = 0;
    int nFontSize = 0;
    int nPosition = 0;
    g_settings.GetTimeOpt(nShow, nFont, nFontSize, nPosition);
    QCOMPARE(nShow, 1);

    // The seconds move on: a later frame shows other digits.
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) { return out.abData != first.abData; }));

    // Moved to the lower right.
    pTimePos->setCurrentIndex(5);
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) {
        const QRect rcInk = out.BrightBox();
        return !rcInk.isNull() && rcInk.top() > OUTPUT_HEIGHT / 2;
    }));
    g_settings.GetTimeOpt(nShow, nFont, nFontSize, nPosition);
    QCOMPARE(nPosition, 5);

    // Hidden: gone, stays gone, and its controls are off.
    pShow->click();
    QVERIFY(!pTimePos->isEnabled());
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return out.BrightBox().isNull(); }));
    WaitFrames(30);
    QVERIFY(m_pSink->Latest().BrightBox().isNull());
    g_settings.GetTimeOpt(nShow, nFont, nFontSize, nPosition);
    QCOMPARE(nShow, 0);
}

void TestOverlayTab::storedStateAtStart()
{
    g_settings.SetColor(CSettings::COLOR_CAPTION_FONT, 0, 0, 255);
    // A font index from a time when more fonts were installed.
    g_settings.SetCaptionOpt(1, 0, 1, 7, 2, 1, 2);
    g_settings.SetCaption(QStringLiteral("Studio"));
    g_settings.SetCaptionData(0, 1, 4, 2, 1, 0, 1);
    CreateTab();

    // The swatch keeps the leading zeros of its colour.
    QCOMPARE(Find<QPushButton>("btnCaptionColor")->styleSheet(), QStringLiteral("background-color:#0000ff"));
    QCOMPARE(Find<QLabel>("lblCaptionColor")->text(), QStringLiteral("(0, 0, 255)"));
    // Only installed fonts are offered, each knowing its place in the file.
    QComboBox* pFonts = Find<QComboBox>("cmbTimeFont");
    QCOMPARE(pFonts->count(), 2);
    QCOMPARE(pFonts->itemText(1), QStringLiteral("DejaVu Serif"));
    QCOMPARE(pFonts->itemData(1).toInt(), 2);
    QCOMPARE(Find<QComboBox>("cmbCaptionFont")->currentIndex(), 0);

    // The stored caption is on the output, blue at the top right, with the
    // caption's own border.
    QCOMPARE(Find<QComboBox>("cmbBorder")->currentIndex(), 4);
    QVERIFY(Find<QPushButton>("btnClear")->isEnabled());
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) {
        const QRect rcInk = out.BrightBox(24);
        if (rcInk.isNull() || rcInk.right() < OUTPUT_WIDTH - 30 || rcInk.top() > 30)
            return false;
        // Blue has little luma but much Cb.
        for (int y = rcInk.top(); y <= rcInk.bottom(); ++y)
            for (int x = rcInk.left(); x <= rcInk.right(); ++x)
                if (out.U(x, y) > 200)
                    return true;
        return false;
    }));
}

void TestOverlayTab::fitsTabWindow()
{
    g_layout = CLayout();
    QVERIFY(g_layout.Load(m_strShippedLayout));
    g_settings.SetTimeOpt(1, 0, 0, 0);
    CTabWnd tabWnd(nullptr, nullptr);
    tabWnd.setFixedWidth(CMainWnd::TAB_WIDTH);
    tabWnd.resize(CMainWnd::TAB_WIDTH, 900);
    tabWnd.show();
    QTabWidget* pTabs = tabWnd.GetTabWidget();
    CTabOverlay* pTab = tabWnd.GetOverlayTab();
    QVERIFY(pTab);
    QScrollArea* pArea = qobject_cast<QScrollArea*>(pTab->parentWidget()->parentWidget());
    QVERIFY(pArea);
    const int nIndex = pTabs->indexOf(pArea);
    QCOMPARE(pTabs->tabText(nIndex), QStringLiteral("Overlay"));
    QVERIFY(nIndex > pTabs->indexOf(tabWnd.GetDeviceTab()));
    QCOMPARE(pTabs->tabText(pTabs->count() - 1), QStringLiteral("Settings"));
    pTabs->setCurrentIndex(nIndex);
    QVERIFY(QTest::qWaitForWindowExposed(&tabWnd));
    QTRY_VERIFY_WITH_TIMEOUT(pTab->isVisible() && pArea->viewport()->width() > 0, WAIT_MS);

    QVERIFY2(
        !pArea->horizontalScrollBar()->isVisible(),
        qPrintable(
            QStringLiteral("needs %1, has %2").arg(pTab->minimumSizeHint().width()).arg(pArea->viewport()->width())));
    QVERIFY(pTab->width() <= pArea->viewport()->width());
    for (QWidget* pWidget : pTab->findChildren<QWidget*>())
    {
        // Colour swatches show a colour, not text.
        QAbstractButton* pButton = qobject_cast<QAbstractButton*>(pWidget);
        const bool bText = qobject_cast<QLabel*>(pWidget) || qobject_cast<QComboBox*>(pWidget) ||
                           (pButton && !pButton->text().isEmpty()) || qobject_cast<QGroupBox*>(pWidget);
        if (!bText || !pWidget->isVisible())
            continue;
        QVERIFY2(pWidget->width() >= pWidget->sizeHint().width(),
                 qPrintable(QStringLiteral("%1 %2: %3 < %4")
                                .arg(pWidget->metaObject()->className(), pWidget->objectName())
                                .arg(pWidget->width())
                                .arg(pWidget->sizeHint().width())));
    }
    // The logos sit side by side without a horizontal scroll bar.
    QListView* pList = pTab->findChild<QListView*>(QStringLiteral("lstLogo"));
    QVERIFY(!pList->horizontalScrollBar()->isVisible());
}

void TestOverlayTab::largestLogoGetsSmallIconLater()
{
    CreateTab();
    QStandardItemModel* pModel = qobject_cast<QStandardItemModel*>(Find<QListView>("lstLogo")->model());
    QVERIFY(pModel);
    // The tab is up before the icon is decoded; it comes at icon size,
    // with the logo's colour in the middle.
    const QSize sizeIcon = Find<QListView>("lstLogo")->iconSize();
    const auto centre = [&] {
        const QImage image = pModel->item(BIG_LOGO)->icon().pixmap(sizeIcon).toImage();
        return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
    };
    QTRY_COMPARE_WITH_TIMEOUT(centre(), QColor(Qt::red), WAIT_MS);
    const QList<QSize> listSizes = pModel->item(BIG_LOGO)->icon().availableSizes();
    QCOMPARE(listSizes, QList<QSize>{sizeIcon});
}

QTEST_MAIN(TestOverlayTab)
#include "tst_ui_overlay.moc"
