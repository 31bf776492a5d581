// Studio mode on the real mixer thread: Preview is kept off the frames that
// go on air until a take, and a take with a fade blends one composed picture
// into the other frame by frame.
#include "engine/CKVCapture.h"
#include "config/CSettings.h"
#include "RecordedFile.h"
#include "TestFrameSink.h"
#include "TestRenderTarget.h"

#include <QTemporaryDir>
#include <QtTest>

#include <mutex>
#include <vector>

namespace
{
const int SIZE_320X240 = 18;
const int RATE_25 = 2;
const int DURATION_25 = 400000;
const int OUTPUT_WIDTH = 320;
const int OUTPUT_HEIGHT = 240;

const KVS_WINDOW PROGRAM_WINDOW = 0x7b0001;
const KVS_WINDOW PREVIEW_WINDOW = 0x7b0002;
const KVS_WINDOW CHANNEL_WINDOW = 0x7b0003;

// Mean V of a picture: the two devices' patterns differ most in it, and a
// blend of two pictures has the blend of their means.
double MeanV(const SYuyvPicture& picture)
{
    if (picture.IsEmpty())
        return 0;
    long long nSum = 0;
    long long nCount = 0;
    for (int y = 0; y < picture.nHeight; ++y)
        for (int x = 0; x < picture.nWidth; x += 2, ++nCount)
            nSum += picture.V(x, y);
    return nCount > 0 ? double(nSum) / double(nCount) : 0;
}

// Empty when vecMeans, taken across a take from dFirst to dSecond, holds
// only blends between the two, each nearer the second, and at least
// nMinBetween of them; otherwise what was seen.
QString CheckBlends(const std::vector<double>& vecMeans, double dFirst, double dSecond, int nMinBetween)
{
    QStringList listSeen;
    for (double d : vecMeans)
        listSeen << QString::number(d, 'f', 1);
    QString strSeen = QStringLiteral("%1 to %2: %3").arg(dFirst).arg(dSecond).arg(listSeen.join(' '));
    int nBetween = 0;
    double dPrevious = 0;
    for (double d : vecMeans)
    {
        const double dShare = (d - dFirst) / (dSecond - dFirst);
        if (dShare < 0.1 || dShare > 0.9)
            continue;
        if (dShare < dPrevious - 0.08)
            return strSeen;
        dPrevious = dShare;
        ++nBetween;
    }
    if (nMinBetween > 0 ? nBetween < nMinBetween : nBetween != 0)
        return strSeen;
    return QString();
}

class CMeanLog
{
public:
    void Add(double d)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vec.push_back(d);
    }
    std::vector<double> Get() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vec;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<double> m_vec;
};
}

class TestEngineStudio : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void takeBlendsThenSwapsBack_data();
    void takeBlendsThenSwapsBack();
    void captionStaysOffAirUntilTake();
    void programClockKeepsTimeWithoutPreviewClock();
    void fadeIsRecorded();

private:
    void StartOutput();
    // The mean V of the frames going on air once it has settled.
    double SettledMean();

    CTestRenderTarget* m_pProgram = nullptr;
    CTestRenderTarget* m_pPreview = nullptr;
    CTestRenderTarget* m_pChannelWindow = nullptr;
    CTestFrameSink* m_pSink = nullptr;
};

void TestEngineStudio::init()
{
    qputenv("VISTREL_VIRTUAL_VIDEO", "One;Two");
    m_pProgram = new CTestRenderTarget(PROGRAM_WINDOW, OUTPUT_WIDTH, OUTPUT_HEIGHT);
    m_pPreview = new CTestRenderTarget(PREVIEW_WINDOW, OUTPUT_WIDTH, OUTPUT_HEIGHT);
    m_pChannelWindow = new CTestRenderTarget(CHANNEL_WINDOW, 80, 60);
    m_pSink = new CTestFrameSink();
}

void TestEngineStudio::cleanup()
{
    g_capture.Uninit();
    delete m_pSink;
    m_pSink = nullptr;
    delete m_pChannelWindow;
    m_pChannelWindow = nullptr;
    delete m_pPreview;
    m_pPreview = nullptr;
    delete m_pProgram;
    m_pProgram = nullptr;
}

void TestEngineStudio::StartOutput()
{
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
    QVERIFY(g_capture.Init());
    QVERIFY(g_capture.CreateMixer(OUTPUT_WIDTH, OUTPUT_HEIGHT, DURATION_25, PROGRAM_WINDOW));
    for (int nChannel = 0; nChannel < 2; ++nChannel)
        QVERIFY(g_capture.OpenChannel(nChannel, nChannel, CHANNEL_WINDOW));
}

double TestEngineStudio::SettledMean()
{
    double dLast = -100;
    double dMean = 0;
    // Two frames in a row alike: no fade and no first black frame.
    m_pSink->WaitForFrame([&](const SYuyvPicture& picture) {
        dMean = MeanV(picture);
        const bool bSettled = std::abs(dMean - dLast) < 1.0;
        dLast = dMean;
        return bSettled;
    });
    return dMean;
}

void TestEngineStudio::takeBlendsThenSwapsBack_data()
{
    QTest::addColumn<int>("nFadeFrames");
    QTest::newRow("fade") << 12;
    QTest::newRow("cut") << 0;
}

void TestEngineStudio::takeBlendsThenSwapsBack()
{
    QFETCH(int, nFadeFrames);
    StartOutput();
    g_capture.PlaceChannel(0, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    const double dFirst = SettledMean();

    QVERIFY(g_capture.SetStudioMode(true, PREVIEW_WINDOW));
    g_capture.PlaceChannel(1, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() > 2, 20000);
    // Preview is prepared off air, and the tally tells the two apart.
    QVERIFY(qAbs(SettledMean() - dFirst) < 1.0);
    QVERIFY(g_capture.IsChannelOnProgram(0));
    QVERIFY(!g_capture.IsChannelOnProgram(1));
    QVERIFY(g_capture.IsChannelOnPreview(1));
    QVERIFY(!g_capture.IsChannelOnPreview(0));

    CMeanLog log;
    m_pSink->SetHook([this, &log] { log.Add(MeanV(m_pSink->Latest())); });
    QVERIFY(g_capture.Take(nFadeFrames));
    QVERIFY(g_capture.IsChannelOnProgram(1));
    QVERIFY(g_capture.IsChannelOnPreview(0));
    // Every composed frame is delivered, however late the mixer runs, so
    // the fade is over by then.
    QTRY_VERIFY_WITH_TIMEOUT(log.Get().size() >= size_t(nFadeFrames + 8), 30000);
    m_pSink->SetHook(nullptr);
    const double dSecond = log.Get().back();
    QVERIFY2(qAbs(dSecond - dFirst) > 4, qPrintable(QStringLiteral("%1 and %2").arg(dFirst).arg(dSecond)));

    // Between the two pictures only blends, each nearer the second.
    const QString strProblem = CheckBlends(log.Get(), dFirst, dSecond, nFadeFrames / 2);
    QVERIFY2(strProblem.isEmpty(), qPrintable(strProblem));

    // Again: the first picture is back on air.
    QVERIFY(g_capture.Take(nFadeFrames));
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(SettledMean() - dFirst) < 1.0, 20000);
    QVERIFY(g_capture.IsChannelOnProgram(0));

    // Leaving the mode keeps Program; edits then go straight on air.
    QVERIFY(g_capture.SetStudioMode(false, 0));
    QVERIFY(!g_capture.IsChannelOnPreview(1));
    QVERIFY(!g_capture.IsChannelPlaced(1));
    QVERIFY(qAbs(SettledMean() - dFirst) < 1.0);
    g_capture.PlaceChannel(1, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 1);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(SettledMean() - dSecond) < 1.0, 20000);
}

void TestEngineStudio::captionStaysOffAirUntilTake()
{
    StartOutput();
    QVERIFY(g_capture.SetStudioMode(true, PREVIEW_WINDOW));
    // Nothing else in either scene: Program is black, so any bright pixel
    // on air is the caption.
    QVERIFY(g_capture.SetCaption(QStringLiteral("ON AIR"), QStringLiteral("DejaVu Sans"), true, false, false, 40, 0, 0,
                                 0x000000, 0xFFFFFF));
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() > 2, 20000);
    const int nFrames = m_pSink->Frames();
    QTRY_VERIFY_WITH_TIMEOUT(m_pSink->Frames() > nFrames + 2, 20000);
    QVERIFY(m_pSink->Latest().BrightBox().isNull());

    QVERIFY(g_capture.Take(0));
    QVERIFY(m_pSink->WaitForFrame([](const SYuyvPicture& picture) { return !picture.BrightBox().isNull(); }));
}

void TestEngineStudio::programClockKeepsTimeWithoutPreviewClock()
{
    StartOutput();
    QVERIFY(g_capture.SetStudioMode(true, PREVIEW_WINDOW));
    QVERIFY(g_capture.SetClock(QStringLiteral("1"), QStringLiteral("DejaVu Sans"), true, false, false, 40, 0, 0,
                               0x000000, 0xFFFFFF, true, 0));
    QVERIFY(g_capture.Take(0));
    QRect rcShort;
    QVERIFY(m_pSink->WaitForFrame([&rcShort](const SYuyvPicture& picture) {
        rcShort = picture.BrightBox();
        return !rcShort.isNull();
    }));
    // Preview now holds the scene that was on air, which has no clock; the
    // clock on air is still redrawn, where it stood.
    QVERIFY(g_capture.TickProgramClock(QStringLiteral("1111")));
    QRect rcLong;
    QVERIFY(m_pSink->WaitForFrame([&rcLong, &rcShort](const SYuyvPicture& picture) {
        rcLong = picture.BrightBox();
        return rcLong.width() > rcShort.width() * 2;
    }));
    QCOMPARE(rcLong.left(), rcShort.left());
    QCOMPARE(rcLong.top(), rcShort.top());

    // Without a clock on air there is nothing to redraw.
    QVERIFY(g_capture.Take(0));
    QVERIFY(!g_capture.TickProgramClock(QStringLiteral("2")));
    QVERIFY(m_pSink->WaitForFrame([](const SYuyvPicture& picture) { return picture.BrightBox().isNull(); }));
}

// What the encoder got is what went on air: the fade, frame by frame, read
// back from the file.
void TestEngineStudio::fadeIsRecorded()
{
    const int nFadeFrames = 12;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Software encoding: the same on every machine.
    g_settings.SetEncoderParam(0, 2, 4, 0, 2, 0, 1, 1);
    StartOutput();
    g_capture.PlaceChannel(0, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    SettledMean();
    QVERIFY(g_capture.SetStudioMode(true, PREVIEW_WINDOW));
    g_capture.PlaceChannel(1, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT, 255, 0);
    QTRY_VERIFY_WITH_TIMEOUT(m_pPreview->GetFrameCount() > 2, 20000);

    const QString strPath = dir.filePath(QStringLiteral("take.mp4"));
    QVERIFY(g_capture.StartRecord(strPath, QString()));
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() >= 10, 60000);
    QVERIFY(g_capture.Take(nFadeFrames));
    const uint64_t nAfterTake = g_capture.GetVideoFramesEncoded();
    QTRY_VERIFY_WITH_TIMEOUT(g_capture.GetVideoFramesEncoded() >= nAfterTake + nFadeFrames + 10, 60000);
    g_capture.StopRecord();

    const std::vector<double> vecMeans = ReadRecordedMeanV(strPath);
    QVERIFY(vecMeans.size() >= size_t(nFadeFrames + 20));
    const double dFirst = vecMeans[5];
    const double dSecond = vecMeans.back();
    QVERIFY2(qAbs(dSecond - dFirst) > 4, qPrintable(QStringLiteral("%1 and %2").arg(dFirst).arg(dSecond)));
    const std::vector<double> vecAfterStart(vecMeans.begin() + 5, vecMeans.end());
    const QString strProblem = CheckBlends(vecAfterStart, dFirst, dSecond, nFadeFrames / 2);
    QVERIFY2(strProblem.isEmpty(), qPrintable(strProblem));
}

QTEST_MAIN(TestEngineStudio)
#include "tst_engine_studio.moc"
