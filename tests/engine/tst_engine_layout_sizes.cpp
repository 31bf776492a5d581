// Every shipped layout at every kind of output size, through the real media
// layer: rectangles that come out odd, outputs taller or wider than the
// cameras. Each channel must be captured at its rectangle's size and show
// its camera's picture there, never the black background.
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "TestFrameSink.h"
#include "TestRenderTarget.h"

#include <QDeadlineTimer>
#include <QtTest>

namespace
{
const int DURATION_25 = 400000;
const KVS_WINDOW PREVIEW_WINDOW = 0x6e0001;
const KVS_WINDOW CHANNEL_WINDOW = 0x6e0002;
const int CHANNELS = 6;

bool IsBackground(const SYuyvPicture& out, int x, int y)
{
    return out.Y(x, y) == 16 && out.U(x, y) == 128 && out.V(x, y) == 128;
}

// Points inside rc that no rectangle drawn above it covers; they lie
// away from the edges and from the frame counter each camera draws at the
// bottom of its picture, which is black.
QVector<QPoint> SamplePoints(const QRect& rc, const QVector<QRect>& vecAbove)
{
    QVector<QPoint> vecPoints;
    for (int i = 1; i <= 5; ++i)
        for (int j = 1; j <= 5; ++j)
        {
            const QPoint pt(rc.x() + rc.width() * (10 + 10 * i) / 100, rc.y() + rc.height() * (5 + 10 * j) / 100);
            bool bCovered = false;
            for (const QRect& rcAbove : vecAbove)
                bCovered = bCovered || rcAbove.contains(pt);
            if (!bCovered)
                vecPoints << pt;
        }
    return vecPoints;
}
}

class TestEngineLayoutSizes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void everyLayoutAtEveryOutputSize_data();
    void everyLayoutAtEveryOutputSize();
    void outputLargerThanTheCameras();

private:
    void StartEngine(const QByteArray& baDevices, int nWidth, int nHeight, int nChannels);
    // Places every position of nLayout as the Device tab does and waits for a
    // composed frame showing every channel in its rectangle.
    void CheckLayout(int nLayout, int nWidth, int nHeight, int nChannels);

    CTestRenderTarget* m_pPreview = nullptr;
    CTestRenderTarget* m_pChannelWindow = nullptr;
    CTestFrameSink* m_pSink = nullptr;
};

void TestEngineLayoutSizes::initTestCase()
{
    QVERIFY2(g_layout.Load(), "vtlayout.ini must lie beside the test");
    QVERIFY(g_layout.GetLayoutCount() >= 11);
}

void TestEngineLayoutSizes::cleanup()
{
    g_capture.Uninit();
    delete m_pSink;
    m_pSink = nullptr;
    delete m_pChannelWindow;
    m_pChannelWindow = nullptr;
    delete m_pPreview;
    m_pPreview = nullptr;
}

void TestEngineLayoutSizes::StartEngine(const QByteArray& baDevices, int nWidth, int nHeight, int nChannels)
{
    qputenv("VISTREL_VIRTUAL_VIDEO", baDevices);
    QVERIFY(g_capture.Init());
    m_pPreview = new CTestRenderTarget(PREVIEW_WINDOW, 320, 240);
    m_pChannelWindow = new CTestRenderTarget(CHANNEL_WINDOW, 160, 120);
    m_pSink = new CTestFrameSink();
    QVERIFY(g_capture.CreateMixer(nWidth, nHeight, DURATION_25, PREVIEW_WINDOW));
    for (int nChannel = 0; nChannel < nChannels; ++nChannel)
        QVERIFY(g_capture.OpenChannel(nChannel, nChannel, CHANNEL_WINDOW));
}

void TestEngineLayoutSizes::CheckLayout(int nLayout, int nWidth, int nHeight, int nChannels)
{
    const QString strWhere =
        QStringLiteral("layout %1 (%2) at %3x%4").arg(nLayout).arg(g_layout.GetName(nLayout)).arg(nWidth).arg(nHeight);
    for (int nChannel = 0; nChannel < CHANNELS; ++nChannel)
        g_capture.RemoveMixerChannel(nChannel);

    const int nPositions = std::min(g_layout.GetPositionCount(nLayout), nChannels);
    QVector<QRect> vecRects;
    for (int nPosition = 0; nPosition < nPositions; ++nPosition)
    {
        QRect rc;
        QVERIFY2(g_layout.GetPositionRect(nLayout, nPosition, nWidth, nHeight, rc), qPrintable(strWhere));
        vecRects << rc;
        const int bInset = (nLayout == 1 || nLayout == 2) && nPosition == 1 ? 1 : 0;
        g_capture.PlaceChannel(nPosition, rc.x(), rc.y(), rc.width(), rc.height(), 255, bInset);
        QVERIFY2(g_capture.IsChannelPlaced(nPosition),
                 qPrintable(QStringLiteral("%1: position %2 not placed").arg(strWhere).arg(nPosition)));
        const CKVChannel* pChannel = g_capture.GetChannel(nPosition);
        QVERIFY(pChannel->IsStarted());
        QCOMPARE(QSize(pChannel->GetWidth(), pChannel->GetHeight()), rc.size());
    }

    // The mixer draws the positions in order, the inset over all of them.
    auto drawnAbove = [nLayout](int j, int i) {
        const bool bInsetLayout = nLayout == 1 || nLayout == 2;
        if (bInsetLayout && (i == 1 || j == 1))
            return j == 1;
        return j > i;
    };
    QVector<QVector<QPoint>> vecSamples;
    for (int i = 0; i < vecRects.size(); ++i)
    {
        QVector<QRect> vecAbove;
        for (int j = 0; j < vecRects.size(); ++j)
            if (j != i && drawnAbove(j, i))
                vecAbove << vecRects[j];
        vecSamples << SamplePoints(vecRects[i], vecAbove);
        QVERIFY2(!vecSamples.last().isEmpty(), qPrintable(strWhere));
    }
    // The first position whose samples are not all the camera's picture.
    auto firstMissing = [&](const SYuyvPicture& out) {
        if (out.nWidth != nWidth || out.nHeight != nHeight)
            return 0;
        for (int i = 0; i < vecSamples.size(); ++i)
            for (const QPoint& pt : vecSamples[i])
                if (IsBackground(out, pt.x(), pt.y()))
                    return i;
        return -1;
    };
    int nMissing = 0;
    m_pSink->WaitForFrame(
        [&](const SYuyvPicture& out) {
            nMissing = firstMissing(out);
            return nMissing < 0;
        },
        30000);
    QVERIFY2(nMissing < 0, qPrintable(QStringLiteral("%1: position %2 shows black").arg(strWhere).arg(nMissing)));
}

void TestEngineLayoutSizes::everyLayoutAtEveryOutputSize_data()
{
    QTest::addColumn<QSize>("size");
    for (const QSize& size : {QSize(800, 600), QSize(1024, 768), QSize(640, 480), QSize(1368, 768), QSize(352, 288),
                              QSize(1280, 720), QSize(1920, 1080), QSize(1600, 1200)})
        QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()))) << size;
}

void TestEngineLayoutSizes::everyLayoutAtEveryOutputSize()
{
    QFETCH(QSize, size);
    // Cameras of 1920x1080: the 1600x1200 output is taller than any of them.
    StartEngine("6", size.width(), size.height(), CHANNELS);
    for (int nLayout = 0; nLayout < g_layout.GetLayoutCount(); ++nLayout)
    {
        CheckLayout(nLayout, size.width(), size.height(), CHANNELS);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestEngineLayoutSizes::outputLargerThanTheCameras()
{
    StartEngine("A|2|1280x720;B|2|1280x720", 1920, 1080, 2);
    for (int nLayout : {0, 1, 2, 4})
    {
        CheckLayout(nLayout, 1920, 1080, 2);
        if (QTest::currentTestFailed())
            return;
    }
}

QTEST_MAIN(TestEngineLayoutSizes)
#include "tst_engine_layout_sizes.moc"
