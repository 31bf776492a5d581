// The preview window on its own: placeholder, the busy-device card, the
// full-screen toggle with its keys and close guard, and the click callback.
#include "UiTestUtil.h"

#include <QCloseEvent>
#include <QVBoxLayout>

using namespace UiTest;

namespace
{
class CClickLog : public IVideoWndCallback
{
public:
    void OnVideoWndClicked(uint32_t nValue) override { m_listClicked << nValue; }
    void OnVideoWndDoubleClicked(uint32_t nValue) override { m_listDoubleClicked << nValue; }

    QList<uint32_t> m_listClicked;
    QList<uint32_t> m_listDoubleClicked;
};

// Counts the pixels of a colour in the window as it paints itself.
int CountPixels(QWidget* pWidget, QRgb rgb)
{
    const QImage image = pWidget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int nCount = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) == (rgb & 0xffffff))
                ++nCount;
    return nCount;
}

// Whether every pixel of rc in the window's own painting is black.
bool AllBlack(const QImage& image, const QRect& rc)
{
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            if ((image.pixel(x, y) & 0xffffff) != 0)
                return false;
    return true;
}

// Whether most pixels of rc show something other than black.
bool MostlyPicture(const QImage& image, const QRect& rc)
{
    int nLit = 0;
    for (int y = rc.top(); y <= rc.bottom(); ++y)
        for (int x = rc.left(); x <= rc.right(); ++x)
            nLit += qGray(image.pixel(x, y)) > 24;
    return nLit > rc.width() * rc.height() * 9 / 10;
}

int CountBright(QWidget* pWidget)
{
    const QImage image = pWidget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int nCount = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) > 200)
                ++nCount;
    return nCount;
}
}

class TestVideoWnd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void placeholderByChannelNumber();
    void deviceBeingUsed();
    void fullScreenToggledByDoubleClick();
    void keysLeavingFullScreen_data();
    void keysLeavingFullScreen();
    void closeIgnoredOnlyInFullScreen();
    void picturesKeepTheirShapeWithBlackBars();

private:
    // A preview window inside a parent, as the tabs hold them.
    CVideoWnd* MakeWindow(int nChannel);

    std::unique_ptr<QWidget> m_pParent;
};

void TestVideoWnd::init()
{
    ResetSettings();
    m_pParent.reset(new QWidget);
    m_pParent->resize(320, 240);
    new QVBoxLayout(m_pParent.get());
}

void TestVideoWnd::cleanup()
{
    g_capture.Uninit();
    m_pParent.reset();
}

CVideoWnd* TestVideoWnd::MakeWindow(int nChannel)
{
    CVideoWnd* pWnd = new CVideoWnd(nChannel, m_pParent.get());
    m_pParent->layout()->addWidget(pWnd);
    m_pParent->show();
    return pWnd;
}

void TestVideoWnd::placeholderByChannelNumber()
{
    CVideoWnd* pChannel = MakeWindow(0);
    CVideoWnd* pOutput = MakeWindow(CVideoWnd::OUTPUT_CHANNEL);
    QCOMPARE(pChannel->sizeHint(), QSize(120, 90));
    QVERIFY(pChannel->IsPlaceholder());
    QVERIFY(!pOutput->IsPlaceholder());
    QVERIFY(pOutput->IsOutputWindow());

    // The placeholder is blue all over; without it the window is black
    // until a picture arrives.
    QVERIFY(CountPixels(pChannel, qRgb(0, 0, 255)) == pChannel->width() * pChannel->height());
    pChannel->SetPlaceholder(false);
    QCOMPARE(CountPixels(pChannel, qRgb(0, 0, 255)), 0);
    QVERIFY(CountPixels(pChannel, qRgb(0, 0, 0)) == pChannel->width() * pChannel->height());
}

void TestVideoWnd::deviceBeingUsed()
{
    QVERIFY(StartEngine("1"));
    CVideoWnd* pWnd = MakeWindow(0);
    QVERIFY(g_capture.OpenChannel(0, 0, pWnd->GetWindowHandle()));
    pWnd->SetPlaceholder(false);
    QVERIFY(!pWnd->IsDeviceBusy());
    QTRY_VERIFY_WITH_TIMEOUT(pWnd->HasPicture(), WAIT_MS);

    // Open but not capturing: what a device held by another program looks like.
    g_capture.GetChannel(0)->Stop();
    pWnd->SetPlaceholder(true);
    QVERIFY(pWnd->IsDeviceBusy());
    const int nArea = pWnd->width() * pWnd->height();
    const int nBlack = CountPixels(pWnd, qRgb(0, 0, 0));
    QVERIFY2(CountBright(pWnd) > 0, "the text is drawn in white");
    QVERIFY(nBlack > nArea / 2);
    QCOMPARE(CountPixels(pWnd, qRgb(0, 0, 255)), 0);

    // The text sits in the middle: the outer band stays black.
    const QImage image = pWnd->grab().toImage();
    for (int x = 0; x < image.width(); ++x)
        QCOMPARE(image.pixel(x, 0) & 0xffffff, 0u);

    // Closed again, the placeholder is back.
    g_capture.CloseChannel(0);
    QVERIFY(!pWnd->IsDeviceBusy());
    QCOMPARE(CountPixels(pWnd, qRgb(0, 0, 255)), nArea);
}

void TestVideoWnd::fullScreenToggledByDoubleClick()
{
    CVideoWnd* pWnd = MakeWindow(0);
    const KVS_WINDOW hWnd = pWnd->GetWindowHandle();
    CClickLog log;
    pWnd->SetCallback(&log, 0x1234abcd);

    QTest::mouseClick(pWnd, Qt::LeftButton);
    QCOMPARE(log.m_listClicked, QList<uint32_t>() << 0x1234abcd);

    QTest::mouseDClick(pWnd, Qt::LeftButton);
    QCOMPARE(log.m_listDoubleClicked, QList<uint32_t>() << 0x1234abcd);
    QVERIFY(pWnd->isFullScreen());
    QVERIFY(pWnd->isWindow());
    // The renderers keep drawing into the same window.
    QCOMPARE(pWnd->GetWindowHandle(), hWnd);

    QTest::mouseDClick(pWnd, Qt::LeftButton);
    QCOMPARE(log.m_listDoubleClicked.size(), 2);
    QVERIFY(!pWnd->isFullScreen());
    QVERIFY(!pWnd->isWindow());
    QCOMPARE(pWnd->parentWidget(), m_pParent.get());
    QVERIFY(pWnd->isVisible());
    QCOMPARE(pWnd->GetWindowHandle(), hWnd);

    // Detached, clicks go nowhere and still toggle.
    pWnd->SetCallback(nullptr, 0);
    QTest::mouseDClick(pWnd, Qt::LeftButton);
    QVERIFY(pWnd->isFullScreen());
    QCOMPARE(log.m_listDoubleClicked.size(), 2);
}

void TestVideoWnd::keysLeavingFullScreen_data()
{
    QTest::addColumn<int>("nKey");
    QTest::addColumn<int>("nModifiers");
    QTest::addColumn<bool>("bLeaves");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(Qt::NoModifier) << true;
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << true;
    QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
    QTest::newRow("Ctrl+F") << int(Qt::Key_F) << int(Qt::ControlModifier) << true;
    QTest::newRow("F alone") << int(Qt::Key_F) << int(Qt::NoModifier) << false;
    QTest::newRow("Alt+F4") << int(Qt::Key_F4) << int(Qt::AltModifier) << false;
    QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << false;
}

void TestVideoWnd::keysLeavingFullScreen()
{
    QFETCH(int, nKey);
    QFETCH(int, nModifiers);
    QFETCH(bool, bLeaves);

    CVideoWnd* pWnd = MakeWindow(CVideoWnd::OUTPUT_CHANNEL);
    // Not in full screen the keys are passed on untouched.
    QKeyEvent eventNormal(QEvent::KeyPress, nKey, Qt::KeyboardModifiers(nModifiers));
    QApplication::sendEvent(pWnd, &eventNormal);
    QVERIFY(!eventNormal.isAccepted());
    QVERIFY(!pWnd->isFullScreen());

    pWnd->ToggleFullScreen();
    QVERIFY(pWnd->isFullScreen());
    QKeyEvent eventFull(QEvent::KeyPress, nKey, Qt::KeyboardModifiers(nModifiers));
    QApplication::sendEvent(pWnd, &eventFull);
    QCOMPARE(eventFull.isAccepted(), bLeaves);
    QCOMPARE(pWnd->isFullScreen(), !bLeaves);
}

void TestVideoWnd::closeIgnoredOnlyInFullScreen()
{
    CVideoWnd* pWnd = MakeWindow(0);
    pWnd->ToggleFullScreen();
    QVERIFY(!pWnd->close());
    QVERIFY(pWnd->isVisible());
    QVERIFY(pWnd->isFullScreen());

    pWnd->LeaveFullScreen();
    QVERIFY(pWnd->close());
    QVERIFY(!pWnd->isVisible());
}

void TestVideoWnd::picturesKeepTheirShapeWithBlackBars()
{
    // The composed 4:3 output in a wide preview: bars left and right.
    QVERIFY(StartEngine("1"));
    std::unique_ptr<CVideoWnd> pOutput = StartOutput();
    QVERIFY(pOutput);
    pOutput->resize(400, 150);
    QVERIFY(g_capture.OpenChannel(0, 0, pOutput->GetWindowHandle()));
    g_capture.PlaceChannel(0, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    auto wideShown = [&pOutput] {
        const QImage image = pOutput->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return image.size() == QSize(400, 150) && AllBlack(image, QRect(0, 0, 99, 150)) &&
               AllBlack(image, QRect(301, 0, 99, 150)) && MostlyPicture(image, QRect(102, 2, 196, 146));
    };
    QTRY_VERIFY_WITH_TIMEOUT(wideShown(), WAIT_MS);

    // A channel's 4:3 picture in a tall window: bars above and below.
    CVideoWnd* pChannel = MakeWindow(1);
    m_pParent->layout()->removeWidget(pChannel);
    pChannel->setGeometry(0, 0, 120, 200);
    QVERIFY(g_capture.OpenChannel(1, 0, pChannel->GetWindowHandle()));
    pChannel->SetPlaceholder(false);
    g_capture.PlaceChannel(1, 0, 0, 320, 240, 255, 0);
    auto tallShown = [pChannel] {
        const QImage image = pChannel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return image.size() == QSize(120, 200) && AllBlack(image, QRect(0, 0, 120, 54)) &&
               AllBlack(image, QRect(0, 146, 120, 54)) && MostlyPicture(image, QRect(2, 57, 116, 86));
    };
    QTRY_VERIFY_WITH_TIMEOUT(tallShown(), WAIT_MS);
}

QTEST_MAIN(TestVideoWnd)
#include "tst_ui_videownd.moc"
