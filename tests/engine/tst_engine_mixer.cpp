// The composed output of the engine, read back from the frames it hands to
// the projection output: channels in their rectangles, an inset, logo,
// caption and clock, the output renderers and snapshots.
#include "engine/CKVCapture.h"
#include "engine/CLogoLoader.h"
#include "config/CSettings.h"
#include "BadImageFiles.h"
#include "TestFrameSink.h"
#include "TestRenderTarget.h"

#include <QDeadlineTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const int SIZE_640X480 = 14;
const int SIZE_320X240 = 18;
const int RATE_25 = 2;
const int DURATION_25 = 400000;
const int OUTPUT_WIDTH = 640;
const int OUTPUT_HEIGHT = 480;

const KVS_WINDOW PREVIEW_WINDOW = 0x6d0001;
const KVS_WINDOW CHANNEL_WINDOW = 0x6d0002;
const KVS_WINDOW SCREEN_WINDOW = 0x6d0003;

// Device 3 can deliver no more than 320 x 240.
const char* const DEVICES = "North;South;East;Tiny|2|320x240";

const int WHITE = 0xFFFFFF;
const QString FONT = QStringLiteral("DejaVu Sans");

// Nothing but the black background in the whole frame.
bool IsAllBlack(const SYuyvPicture& picture)
{
    return !picture.IsEmpty() && picture.BrightBox(20).isNull();
}

QString RectText(const QRect& rc)
{
    return QStringLiteral("%1,%2 %3x%4").arg(rc.x()).arg(rc.y()).arg(rc.width()).arg(rc.height());
}
}

class TestEngineMixer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void channelsLandInTheirRectangles();
    void refusedSizeLeavesChannelUnplaced();
    void logoCornersAndSizes_data();
    void logoCornersAndSizes();
    void unreadableLogoKeepsThePreviousOne();
    void captionPositions();
    void clockKeepsItsPositionUntilRecomputed();
    void snapshotDecodesToOutputSize();
    void renderersAndProjection();

private:
    // Waits until a newly composed frame satisfies fnCheck.
    bool WaitForFrame(const std::function<bool(const SYuyvPicture&)>& fnCheck, int nTimeout = 20000) const
    {
        return m_pSink->WaitForFrame(fnCheck, nTimeout);
    }

    CTestRenderTarget* m_pPreview = nullptr;
    CTestRenderTarget* m_pChannelWindow = nullptr;
    CTestFrameSink* m_pSink = nullptr;
    QTemporaryDir m_dir;
};

void TestEngineMixer::init()
{
    qputenv("VISTREL_VIRTUAL_VIDEO", DEVICES);
    g_settings.SetOutputFormat(SIZE_640X480, RATE_25);
    QVERIFY(g_capture.Init());
    m_pPreview = new CTestRenderTarget(PREVIEW_WINDOW, OUTPUT_WIDTH, OUTPUT_HEIGHT);
    m_pChannelWindow = new CTestRenderTarget(CHANNEL_WINDOW, 160, 120);
    m_pSink = new CTestFrameSink();
    QVERIFY(g_capture.CreateMixer(OUTPUT_WIDTH, OUTPUT_HEIGHT, DURATION_25, PREVIEW_WINDOW));
}

void TestEngineMixer::cleanup()
{
    g_capture.Uninit();
    delete m_pSink;
    m_pSink = nullptr;
    delete m_pChannelWindow;
    m_pChannelWindow = nullptr;
    delete m_pPreview;
    m_pPreview = nullptr;
}

void TestEngineMixer::channelsLandInTheirRectangles()
{
    QVERIFY(g_capture.OpenChannel(0, 0, CHANNEL_WINDOW));
    QVERIFY(g_capture.OpenChannel(1, 1, CHANNEL_WINDOW));
    QVERIFY(g_capture.OpenChannel(2, 2, CHANNEL_WINDOW));
    // Position 0 over the whole output, an inset in the lower right and a
    // small picture in the upper left, added after the full one.
    g_capture.PlaceChannel(0, 0, 0, 640, 480, 255, 0);
    g_capture.PlaceChannel(1, 400, 300, 192, 144, 255, 1);
    g_capture.PlaceChannel(2, 20, 10, 160, 120, 255, 0);
    for (int nChannel = 0; nChannel < 3; ++nChannel)
    {
        QVERIFY(g_capture.IsChannelPlaced(nChannel));
        QVERIFY(g_capture.GetChannel(nChannel)->IsStarted());
    }
    // Each device now captures at exactly its rectangle's size.
    QCOMPARE(g_capture.GetChannel(1)->GetWidth(), 192);
    QCOMPARE(g_capture.GetChannel(1)->GetHeight(), 144);
    QCOMPARE(g_capture.GetChannel(2)->GetWidth(), 160);

    // With the captures stopped their last frames stay, and the output can be
    // compared byte for byte.
    CKVChannel* apChannel[3] = {g_capture.GetChannel(0), g_capture.GetChannel(1), g_capture.GetChannel(2)};
    for (CKVChannel* pChannel : apChannel)
        QTRY_VERIFY_WITH_TIMEOUT(!LatestCaptureFrame(pChannel).IsEmpty(), 20000);
    for (CKVChannel* pChannel : apChannel)
        pChannel->Stop();
    const SYuyvPicture full = LatestCaptureFrame(apChannel[0]);
    const SYuyvPicture inset = LatestCaptureFrame(apChannel[1]);
    const SYuyvPicture small = LatestCaptureFrame(apChannel[2]);
    QVERIFY(!full.IsEmpty() && !inset.IsEmpty() && !small.IsEmpty());
    // Different devices, different pictures: a mix-up would show.
    QVERIFY(!full.Shows(small, 0, 0));

    const QRect rcInset(400, 300, 192, 144);
    const QRect rcSmall(20, 10, 160, 120);
    auto showsAll = [&](const SYuyvPicture& out) {
        return out.Shows(inset, 400, 300) && out.Shows(small, 20, 10) &&
               out.Shows(full, 0, 0, [&](int x, int y) { return rcInset.contains(x, y) || rcSmall.contains(x, y); });
    };
    QVERIFY(WaitForFrame(showsAll));

    // Taken out of the picture, the inset reveals position 0 below it; its
    // device stays open.
    g_capture.RemoveMixerChannel(1);
    QVERIFY(!g_capture.IsChannelPlaced(1));
    QVERIFY(apChannel[1]->IsOpen());
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        return out.Shows(full, 0, 0, [&](int x, int y) { return rcSmall.contains(x, y); });
    }));

    // Closing a placed channel takes it out of the mixer as well.
    g_capture.CloseChannel(2);
    QVERIFY(!g_capture.IsChannelPlaced(2));
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) { return out.Shows(full, 0, 0); }));
}

void TestEngineMixer::refusedSizeLeavesChannelUnplaced()
{
    // The small device serves any sensible size, its own or larger.
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
    QVERIFY(g_capture.OpenChannel(3, 3, CHANNEL_WINDOW));
    g_capture.PlaceChannel(3, 0, 0, 320, 240, 255, 0);
    QVERIFY(g_capture.IsChannelPlaced(3));
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return !IsAllBlack(out); }));

    // Refused (no device captures at an absurd size): stopped, and its
    // earlier placement is gone rather than frozen.
    g_capture.PlaceChannel(3, 0, 0, 9000, 480, 255, 0);
    QVERIFY(!g_capture.IsChannelPlaced(3));
    QVERIFY(g_capture.GetChannel(3)->IsOpen());
    QVERIFY(!g_capture.GetChannel(3)->IsStarted());
    QVERIFY(!g_capture.GetChannel(3)->IsDeviceBusy());
    QCOMPARE(g_capture.GetChannel(3)->GetDeviceIndex(), 3);
    QVERIFY(WaitForFrame(IsAllBlack));

    // An empty rectangle takes the channel out of the picture but leaves its
    // capture running for its preview.
    g_capture.PlaceChannel(3, 0, 0, 320, 240, 255, 0);
    QVERIFY(g_capture.IsChannelPlaced(3));
    g_capture.PlaceChannel(3, 0, 0, 0, 240, 255, 0);
    QVERIFY(!g_capture.IsChannelPlaced(3));
    QVERIFY(g_capture.GetChannel(3)->IsStarted());
    QVERIFY(WaitForFrame(IsAllBlack));

    // Out-of-range channel numbers are ignored.
    g_capture.PlaceChannel(6, 0, 0, 320, 240, 255, 0);
    g_capture.PlaceChannel(-1, 0, 0, 320, 240, 255, 0);
    g_capture.RemoveMixerChannel(7);
    QVERIFY(!g_capture.IsChannelPlaced(6));
}

void TestEngineMixer::logoCornersAndSizes_data()
{
    QTest::addColumn<int>("nCorner");
    QTest::addColumn<int>("nSize");
    QTest::addColumn<QRect>("rcExpected");
    // A 101 x 51 logo on 640 x 480.
    QTest::newRow("natural size, top left") << 0 << 50 << QRect(10, 10, 101, 51);
    QTest::newRow("half size, top right") << 1 << 0 << QRect(580, 10, 50, 26);
    QTest::newRow("one and a half, bottom right") << 3 << 100 << QRect(478, 394, 152, 76);
    QTest::newRow("natural size, bottom left") << 2 << 50 << QRect(10, 419, 101, 51);
    QTest::newRow("unknown corner") << 9 << 50 << QRect(10, 10, 101, 51);
}

void TestEngineMixer::logoCornersAndSizes()
{
    QFETCH(int, nCorner);
    QFETCH(int, nSize);
    QFETCH(QRect, rcExpected);

    QImage image(101, 51, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QString strPath = m_dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(image.save(strPath));

    QVERIFY(g_capture.SetLogo(strPath, nCorner, nSize));
    QRect rcSeen;
    QVERIFY2(WaitForFrame([&](const SYuyvPicture& out) {
                 rcSeen = out.BrightBox();
                 return rcSeen == rcExpected;
             }),
             qPrintable(RectText(rcSeen)));
    int nWidth = 0;
    int nHeight = 0;
    g_capture.GetLogoSize(nWidth, nHeight);
    QCOMPARE(QSize(nWidth, nHeight), rcExpected.size());

    // Setting it again replaces it rather than adding a second one.
    QVERIFY(g_capture.SetLogo(strPath, 0, 50));
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return out.BrightBox() == QRect(10, 10, 101, 51); }));

    g_capture.RemoveLogo();
    QVERIFY(WaitForFrame(IsAllBlack));
}

void TestEngineMixer::unreadableLogoKeepsThePreviousOne()
{
    QList<int> anResults;
    g_capture.SetLogoResultHandler([&](const QString&, int nResult) { anResults << nResult; });
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QString strGood = m_dir.filePath(QStringLiteral("good.png"));
    QVERIFY(image.save(strGood));
    QVERIFY(g_capture.SetLogo(strGood, 3, 50));
    const QRect rcGood(OUTPUT_WIDTH - 50, OUTPUT_HEIGHT - 50, 40, 40);
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) { return out.BrightBox() == rcGood; }));
    QCOMPARE(anResults, QList<int>{CLogoLoader::LOGO_SHOWN});

    // Text named .png, a missing file, a header declaring 20000 x 20000
    // (refused from the header: decoding it would fail as unreadable), and
    // a sound picture too large at 150 %: each is reported, and the logo on
    // show stays where it was.
    const QString strText = m_dir.filePath(QStringLiteral("notes.png"));
    const QString strHuge = m_dir.filePath(QStringLiteral("huge.png"));
    const QString strWide = m_dir.filePath(QStringLiteral("wide.png"));
    QVERIFY(BadImageFiles::Write(strText, "not a picture"));
    QVERIFY(BadImageFiles::Write(strHuge, BadImageFiles::ForgedPng(20000, 20000)));
    image = QImage(3000, 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    QVERIFY(image.save(strWide));
    QVERIFY(g_capture.SetLogo(strText, 1, 100));
    QTRY_COMPARE_WITH_TIMEOUT(anResults.size(), 2, 20000);
    QVERIFY(g_capture.SetLogo(m_dir.filePath(QStringLiteral("missing.png")), 2, 0));
    QTRY_COMPARE_WITH_TIMEOUT(anResults.size(), 3, 20000);
    QVERIFY(g_capture.SetLogo(strHuge, 0, 50));
    QTRY_COMPARE_WITH_TIMEOUT(anResults.size(), 4, 20000);
    QVERIFY(g_capture.SetLogo(strWide, 0, 100));
    QTRY_COMPARE_WITH_TIMEOUT(anResults.size(), 5, 20000);
    QCOMPARE(anResults.mid(1), (QList<int>{CLogoLoader::LOGO_UNREADABLE, CLogoLoader::LOGO_UNREADABLE,
                                           CLogoLoader::LOGO_TOO_LARGE, CLogoLoader::LOGO_TOO_LARGE}));
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) { return out.BrightBox() == rcGood; }));

    // Overtaken before it was read, by a removal or by a new mixer: it
    // never shows up late, and nobody is told.
    anResults.clear();
    QVERIFY(g_capture.SetLogo(strGood, 0, 50));
    g_capture.RemoveLogo();
    QVERIFY(WaitForFrame(IsAllBlack));
    QVERIFY(g_capture.SetLogo(strGood, 0, 50));
    QVERIFY(g_capture.CreateMixer(OUTPUT_WIDTH, OUTPUT_HEIGHT, DURATION_25, PREVIEW_WINDOW));
    const int nFrames = m_pSink->Frames();
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) { return m_pSink->Frames() > nFrames + 10 && IsAllBlack(out); }));
    QVERIFY(anResults.isEmpty());
    g_capture.SetLogoResultHandler(nullptr);
}

void TestEngineMixer::captionPositions()
{
    QVERIFY(g_capture.SetCaption(QStringLiteral("Vistrel"), FONT, false, false, false, 40, 0, 0, 0, WHITE));
    QRect rcSeen;
    // Glyphs start a little inside the caption's own picture.
    QVERIFY2(WaitForFrame([&](const SYuyvPicture& out) {
                 rcSeen = out.BrightBox();
                 return !rcSeen.isNull() && rcSeen.left() >= 10 && rcSeen.left() < 20 && rcSeen.top() >= 10 &&
                        rcSeen.top() < 30;
             }),
             qPrintable(RectText(rcSeen)));
    const QSize sizeInk = rcSeen.size();

    // Bottom right: the same ink, now ending near the right and bottom edges.
    QVERIFY(g_capture.SetCaption(QStringLiteral("Vistrel"), FONT, false, false, false, 40, 0, 5, 0, WHITE));
    QVERIFY2(WaitForFrame([&](const SYuyvPicture& out) {
                 rcSeen = out.BrightBox();
                 return rcSeen.size() == sizeInk && rcSeen.right() <= OUTPUT_WIDTH - 10 &&
                        rcSeen.right() > OUTPUT_WIDTH - 30 && rcSeen.bottom() <= OUTPUT_HEIGHT - 10 &&
                        rcSeen.bottom() > OUTPUT_HEIGHT - 40;
             }),
             qPrintable(RectText(rcSeen)));

    // Top centre: the ink is centred within the rounding of the glyph edges.
    QVERIFY(g_capture.SetCaption(QStringLiteral("Vistrel"), FONT, false, false, false, 40, 0, 1, 0, WHITE));
    QVERIFY2(WaitForFrame([&](const SYuyvPicture& out) {
                 rcSeen = out.BrightBox();
                 return rcSeen.size() == sizeInk && std::abs(rcSeen.center().x() - OUTPUT_WIDTH / 2) < 6 &&
                        rcSeen.top() < 30;
             }),
             qPrintable(RectText(rcSeen)));

    // A caption the mixer refuses: false, and the old one is gone.
    QVERIFY(!g_capture.SetCaption(QStringLiteral("Vistrel"), FONT, false, false, false, 0, 0, 0, 0, WHITE));
    QVERIFY(WaitForFrame(IsAllBlack));

    QVERIFY(g_capture.SetCaption(QStringLiteral("Vistrel"), FONT, false, false, false, 40, 0, 3, 0, WHITE));
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return !out.BrightBox().isNull(); }));
    g_capture.RemoveCaption();
    QVERIFY(WaitForFrame(IsAllBlack));
}

void TestEngineMixer::clockKeepsItsPositionUntilRecomputed()
{
    const QString strShort = QStringLiteral("2024-01-01 10:00:00");
    const QString strLong = QStringLiteral("2024-01-01 10:00:00 and more");
    // Top right, so a wider text would move left if recomputed.
    QVERIFY(g_capture.SetClock(strShort, FONT, false, false, false, 20, 0, 2, 0, WHITE, true, 0));
    int nX = 0;
    int nY = 0;
    g_capture.GetClockPosition(nX, nY);
    QCOMPARE(nY, 10);
    QCOMPARE(nX % 2, 0);
    QVERIFY(nX > OUTPUT_WIDTH / 2);
    QRect rcShort;
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        rcShort = out.BrightBox();
        return !rcShort.isNull() && rcShort.left() >= nX;
    }));

    // The periodic refresh: a wider text, not recomputed, starts where the
    // clock was and runs off the right edge.
    QVERIFY(g_capture.SetClock(strLong, FONT, false, false, false, 20, 0, 2, 0, WHITE, false, 0));
    int nX2 = 0;
    int nY2 = 0;
    g_capture.GetClockPosition(nX2, nY2);
    QCOMPARE(QPoint(nX2, nY2), QPoint(nX, nY));
    QRect rcLong;
    QVERIFY2(WaitForFrame([&](const SYuyvPicture& out) {
                 rcLong = out.BrightBox();
                 return rcLong.left() == rcShort.left() && rcLong.right() == OUTPUT_WIDTH - 1;
             }),
             qPrintable(RectText(rcLong)));

    // The y offset moves it down without changing the kept position.
    QVERIFY(g_capture.SetClock(strShort, FONT, false, false, false, 20, 0, 2, 0, WHITE, false, 20));
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) { return out.BrightBox() == rcShort.translated(0, 20); }));

    // A clock the mixer refuses leaves the previous one showing.
    QVERIFY(!g_capture.SetClock(strLong, FONT, false, false, false, 0, 0, 0, 0, WHITE, true, 0));
    g_capture.GetClockPosition(nX2, nY2);
    QCOMPARE(QPoint(nX2, nY2), QPoint(nX, nY));
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) { return out.BrightBox() == rcShort.translated(0, 20); }));

    // Recomputed, the wider text moves left to fit.
    QVERIFY(g_capture.SetClock(strLong, FONT, false, false, false, 20, 0, 2, 0, WHITE, true, 0));
    g_capture.GetClockPosition(nX2, nY2);
    QVERIFY(nX2 < nX);
    QVERIFY(WaitForFrame([&](const SYuyvPicture& out) {
        const QRect rc = out.BrightBox();
        return rc.left() < rcShort.left() && rc.right() < OUTPUT_WIDTH - 10;
    }));

    g_capture.RemoveClock();
    QVERIFY(WaitForFrame(IsAllBlack));
}

void TestEngineMixer::snapshotDecodesToOutputSize()
{
    QVERIFY(g_capture.OpenChannel(0, 0, CHANNEL_WINDOW));
    g_capture.PlaceChannel(0, 0, 0, 640, 480, 255, 0);
    QVERIFY(WaitForFrame([](const SYuyvPicture& out) { return !out.BrightBox(20).isNull(); }));

    const QString strPath = m_dir.filePath(QStringLiteral("shot.jpg"));
    QCOMPARE(g_capture.Snapshot(strPath, 75), 1);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(strPath), 20000);
    QImage image;
    QTRY_VERIFY_WITH_TIMEOUT(image.load(strPath), 20000);
    QCOMPARE(image.size(), QSize(OUTPUT_WIDTH, OUTPUT_HEIGHT));

    // No mixer, no snapshot.
    g_capture.DestroyMixer();
    QCOMPARE(g_capture.Snapshot(m_dir.filePath(QStringLiteral("none.jpg")), 75), 0);
}

void TestEngineMixer::renderersAndProjection()
{
    // The output preview gets every frame at its window's size.
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() >= 3, 20000);
    QCOMPARE(m_pPreview->GetLastSize(), QSize(OUTPUT_WIDTH, OUTPUT_HEIGHT));
    g_capture.UpdatePreviewRenderer();
    g_capture.RepaintPreview();

    // The projection output gets the frame as the mixer made it.
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Frames() >= 3, 20000);
    const SYuyvPicture out = m_pSink->Latest();
    QCOMPARE(out.nWidth, OUTPUT_WIDTH);
    QCOMPARE(out.nHeight, OUTPUT_HEIGHT);
    QVERIFY(m_pSink->LastTimestamp() > 0);
    QCOMPARE(m_pSink->LastTimestamp() % DURATION_25, 0);

    // The Screen tab's renderer draws only while drawing is enabled.
    CTestRenderTarget screen(SCREEN_WINDOW, 200, 150);
    g_capture.CreateScreenTabRenderer(SCREEN_WINDOW);
    int nPreviewFrames = m_pPreview->GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() >= nPreviewFrames + 5, 20000);
    QCOMPARE(screen.GetFrameCount(), 0);

    g_capture.EnableScreenTabDraw(true);
    QTRY_VERIFY_WITH_TIMEOUT(screen.GetFrameCount() >= 3, 20000);
    QCOMPARE(screen.GetLastSize(), QSize(200, 150));

    g_capture.EnableScreenTabDraw(false);
    // One frame may already have been on its way.
    nPreviewFrames = m_pPreview->GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() >= nPreviewFrames + 2, 20000);
    int nScreenFrames = screen.GetFrameCount();
    nPreviewFrames = m_pPreview->GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() >= nPreviewFrames + 5, 20000);
    QCOMPARE(screen.GetFrameCount(), nScreenFrames);

    // A rebuilt output brings the Screen tab's renderer back by itself, at
    // the new output size; creating it twice does not draw twice.
    g_capture.EnableScreenTabDraw(true);
    g_capture.DestroyMixer();
    QVERIFY(g_capture.CreateMixer(320, 240, DURATION_25, PREVIEW_WINDOW));
    g_capture.CreateScreenTabRenderer(SCREEN_WINDOW);
    g_capture.UpdateScreenTabRenderer();
    nScreenFrames = screen.GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(screen.GetFrameCount() >= nScreenFrames + 3, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Latest().nWidth == 320, 20000);
    nPreviewFrames = m_pPreview->GetFrameCount();
    nScreenFrames = screen.GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() >= nPreviewFrames + 5, 20000);
    QVERIFY(screen.GetFrameCount() - nScreenFrames <= m_pPreview->GetFrameCount() - nPreviewFrames + 1);

    // The sink is no longer called once it has been withdrawn.
    CKVCapture::SetProjectionSink(nullptr);
    const int nSinkFrames = m_pSink->Frames();
    nPreviewFrames = m_pPreview->GetFrameCount();
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() >= nPreviewFrames + 3, 20000);
    QCOMPARE(m_pSink->Frames(), nSinkFrames);

    // The screen target goes before the engine: the renderer must let go.
    g_capture.DestroyMixer();
}

QTEST_MAIN(TestEngineMixer)
#include "tst_engine_mixer.moc"
