// The layout file, thumbnails and logos that ship beside the executable.
#include "config/CLayout.h"
#include "config/OptionTables.h"

#include <QFileInfo>
#include <QImage>
#include <QtTest>

#include <set>

class TestShipped : public QObject
{
    Q_OBJECT

private:
    CLayout m_layout;

private slots:
    void initTestCase() { QVERIFY2(m_layout.Load(), qPrintable(CLayout::GetDefaultPath())); }

    // The Device tab picks layout 0, 1, 3, 5 or 6 on a first run by the number
    // of devices; each must hold at least that many positions.
    void firstRunChoices()
    {
        QVERIFY(m_layout.GetLayoutCount() >= 7);
        QCOMPARE(m_layout.GetPositionCount(0), 1);
        QCOMPARE(m_layout.GetPositionCount(1), 2);
        QCOMPARE(m_layout.GetPositionCount(2), 2);
        QCOMPARE(m_layout.GetPositionCount(3), 3);
        QCOMPARE(m_layout.GetPositionCount(5), 4);
        QCOMPARE(m_layout.GetPositionCount(6), 6);

        QRect rectFull;
        QVERIFY(m_layout.GetPositionRect(0, 0, 1920, 1080, rectFull));
        QCOMPARE(rectFull, QRect(0, 0, 1920, 1080));
    }

    // In layouts 1 and 2 position 1 is an inset over position 0, which
    // starts at the left edge; the inset itself must not.
    void insetLayouts()
    {
        for (int nLayout : {1, 2})
        {
            QRect rectMain, rectInset;
            QVERIFY(m_layout.GetPositionRect(nLayout, 0, 1920, 1080, rectMain));
            QVERIFY(m_layout.GetPositionRect(nLayout, 1, 1920, 1080, rectInset));
            QCOMPARE(rectMain.x(), 0);
            QVERIFY(rectInset.x() > 0);
            QVERIFY(rectMain.contains(rectInset));
            QVERIFY(rectInset.width() * 2 < rectMain.width());
        }
    }

    void everyRectInsideEveryOutput()
    {
        std::set<int> nTypesSeen;
        for (int nSize = 0; nSize < GetVideoSizeCount(); ++nSize)
        {
            const int nWidth = GetVideoWidth(nSize);
            const int nHeight = GetVideoHeight(nSize);
            const QRect rectOutput(0, 0, nWidth, nHeight);
            for (int i = 0; i < m_layout.GetLayoutCount(); ++i)
            {
                QVERIFY(m_layout.GetPositionCount(i) >= 1 && m_layout.GetPositionCount(i) <= 6);
                for (int j = 0; j < m_layout.GetPositionCount(i); ++j)
                {
                    QRect rect;
                    const QString strWhere =
                        QString("layout %1 position %2 at %3x%4").arg(i).arg(j).arg(nWidth).arg(nHeight);
                    QVERIFY2(m_layout.GetPositionRect(i, j, nWidth, nHeight, rect), qPrintable(strWhere));
                    QVERIFY2(rect.width() >= 16 && rect.height() >= 16, qPrintable(strWhere));
                    QVERIFY2(rectOutput.contains(rect), qPrintable(strWhere));
                }
            }
        }
    }

    void namesAndThumbnails()
    {
        QStringList astrNames;
        for (int i = 0; i < m_layout.GetLayoutCount(); ++i)
        {
            const QString strName = m_layout.GetName(i);
            QVERIFY(!strName.isEmpty() && strName != "0");
            QVERIFY2(!astrNames.contains(strName), qPrintable(strName));
            astrNames << strName;
            const QImage image(m_layout.GetThumbnailPath(i));
            QVERIFY2(!image.isNull(), qPrintable(m_layout.GetThumbnailPath(i)));
        }
    }

    void logos()
    {
        QVERIFY(m_layout.GetLogoCount() >= 3);
        for (int k = 0; k < m_layout.GetLogoCount(); ++k)
        {
            QVERIFY(!m_layout.GetLogoName(k).isEmpty());
            const QImage image(m_layout.GetLogoPath(k));
            QVERIFY2(!image.isNull(), qPrintable(m_layout.GetLogoPath(k)));
            QVERIFY(image.hasAlphaChannel());
            // Transparent corners and a clearly visible mark somewhere.
            const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(qAlpha(argb.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(argb.pixel(argb.width() - 1, argb.height() - 1)), 0);
            bool bVisible = false;
            for (int y = 0; y < argb.height() && !bVisible; ++y)
                for (int x = 0; x < argb.width() && !bVisible; ++x)
                    bVisible = qAlpha(argb.pixel(x, y)) >= 200;
            QVERIFY(bVisible);
        }
    }

    void fonts()
    {
        QVERIFY(m_layout.GetFontCount() >= 2);
        bool bChinese = false;
        for (int k = 0; k < m_layout.GetFontCount(); ++k)
        {
            QVERIFY(!m_layout.GetFontName(k).isEmpty());
            bChinese = bChinese || m_layout.GetFontName(k).contains("CJK");
        }
        QVERIFY(bChinese);
    }
};

QTEST_GUILESS_MAIN(TestShipped)
#include "tst_shipped.moc"
