#include "media/audio/AudioLevel.h"
#include "media/audio/ToneGenerator.h"

#include <QtTest>

#include <cmath>

using namespace KVMedia;

class CTestAudioLevel : public QObject
{
    Q_OBJECT

private slots:
    void dbfsMapping_data()
    {
        QTest::addColumn<double>("dDbfs");
        QTest::addColumn<int>("nLevel");
        QTest::newRow("floor") << -60.0 << 0;
        QTest::newRow("below floor") << -75.0 << 0;
        QTest::newRow("silence") << -HUGE_VAL << 0;
        QTest::newRow("nan") << double(NAN) << 0;
        QTest::newRow("middle") << -30.0 << 50;
        QTest::newRow("near floor") << -59.4 << 1;
        QTest::newRow("full scale") << 0.0 << 100;
        QTest::newRow("over full scale") << 3.0 << 100;
    }

    void dbfsMapping()
    {
        QFETCH(double, dDbfs);
        QFETCH(int, nLevel);
        QCOMPARE(LevelFromDbfs(dDbfs), nLevel);
    }

    void blockLevels()
    {
        // Silence, an empty block and a full-scale square wave: the ends of
        // the scale.
        std::vector<int16_t> vecBlock(2048, 0);
        QCOMPARE(LevelFromS16(vecBlock.data(), vecBlock.size()), 0);
        QCOMPARE(LevelFromS16(vecBlock.data(), 0), 0);
        for (size_t i = 0; i < vecBlock.size(); ++i)
            vecBlock[i] = (i / 2) % 2 ? int16_t(-32768) : int16_t(32767);
        QCOMPARE(LevelFromS16(vecBlock.data(), vecBlock.size()), 100);

        // A constant at -30 dBFS reads the middle of the scale; one at
        // -70 dBFS (still non-zero samples) reads nothing.
        std::fill(vecBlock.begin(), vecBlock.end(), int16_t(std::lround(32768 * std::pow(10.0, -30 / 20.0))));
        QCOMPARE(LevelFromS16(vecBlock.data(), vecBlock.size()), 50);
        std::fill(vecBlock.begin(), vecBlock.end(), int16_t(10));
        QCOMPARE(LevelFromS16(vecBlock.data(), vecBlock.size()), 0);
    }

    void toneLevelAndContinuity()
    {
        CToneGenerator tone;
        std::vector<int16_t> vecA(2048), vecB(2048);
        tone.Fill(vecA.data(), 1024);
        tone.Fill(vecB.data(), 1024);

        // -12 dBFS peak sine: RMS -15 dBFS, level 75, both channels alike.
        QVERIFY(std::abs(RmsDbfsFromS16(vecA.data(), vecA.size()) + 15.05) < 0.1);
        QCOMPARE(LevelFromS16(vecA.data(), vecA.size()), 75);
        int nPeak = 0;
        for (size_t i = 0; i < vecA.size(); i += 2)
        {
            QCOMPARE(vecA[i], vecA[i + 1]);
            nPeak = std::max(nPeak, std::abs(int(vecA[i])));
        }
        QVERIFY(std::abs(nPeak - 8230) <= 2);

        // The second block continues the first: 1024 = 21 periods of 48
        // plus 16 samples, so it starts where sample 16 of a period is.
        CToneGenerator fresh;
        std::vector<int16_t> vecRef(2 * 1040);
        fresh.Fill(vecRef.data(), 1040);
        QCOMPARE(vecB[0], vecRef[2 * 1024]);
        QCOMPARE(vecB[2 * 15], vecRef[2 * 1039]);
    }
};

QTEST_APPLESS_MAIN(CTestAudioLevel)
#include "tst_audio_level.moc"
