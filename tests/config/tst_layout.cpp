// The layout file reader and the rectangle arithmetic, on files written here.
#include "config/CLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

class TestLayout : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    int m_nFiles = 0;

    // Each fixture gets a file of its own: the INI reader caches by path.
    QString WriteFixture(const QString& strText)
    {
        const QString strDir = m_tmp.path() + QString("/app%1").arg(m_nFiles++);
        QDir().mkpath(strDir);
        QString strPath = strDir + "/vtlayout.ini";
        QFile file(strPath);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        QTextCodec* pCodec = QTextCodec::codecForName("GB2312");
        file.write(pCodec ? pCodec->fromUnicode(strText) : strText.toUtf8());
        return strPath;
    }

    static QRect Rect(const CLayout& layout, int nLayout, int nPosition, int nWidth, int nHeight)
    {
        QRect rect(-7, -7, 7, 7);
        if (!layout.GetPositionRect(nLayout, nPosition, nWidth, nHeight, rect))
            return QRect(-1, -1, -1, -1);
        return rect;
    }

private slots:
    void missingFile()
    {
        CLayout layout;
        QVERIFY(layout.Load(WriteFixture("[layout]\ncount=1\n[layout0]\nvideo=0\n")));
        QVERIFY(!layout.Load(m_tmp.path() + "/nowhere/vtlayout.ini"));
        QVERIFY(!layout.Load(m_tmp.path())); // a folder is not a layout file
        QCOMPARE(layout.GetLayoutCount(), 1);
    }

    void absentKeys()
    {
        CLayout layout;
        QVERIFY(layout.Load(WriteFixture("[logo]\ncount=2\n[logo0]\nfile=a.png\nname=A\n"
                                         "[font]\ncount=1\n[font0]\nname=DejaVu Sans\n")));
        QCOMPARE(layout.GetLayoutCount(), 0);
        QCOMPARE(layout.GetLogoCount(), 2);
        QCOMPARE(layout.GetLogoName(0), QString("A"));
        QCOMPARE(layout.GetLogoFile(1), QString()); // absent logo keys are empty
        QCOMPARE(layout.GetFontCount(), 1);

        CLayout other;
        QVERIFY(other.Load(WriteFixture("; nothing but a comment\n[layout]\ncount=abc\n")));
        QCOMPARE(other.GetLayoutCount(), 0);
        QCOMPARE(other.GetLogoCount(), 0);
        QCOMPARE(other.GetFontCount(), 0);
        QCOMPARE(other.GetFontName(0), QString());
        QRect rect(1, 2, 3, 4);
        QVERIFY(!other.GetPositionRect(0, 0, 1920, 1080, rect));
        QCOMPARE(rect, QRect(1, 2, 3, 4));

        // Absent texts read as "0"; no postype means canvas pixels.
        CLayout defaults;
        QVERIFY(defaults.Load(WriteFixture("[layout]\ncount=1\n[layout0]\nvideo=1\npos0=640,360,640,360\n"
                                           "[bar0]\nsize=1280,720\n")));
        QCOMPARE(defaults.GetName(0), QString("0"));
        QCOMPARE(defaults.GetThumbnail(0), QString("0"));
        QCOMPARE(Rect(defaults, 0, 0, 1920, 1080), QRect(960, 540, 960, 540));
    }

    void chineseNames()
    {
        const QString strName = QString::fromUtf8("\xe7\x94\xbb\xe4\xb8\xad\xe7\x94\xbb"); // picture in picture
        const QString strLogo = QString::fromUtf8("\xe5\x8f\xb0\xe6\xa0\x87");             // station mark
        const QString strFont = QString::fromUtf8("\xe5\xae\x8b\xe4\xbd\x93");
        if (!QTextCodec::codecForName("GB2312"))
            QSKIP("no GB2312 codec in this Qt build");
        CLayout layout;
        QVERIFY(layout.Load(WriteFixture(QString("[layout]\ncount=1\n[layout0]\nname=%1\npostype=2\nvideo=0\n"
                                                 "[logo]\ncount=1\n[logo0]\nname=%2\nfile=x.png\n"
                                                 "[font]\ncount=1\n[font0]\nname=%3\n")
                                             .arg(strName, strLogo, strFont))));
        QCOMPARE(layout.GetName(0), strName);
        QCOMPARE(layout.GetLogoName(0), strLogo);
        QCOMPARE(layout.GetFontName(0), strFont);
    }

    void relativeRects_data()
    {
        QTest::addColumn<int>("nWidth");
        QTest::addColumn<int>("nHeight");
        QTest::addColumn<QRect>("pos");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("half") << 1920 << 1080 << QRect(0, 0, 50, 50) << QRect(0, 0, 960, 540);
        QTest::newRow("third") << 1920 << 1080 << QRect(33, 0, 33, 33) << QRect(640, 0, 640, 360);
        QTest::newRow("two thirds") << 1920 << 1080 << QRect(66, 66, 33, 33) << QRect(1280, 720, 640, 360);
        QTest::newRow("whole") << 1920 << 1080 << QRect(0, 0, 99, 99) << QRect(0, 0, 1920, 1080);
        QTest::newRow("per-mille") << 1920 << 1080 << QRect(250, 0, 500, 1000) << QRect(480, 0, 960, 1080);
        QTest::newRow("made even") << 1366 << 768 << QRect(33, 33, 33, 33) << QRect(456, 256, 456, 256);
        // 54 + 1080 reaches below the output, which cuts it to 1026.
        QTest::newRow("percent") << 1920 << 1080 << QRect(10, 5, 25, 100) << QRect(192, 54, 480, 1026);
        // -19 is odd and moves up to -18; what lies left of the output is cut off.
        QTest::newRow("negative") << 1920 << 1080 << QRect(-1, 0, 1, 1) << QRect(0, 0, 2, 10);
    }

    void relativeRects()
    {
        QFETCH(int, nWidth);
        QFETCH(int, nHeight);
        QFETCH(QRect, pos);
        QFETCH(QRect, expected);
        CLayout layout;
        QVERIFY(layout.Load(WriteFixture(QString("[layout]\ncount=1\n[layout0]\npostype=2\nvideo=1\n"
                                                 "pos0=%1, %2, %3, %4\n")
                                             .arg(pos.x())
                                             .arg(pos.y())
                                             .arg(pos.width())
                                             .arg(pos.height()))));
        QCOMPARE(Rect(layout, 0, 0, nWidth, nHeight), expected);
    }

    void scalePercent()
    {
        QCOMPARE(CLayout::ScalePercent(1920, 33), 640); // not 633
        QCOMPARE(CLayout::ScalePercent(1920, 66), 1280);
        QCOMPARE(CLayout::ScalePercent(1366, 99), 1366);
        QCOMPARE(CLayout::ScalePercent(1920, 100), 1920);
        QCOMPARE(CLayout::ScalePercent(1920, 101), 193);
        QCOMPARE(CLayout::ScalePercent(1920, 500), 960);
        QCOMPARE(CLayout::ScalePercent(1920, 1000), 1920);
        QCOMPARE(CLayout::ScalePercent(1919, 50), 959);
        // Values that overflow 32 bits are clamped, not undefined.
        QCOMPARE(CLayout::ScalePercent(1920, 2000000000), std::numeric_limits<int>::max());
    }

    void canvasRects()
    {
        CLayout layout;
        QVERIFY(
            layout.Load(WriteFixture("[layout]\ncount=5\n"
                                     "[layout0]\npostype=1\nvideo=2\npos0=640, 360, 640, 360\npos1=960,540,960,540\n"
                                     "[bar0]\nsize=1280, 720\n"
                                     "[layout1]\nvideo=1\npos0=960, 540, 960, 540\n[bar1]\nsize=1920,1080\n"
                                     "[layout2]\nvideo=1\npos0=0,0,10,10\n[bar2]\nsize=0,720\n"
                                     "[layout3]\nvideo=2\npos0=0,0,10,10\npos1=1,2\n[bar3]\nsize=100\n"
                                     "[layout4]\npostype=3\nvideo=1\npos0=0,0,10,10\n")));
        QCOMPARE(layout.GetLayoutCount(), 5);
        QCOMPARE(Rect(layout, 0, 0, 1920, 1080), QRect(960, 540, 960, 540));
        // 1366 / 1920 in single precision is a hair below the exact ratio.
        QCOMPARE(Rect(layout, 1, 0, 1366, 768), QRect(682, 384, 682, 384));
        // Canvas of zero width and a one-item canvas size: no rectangle.
        QCOMPARE(Rect(layout, 2, 0, 1920, 1080), QRect(-1, -1, -1, -1));
        QCOMPARE(Rect(layout, 3, 0, 1920, 1080), QRect(-1, -1, -1, -1));
        // Unknown position type: nothing to compute.
        QCOMPARE(Rect(layout, 4, 0, 1920, 1080), QRect(-1, -1, -1, -1));
        QCOMPARE(layout.GetPositionCount(4), 1);
    }

    // Values near the ends of the 32-bit range must neither overflow (the
    // sanitizer build aborts on that) nor reach past the output picture.
    void outOfRangeRectsAreCutToTheOutput_data()
    {
        QTest::addColumn<QString>("strLayout");
        QTest::addColumn<QString>("strPos");
        QTest::addColumn<QRect>("expected");
        const QString strRelative = "postype=2";
        const QString strCanvas = "postype=1";
        QTest::newRow("relative, all INT_MAX")
            << strRelative << "2147483647,2147483647,2147483647,2147483647" << QRect();
        QTest::newRow("relative, INT_MIN corner")
            << strRelative << "-2147483648,-2147483648,2147483647,2147483647" << QRect();
        QTest::newRow("relative, from the centre on")
            << strRelative << "50,50,2147483647,2147483647" << QRect(960, 540, 960, 540);
        QTest::newRow("relative, left of the output") << strRelative << "-50,-50,1000,1000" << QRect(0, 0, 960, 540);
        QTest::newRow("relative, negative size") << strRelative << "0,0,-50,50" << QRect();
        QTest::newRow("canvas, all INT_MAX") << strCanvas << "2147483647,2147483647,2147483647,2147483647" << QRect();
        QTest::newRow("canvas, INT_MIN corner")
            << strCanvas << "-2147483648,-2147483648,2147483647,2147483647" << QRect();
        QTest::newRow("canvas, huge size") << strCanvas << "0,0,2147483647,2147483647" << QRect(0, 0, 1920, 1080);
        QTest::newRow("canvas, straddling the left edge") << strCanvas << "-1,0,2,1" << QRect(0, 0, 1920, 1080);
    }

    void outOfRangeRectsAreCutToTheOutput()
    {
        QFETCH(QString, strLayout);
        QFETCH(QString, strPos);
        QFETCH(QRect, expected);
        // A one-pixel canvas multiplies every canvas value by the output size.
        CLayout layout;
        QVERIFY(layout.Load(WriteFixture(QString("[layout]\ncount=1\n[layout0]\n%1\nvideo=1\npos0=%2\n"
                                                 "[bar0]\nsize=1,1\n")
                                             .arg(strLayout, strPos))));
        const QRect rect = Rect(layout, 0, 0, 1920, 1080);
        QCOMPARE(rect, expected);
        QVERIFY(rect.isNull() || QRect(0, 0, 1920, 1080).contains(rect));
    }

    void badIndices()
    {
        CLayout layout;
        QVERIFY(layout.Load(WriteFixture("[layout]\ncount=2\n[layout0]\nname=A\nthumbnail=a.png\npostype=2\nvideo=2\n"
                                         "pos0=0,0,50,50\npos1=10,20\n"
                                         "[layout1]\nname=B\npostype=2\nvideo=1\npos0=x,1,2,3\n"
                                         "[logo]\ncount=1\n[logo0]\nname=L\nfile=l.png\n"
                                         "[font]\ncount=2\n[font0]\nname=F0\n[font1]\nname=F1\n")));
        // A short position list fills with zeros: a position of no size.
        QCOMPARE(Rect(layout, 0, 1, 1000, 1000), QRect());
        QCOMPARE(Rect(layout, 1, 0, 100, 100), QRect(0, 2, 2, 4));

        for (int nBad : {-1, 2})
        {
            QCOMPARE(Rect(layout, nBad, 0, 1920, 1080), QRect(-1, -1, -1, -1));
            QCOMPARE(layout.GetName(nBad), QString());
            QCOMPARE(layout.GetThumbnail(nBad), QString());
            QCOMPARE(layout.GetPositionCount(nBad), 0);
            QCOMPARE(layout.GetThumbnailPath(nBad), QString());
        }
        QCOMPARE(Rect(layout, 0, 2, 1920, 1080), QRect(-1, -1, -1, -1));
        QCOMPARE(Rect(layout, 0, -1, 1920, 1080), QRect(-1, -1, -1, -1));
        QCOMPARE(layout.GetLogoName(1), QString());
        QCOMPARE(layout.GetLogoFile(-1), QString());
        QCOMPARE(layout.GetLogoPath(1), QString());
        QCOMPARE(layout.GetFontName(1), QString("F1"));
        QCOMPARE(layout.GetFontName(2), QString("F0"));
        QCOMPARE(layout.GetFontName(-1), QString("F0"));

        // Data files lie in the vtlayout folder beside the file that was read.
        const QString strDir = QFileInfo(m_tmp.path() + QString("/app%1").arg(m_nFiles - 1)).absoluteFilePath();
        QCOMPARE(layout.GetThumbnailPath(0), QDir::toNativeSeparators(strDir + "/vtlayout/a.png"));
        QCOMPARE(layout.GetLogoPath(0), QDir::toNativeSeparators(strDir + "/vtlayout/l.png"));
    }

    void appendAndRelease()
    {
        const QString strPath = WriteFixture("[layout]\ncount=1\n[layout0]\nname=\"One, Two\"\npostype=2\nvideo=1\n"
                                             "pos0=0,0,99,99\n[logo]\ncount=1\n[logo0]\nname=L\n"
                                             "[font]\ncount=1\n[font0]\nname=F\n");
        CLayout layout;
        QVERIFY(layout.Load(strPath));
        QVERIFY(layout.Load(strPath));
        QCOMPARE(layout.GetLayoutCount(), 2);
        QCOMPARE(layout.GetName(1), QString("One, Two"));
        layout.ReleaseLayouts();
        QCOMPARE(layout.GetLayoutCount(), 0);
        QCOMPARE(layout.GetLogoCount(), 2);
        QCOMPARE(layout.GetFontCount(), 2);

        // An unquoted comma still gives the whole name back.
        CLayout unquoted;
        QVERIFY(unquoted.Load(WriteFixture("[layout]\ncount=1\n[layout0]\nname=One, Two\nvideo=0\n")));
        QCOMPARE(unquoted.GetName(0), QString("One, Two"));
    }

    void absurdCounts()
    {
        CLayout layout;
        QVERIFY(layout.Load(WriteFixture("[layout]\ncount=2000000000\n[layout0]\nvideo=2000000000\n"
                                         "[logo]\ncount=-5\n[font]\ncount=99999999\n")));
        QVERIFY(layout.GetLayoutCount() <= 1024);
        QVERIFY(layout.GetPositionCount(0) <= 1024);
        QCOMPARE(layout.GetLogoCount(), 0);
        QVERIFY(layout.GetFontCount() <= 1024);
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
