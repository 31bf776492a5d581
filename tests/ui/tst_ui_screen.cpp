// The Screen tab and the projection's arithmetic on one (offscreen) screen:
// where the picture lands on monitors of other sizes, which controls can be
// used with how many monitors, and which background image is shown.
#include "config/OptionTables.h"
#include "ui/projection/BackgroundImage.h"
#include "ui/projection/ProjectionGeometry.h"
#include "ui/tabs/CTabScreen.h"
#include "ui/windows/CDemoWnd.h"
#include "../app/ModalAnswer.h"
#include "UiTestUtil.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>

using namespace Projection;

class TestScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void shippedBackground();

    void scaleToMonitors_data();
    void scaleToMonitors();
    void previewAndNewOutputSize();
    void enablingRules_data();
    void enablingRules();
    void backgroundResolution();
    void unreadableAndHugeImagesGiveNoPicture();
    void largeBackgroundDecodedAtShownSize_data();
    void largeBackgroundDecodedAtShownSize();
    void tabShowsFallbackAndClears();
    void tabFollowsOutputSizeChange();
    void storedRectBeyondOutputTakesDefault_data();
    void storedRectBeyondOutputTakesDefault();

private:
    static void WriteImage(const QString& strPath, const QColor& color);
    static quint32 Crc32(const QByteArray& baData);
    static bool IsNear(const QColor& color, const QColor& colorExpected);
    QTemporaryDir m_dir;
    // The background shipped beside the executables, which the tests below
    // replace or remove for a while.
    QByteArray m_baShipped;
};

void TestScreen::initTestCase()
{
    QFile file(Background::FallbackPath());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(Background::FallbackPath()));
    m_baShipped = file.readAll();
}

void TestScreen::init()
{
    UiTest::ResetSettings();
    QFile::remove(Background::FallbackPath());
}

void TestScreen::cleanup()
{
    // Other tests run beside the same executables and find it there.
    QFile::remove(Background::FallbackPath());
    QFile file(Background::FallbackPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(m_baShipped), qint64(m_baShipped.size()));
}

void TestScreen::cleanupTestCase()
{
    QCOMPARE(QFileInfo(Background::FallbackPath()).size(), qint64(m_baShipped.size()));
}

void TestScreen::shippedBackground()
{
    // The program comes with a background of the usual output size, small
    // to load and dark enough not to draw the eye from the picture.
    QVERIFY(m_baShipped.size() < 200 * 1024);
    QImage image;
    QVERIFY(image.loadFromData(m_baShipped, "JPG"));
    QCOMPARE(image.size(), QSize(1920, 1080));
    qint64 nSum = 0;
    int nBrightest = 0;
    for (int y = 0; y < image.height(); y += 8)
    {
        for (int x = 0; x < image.width(); x += 8)
        {
            const int nGrey = qGray(image.pixel(x, y));
            nSum += nGrey;
            nBrightest = qMax(nBrightest, nGrey);
        }
    }
    const qint64 nCount = qint64(image.height() / 8) * (image.width() / 8);
    QVERIFY(nSum / nCount < 40);
    QVERIFY(nBrightest < 96);

    // And it is what a fresh preview shows.
    QFile file(Background::FallbackPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(m_baShipped);
    file.close();
    CTabScreen tab(nullptr);
    QCOMPARE(tab.GetDemoWnd()->GetImageFile(), Background::FallbackPath());
    QTRY_VERIFY_WITH_TIMEOUT(tab.GetDemoWnd()->IsImageReady(), UiTest::WAIT_MS);
    QVERIFY(qGray(tab.GetDemoWnd()->grab().toImage().pixel(10, 10)) < 40);
}

quint32 TestScreen::Crc32(const QByteArray& baData)
{
    quint32 nCrc = 0xFFFFFFFFu;
    for (const char c : baData)
    {
        nCrc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            nCrc = (nCrc & 1) ? (nCrc >> 1) ^ 0xEDB88320u : nCrc >> 1;
    }
    return ~nCrc;
}

bool TestScreen::IsNear(const QColor& color, const QColor& colorExpected)
{
    // JPEG does not keep colours exactly.
    return qAbs(color.red() - colorExpected.red()) < 12 && qAbs(color.green() - colorExpected.green()) < 12 &&
           qAbs(color.blue() - colorExpected.blue()) < 12;
}

void TestScreen::WriteImage(const QString& strPath, const QColor& color)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(strPath));
}

void TestScreen::scaleToMonitors_data()
{
    QTest::addColumn<QRect>("rcOutput");
    QTest::addColumn<QSize>("sizeOutput");
    QTest::addColumn<QSize>("sizeScreen");
    QTest::addColumn<QRect>("rcExpected");

    QTest::newRow("band on 1280x1024") << QRect(0, 270, 1920, 540) << QSize(1920, 1080) << QSize(1280, 1024)
                                       << QRect(0, 256, 1280, 512);
    // The same stored rectangle on a second monitor of another size.
    QTest::newRow("band on 1024x768") << QRect(0, 270, 1920, 540) << QSize(1920, 1080) << QSize(1024, 768)
                                      << QRect(0, 192, 1024, 384);
    QTest::newRow("odd values down to even")
        << QRect(269, 135, 1001, 539) << QSize(1920, 1080) << QSize(1920, 1080) << QRect(268, 134, 1000, 538);
    // 75 * 600 / 240 = 187 (truncated), then 186.
    QTest::newRow("truncated then even") << QRect(40, 75, 200, 150) << QSize(320, 240) << QSize(800, 600)
                                         << QRect(100, 186, 500, 374);
    QTest::newRow("no output size") << QRect(0, 270, 1920, 540) << QSize(0, 0) << QSize(1280, 1024) << QRect();
}

void TestScreen::scaleToMonitors()
{
    QFETCH(QRect, rcOutput);
    QFETCH(QSize, sizeOutput);
    QFETCH(QSize, sizeScreen);
    QFETCH(QRect, rcExpected);
    QCOMPARE(ScaleToScreen(rcOutput, sizeOutput, sizeScreen), rcExpected);
}

void TestScreen::previewAndNewOutputSize()
{
    QCOMPARE(ScaleToPreview(QRect(0, 270, 1920, 540), QSize(1920, 1080)), QRect(0, 75, 376, 150));
    // No even rounding in the preview: 101 * 376 / 320 = 118.675.
    QCOMPARE(ScaleToPreview(QRect(101, 0, 320, 240), QSize(320, 240)), QRect(118, 0, 376, 300));
    QCOMPARE(ScaleToNewOutput(QRect(0, 270, 1920, 540), QSize(1920, 1080), QSize(1280, 720)), QRect(0, 180, 1280, 360));
}

void TestScreen::enablingRules_data()
{
    QTest::addColumn<int>("nScreens");
    QTest::addColumn<bool>("bOn");
    QTest::addColumn<bool>("bEnableBox");
    QTest::addColumn<QString>("strScreenBoxes");

    QTest::newRow("1 screen, on") << 1 << true << false << "---";
    QTest::newRow("1 screen, off") << 1 << false << false << "---";
    QTest::newRow("2 screens, on") << 2 << true << true << "x--";
    QTest::newRow("2 screens, off") << 2 << false << true << "---";
    QTest::newRow("3 screens, on") << 3 << true << true << "xx-";
    QTest::newRow("4 screens, on") << 4 << true << true << "xxx";
    QTest::newRow("4 screens, off") << 4 << false << true << "---";
    QTest::newRow("5 screens, on") << 5 << true << true << "xxx";
}

void TestScreen::enablingRules()
{
    QFETCH(int, nScreens);
    QFETCH(bool, bOn);
    QFETCH(bool, bEnableBox);
    QFETCH(QString, strScreenBoxes);
    const SScreenControls controls = ComputeScreenControls(nScreens, bOn);
    QCOMPARE(controls.bEnableOutput, bEnableBox);
    QString strBoxes;
    for (bool bEnabled : controls.abScreen)
        strBoxes += bEnabled ? 'x' : '-';
    QCOMPARE(strBoxes, strScreenBoxes);
}

void TestScreen::backgroundResolution()
{
    const QString strChosen = m_dir.filePath(QStringLiteral("chosen.png"));
    WriteImage(strChosen, Qt::blue);
    const QString strGone = m_dir.filePath(QStringLiteral("gone.png"));

    QCOMPARE(Background::Resolve(strChosen), strChosen);
    QCOMPARE(Background::Resolve(strGone), QString());
    QCOMPARE(Background::Resolve(QString()), QString());

    // The fallback is looked up beside the executable, never in the
    // current folder.
    WriteImage(QDir::current().filePath(QStringLiteral("logo.jpg")), Qt::red);
    QCOMPARE(Background::Resolve(strGone), QString());
    QFile::remove(QDir::current().filePath(QStringLiteral("logo.jpg")));

    WriteImage(Background::FallbackPath(), Qt::red);
    QCOMPARE(Background::FallbackPath(), QCoreApplication::applicationDirPath() + QStringLiteral("/logo.jpg"));
    QCOMPARE(Background::Resolve(strGone), Background::FallbackPath());
    QCOMPARE(Background::Resolve(QString()), Background::FallbackPath());
    QCOMPARE(Background::Resolve(strChosen), strChosen);
    // Cleared by the user: nothing at all, however many files exist.
    QCOMPARE(Background::Resolve(QStringLiteral("0")), QString());
}

void TestScreen::unreadableAndHugeImagesGiveNoPicture()
{
    const QString strChosen = m_dir.filePath(QStringLiteral("chosen.png"));
    WriteImage(strChosen, Qt::blue);
    const QImage image = Background::LoadScaled(strChosen, QSize(376, 300));
    QCOMPARE(image.size(), QSize(376, 300));
    QCOMPARE(QColor(image.pixel(200, 150)), QColor(Qt::blue));

    const QString strBroken = m_dir.filePath(QStringLiteral("broken.jpg"));
    QFile fileBroken(strBroken);
    QVERIFY(fileBroken.open(QIODevice::WriteOnly));
    fileBroken.write("this is no picture");
    fileBroken.close();
    QVERIFY(Background::LoadScaled(strBroken, QSize(376, 300)).isNull());

    // A valid PNG header declaring 60000 x 60000 pixels: refused from the
    // header alone, without trying to decode 14 GB.
    const QString strHuge = m_dir.filePath(QStringLiteral("huge.png"));
    QImage imageSmall(1, 1, QImage::Format_RGB32);
    imageSmall.fill(Qt::white);
    QByteArray baPng;
    {
        QBuffer buffer(&baPng);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(imageSmall.save(&buffer, "PNG"));
    }
    // IHDR: width and height big-endian at bytes 16..23, followed by the
    // chunk's CRC over its type and data (bytes 12..28).
    const uchar abSize[8] = {0, 0, 0xEA, 0x60, 0, 0, 0xEA, 0x60};
    baPng.replace(16, 8, reinterpret_cast<const char*>(abSize), 8);
    const quint32 nCrc = Crc32(baPng.mid(12, 17));
    for (int i = 0; i < 4; ++i)
        baPng[29 + i] = char((nCrc >> (24 - 8 * i)) & 0xFF);
    QFile fileHuge(strHuge);
    QVERIFY(fileHuge.open(QIODevice::WriteOnly));
    fileHuge.write(baPng);
    fileHuge.close();
    QImageReader reader(strHuge);
    QCOMPARE(reader.size(), QSize(60000, 60000));
    QVERIFY(Background::LoadScaled(strHuge, QSize(1920, 1080)).isNull());

    // The preview stays grey for both and never waits for them.
    CDemoWnd demo(nullptr);
    demo.SetImage(strHuge);
    QCOMPARE(demo.GetImageFile(), strHuge);
    QCOMPARE(demo.palette().color(QPalette::Window), QColor(204, 204, 204));
}

void TestScreen::largeBackgroundDecodedAtShownSize_data()
{
    QTest::addColumn<int>("nFormat");
    QTest::newRow("16-bit colour and alpha") << int(QImage::Format_RGBA64);
    QTest::newRow("16-bit grey") << int(QImage::Format_Grayscale16);
    QTest::newRow("8-bit colour") << int(QImage::Format_RGB888);
    QTest::newRow("palette") << int(QImage::Format_Indexed8);
}

void TestScreen::largeBackgroundDecodedAtShownSize()
{
    // Far larger than the monitor, with colour running across and down, so
    // that a row or column landing in the wrong place shows.
    QFETCH(int, nFormat);
    const QSize sizeFile(2400, 1600);
    QImage imageFile(sizeFile, QImage::Format_ARGB32);
    for (int y = 0; y < sizeFile.height(); ++y)
    {
        QRgb* pLine = reinterpret_cast<QRgb*>(imageFile.scanLine(y));
        for (int x = 0; x < sizeFile.width(); ++x)
            pLine[x] =
                qRgba(x * 255 / sizeFile.width(), y * 255 / sizeFile.height(), 96, 255 - y * 128 / sizeFile.height());
    }
    if (nFormat == QImage::Format_Indexed8)
    {
        QVector<QRgb> vecColors;
        for (int i = 0; i < 256; ++i)
            vecColors << qRgb(i, 255 - i, 64);
        imageFile = imageFile.convertToFormat(QImage::Format_Indexed8, vecColors, Qt::ThresholdDither);
    }
    else
        imageFile = imageFile.convertToFormat(QImage::Format(nFormat));
    const QString strPath = m_dir.filePath(QStringLiteral("large.png"));
    QVERIFY(imageFile.save(strPath));

    // What Qt makes of the whole picture, scaled down afterwards.
    const QSize sizeShown(350, 190);
    const QImage imageExpected = QImage(strPath)
                                     .convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                     .scaled(sizeShown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage image = Background::LoadScaled(strPath, sizeShown);
    QCOMPARE(image.size(), sizeShown);
    const QImage imageShown = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 5; y < sizeShown.height(); y += 30)
        for (int x = 5; x < sizeShown.width(); x += 30)
        {
            const QRgb nGot = imageShown.pixel(x, y);
            const QRgb nWanted = imageExpected.pixel(x, y);
            const int nOff = std::max({qAbs(qRed(nGot) - qRed(nWanted)), qAbs(qGreen(nGot) - qGreen(nWanted)),
                                       qAbs(qBlue(nGot) - qBlue(nWanted)), qAbs(qAlpha(nGot) - qAlpha(nWanted))});
            QVERIFY2(
                nOff <= 6,
                qPrintable(QStringLiteral("(%1, %2): %3 for %4").arg(x).arg(y).arg(nGot, 8, 16).arg(nWanted, 8, 16)));
        }
}

void TestScreen::tabShowsFallbackAndClears()
{
    // A stored file that has gone, with the shipped image present.
    g_settings.SetBgPath(m_dir.filePath(QStringLiteral("gone.png")));
    WriteImage(Background::FallbackPath(), Qt::red);

    CTabScreen tab(nullptr);
    tab.show();
    QLineEdit* pEdit = tab.findChild<QLineEdit*>();
    QVERIFY(pEdit);
    QCOMPARE(pEdit->text(), Background::FallbackPath());
    QCOMPARE(g_settings.GetBgPath(), Background::FallbackPath());
    CDemoWnd* pDemo = tab.GetDemoWnd();
    QTRY_VERIFY_WITH_TIMEOUT(pDemo->IsImageReady(), UiTest::WAIT_MS);
    QVERIFY(IsNear(pDemo->grab().toImage().pixelColor(10, 10), Qt::red));

    QToolButton* pClear = nullptr;
    for (QToolButton* pButton : tab.findChildren<QToolButton*>())
    {
        if (pButton->toolTip() == QStringLiteral("Clear background image"))
            pClear = pButton;
    }
    QVERIFY(pClear);
    QVERIFY(pClear->isEnabled());

    {
        // "No" keeps everything.
        CModalAnswer answer(QStringLiteral("No"));
        pClear->click();
        QVERIFY(answer.m_bSeen);
        QCOMPARE(answer.m_strText, QStringLiteral("Do you confirm to clear background image?"));
        QCOMPARE(g_settings.GetBgPath(), Background::FallbackPath());
    }
    {
        CModalAnswer answer(QStringLiteral("Yes"));
        pClear->click();
        QVERIFY(answer.m_bSeen);
    }
    QCOMPARE(g_settings.GetBgPath(), QStringLiteral("0"));
    QVERIFY(pEdit->text().isEmpty());
    QVERIFY(!pClear->isEnabled());
    QVERIFY(!pDemo->IsImageReady());
    QCOMPARE(pDemo->grab().toImage().pixelColor(10, 10), QColor(204, 204, 204));

    // Cleared stays cleared, also when the tab is built again.
    CTabScreen tabAgain(nullptr);
    QVERIFY(tabAgain.findChild<QLineEdit*>()->text().isEmpty());
    QCOMPARE(g_settings.GetBgPath(), QStringLiteral("0"));
    QVERIFY(tabAgain.GetDemoWnd()->GetImageFile().isEmpty());
}

void TestScreen::tabFollowsOutputSizeChange()
{
    // 1920 x 1080 and 1280 x 720 from the size table.
    int nSize1080 = -1;
    int nSize720 = -1;
    for (int i = 0; i < GetVideoSizeCount(); ++i)
    {
        g_settings.SetOutputFormat(i, UiTest::RATE_25);
        const QSize size(g_settings.GetOutputWidth(), g_settings.GetOutputHeight());
        if (size == QSize(1920, 1080))
            nSize1080 = i;
        if (size == QSize(1280, 720))
            nSize720 = i;
    }
    QVERIFY(nSize1080 >= 0 && nSize720 >= 0);
    g_settings.SetOutputFormat(nSize1080, UiTest::RATE_25);
    g_settings.SetScreenPos(0, 270, 1920, 540);

    CTabScreen tab(nullptr);
    QCOMPARE(tab.GetPreviewRect(), QRect(0, 75, 376, 150));
    // A single screen: nothing to project onto.
    for (QCheckBox* pCheck : tab.findChildren<QCheckBox*>())
        QVERIFY(!pCheck->isEnabled());

    g_settings.SetOutputFormat(nSize720, UiTest::RATE_25);
    tab.OnOutputSizeChanged();
    int nLeft = -1;
    int nTop = -1;
    int nWidth = -1;
    int nHeight = -1;
    g_settings.GetScreenPos(nLeft, nTop, nWidth, nHeight);
    QCOMPARE(QRect(nLeft, nTop, nWidth, nHeight), QRect(0, 180, 1280, 360));
    const QList<QSpinBox*> listSpins = tab.findChildren<QSpinBox*>();
    QCOMPARE(listSpins.size(), 4);
    QCOMPARE(listSpins.at(0)->maximum(), 1280);
    QCOMPARE(listSpins.at(1)->maximum(), 720);
    QCOMPARE(listSpins.at(3)->value(), 360);
    QCOMPARE(tab.GetPreviewRect(), QRect(0, 75, 376, 150));

    // Moving one control stores the whole rectangle.
    listSpins.at(1)->setValue(100);
    g_settings.GetScreenPos(nLeft, nTop, nWidth, nHeight);
    QCOMPARE(QRect(nLeft, nTop, nWidth, nHeight), QRect(0, 100, 1280, 360));
    QCOMPARE(tab.GetPreviewRect(), QRect(0, 41, 376, 150));
}

void TestScreen::storedRectBeyondOutputTakesDefault_data()
{
    QTest::addColumn<QString>("strStored");
    QTest::newRow("all maximal") << "2147483647, 2147483647, 2147483647, 2147483647";
    QTest::newRow("all minimal") << "-2147483648, -2147483648, -2147483648, -2147483648";
    QTest::newRow("far corner") << "2147483647, 2147483647, 1, 1";
    QTest::newRow("one past the width") << "0, 0, 321, 240";
}

// Sums of such values overflow in the tab and in the projection (the
// sanitizer build stops there); the default rectangle is shown instead.
void TestScreen::storedRectBeyondOutputTakesDefault()
{
    QFETCH(QString, strStored);
    g_settings.setValue(QStringLiteral("screenpos"), strStored);

    CTabScreen tab(nullptr);
    const QRect rcDefault(0, 60, 320, 120);
    QVector<int> anShown;
    for (QSpinBox* pSpin : tab.findChildren<QSpinBox*>())
        anShown << pSpin->value();
    QCOMPARE(anShown, QVector<int>({rcDefault.x(), rcDefault.y(), rcDefault.width(), rcDefault.height()}));
    QCOMPARE(tab.GetPreviewRect(), ScaleToPreview(rcDefault, QSize(UiTest::OUTPUT_WIDTH, UiTest::OUTPUT_HEIGHT)));
}

QTEST_MAIN(TestScreen)
#include "tst_ui_screen.moc"
