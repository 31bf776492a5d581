#include "CLayout.h"

#include "ListRecord.h"
#include "Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTextCodec>

#include <cmath>
#include <cstdint>
#include <limits>

namespace
{
// Far more than any sensible file holds; a mistyped count must not make
// start-up read (or allocate) for ever.
const int s_nMaxEntries = 1024;

int ReadCount(const QSettings& ini, const QString& strKey)
{
    const int nCount = ListRecord::ToInt(ListRecord::ToText(ini.value(strKey, 0)));
    return qBound(0, nCount, s_nMaxEntries);
}

// A text value that happens to contain a comma comes back from the INI
// reader as a list; put it back together instead of losing it.
QString ReadText(const QSettings& ini, const QString& strKey, const QVariant& vDefault)
{
    const QVariant vValue = ini.value(strKey, vDefault);
    if (vValue.type() == QVariant::StringList)
        return vValue.toStringList().join(QStringLiteral(", "));
    return vValue.toString();
}

// Item nIndex of a comma-separated list; 0 when it is missing or not a number.
int ListItem(const QStringList& astrItems, int nIndex)
{
    return nIndex < astrItems.size() ? ListRecord::ToInt(astrItems[nIndex]) : 0;
}

QStringList ReadList(const QSettings& ini, const QString& strKey)
{
    const QVariant vValue = ini.value(strKey);
    if (vValue.type() == QVariant::StringList)
        return vValue.toStringList();
    const QString strValue = vValue.toString();
    return strValue.isEmpty() ? QStringList() : strValue.split(QLatin1Char(','));
}

int ClampToInt(int64_t nValue)
{
    return int(qBound<int64_t>(std::numeric_limits<int>::min(), nValue, std::numeric_limits<int>::max()));
}

int ClampToInt(double dValue)
{
    const double dTruncated = std::trunc(dValue);
    if (dTruncated <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (dTruncated >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(dTruncated);
}

// The mixer works on YUYV pixel pairs, so relative rectangles are kept even.
int EvenUp(int nValue)
{
    if (nValue % 2 == 0)
        return nValue;
    return nValue == std::numeric_limits<int>::max() ? nValue - 1 : nValue + 1;
}
}

CLayout::CLayout() = default;

CLayout::~CLayout() = default;

QString CLayout::GetDefaultPath()
{
    return QDir::toNativeSeparators(Platform::GetExecutableDir() + QStringLiteral("/vtlayout.ini"));
}

bool CLayout::Load(const QString& strPath)
{
    const QString strFile = strPath.isEmpty() ? GetDefaultPath() : strPath;
    const QFileInfo fileInfo(strFile);
    if (!fileInfo.isFile())
    {
        Platform::DebugOutput(QStringLiteral("Layout file not found: %1").arg(strFile));
        return false;
    }
    m_strDataDir = fileInfo.absolutePath() + QStringLiteral("/vtlayout");

    QSettings ini(strFile, QSettings::IniFormat);
    if (QTextCodec* pCodec = QTextCodec::codecForName("GB2312"))
        ini.setIniCodec(pCodec);
    else
        Platform::DebugOutput(QStringLiteral("No GB2312 codec; layout names are read as UTF-8"));

    const int nLayouts = ReadCount(ini, QStringLiteral("/layout/count"));
    for (int i = 0; i < nLayouts; ++i)
    {
        const QString strSection = QStringLiteral("/layout%1/").arg(i);
        LayoutEntry entry;
        const int nVideo = ReadCount(ini, strSection + QStringLiteral("video"));
        entry.strThumbnail = ReadText(ini, strSection + QStringLiteral("thumbnail"), 0);
        entry.strName = ReadText(ini, strSection + QStringLiteral("name"), 0);
        entry.strFile = ReadText(ini, strSection + QStringLiteral("file"), 0);
        ini.value(strSection + QStringLiteral("show"), 0);    // present in the file, no behaviour of its own
        entry.nPosType = ListRecord::ToInt(ReadText(ini, strSection + QStringLiteral("postype"), 1));
        if (entry.nPosType == POSTYPE_PIXELS)
        {
            const QStringList astrBar = ReadList(ini, QStringLiteral("/bar%1/size").arg(i));
            entry.nBarWidth = ListItem(astrBar, 0);
            entry.nBarHeight = ListItem(astrBar, 1);
        }
        for (int j = 0; j < nVideo; ++j)
        {
            const QStringList astrPos = ReadList(ini, strSection + QStringLiteral("pos%1").arg(j));
            LayoutPosition position;
            position.nX = ListItem(astrPos, 0);
            position.nY = ListItem(astrPos, 1);
            position.nWidth = ListItem(astrPos, 2);
            position.nHeight = ListItem(astrPos, 3);
            entry.aPositions.push_back(position);
        }
        m_aLayouts.push_back(entry);
    }

    const int nLogos = ReadCount(ini, QStringLiteral("/logo/count"));
    for (int k = 0; k < nLogos; ++k)
    {
        LayoutEntry entry;
        entry.strFile = ReadText(ini, QStringLiteral("/logo%1/file").arg(k), QString());
        entry.strName = ReadText(ini, QStringLiteral("/logo%1/name").arg(k), QString());
        m_aLogos.push_back(entry);
    }

    const int nFonts = ReadCount(ini, QStringLiteral("/font/count"));
    for (int k = 0; k < nFonts; ++k)
        m_astrFonts << ReadText(ini, QStringLiteral("/font%1/name").arg(k), QString());
    return true;
}

void CLayout::ReleaseLayouts()
{
    m_aLayouts.clear();
}

const LayoutEntry* CLayout::FindLayout(int nLayout) const
{
    if (nLayout < 0 || size_t(nLayout) >= m_aLayouts.size())
        return nullptr;
    return &m_aLayouts[size_t(nLayout)];
}

int CLayout::GetLayoutCount() const
{
    return int(m_aLayouts.size());
}

QString CLayout::GetThumbnail(int nLayout) const
{
    const LayoutEntry* pEntry = FindLayout(nLayout);
    return pEntry ? pEntry->strThumbnail : QString();
}

QString CLayout::GetName(int nLayout) const
{
    const LayoutEntry* pEntry = FindLayout(nLayout);
    return pEntry ? pEntry->strName : QString();
}

int CLayout::GetPositionCount(int nLayout) const
{
    const LayoutEntry* pEntry = FindLayout(nLayout);
    return pEntry ? int(pEntry->aPositions.size()) : 0;
}

int CLayout::ScalePercent(int nTotal, int nValue)
{
    const int64_t nT = nTotal;
    if (nValue > 100)
        return ClampToInt(nT * nValue / 1000);
    if (nValue == 33)
        return nTotal / 3;
    if (nValue == 66)
        return ClampToInt(nT * 2 / 3);
    if (nValue == 99)
        return nTotal;
    return ClampToInt(nT * nValue / 100);
}

bool CLayout::GetPositionRect(int nLayout, int nPosition, int nWidth, int nHeight, QRect& rect) const
{
    const LayoutEntry* pEntry = FindLayout(nLayout);
    if (!pEntry || nPosition < 0 || size_t(nPosition) >= pEntry->aPositions.size())
        return false;
    const LayoutPosition& pos = pEntry->aPositions[size_t(nPosition)];

    if (pEntry->nPosType == POSTYPE_PIXELS)
    {
        if (pEntry->nBarWidth <= 0 || pEntry->nBarHeight <= 0)
            return false;
        // The factors are deliberately single precision: stored layouts were
        // tuned against exactly this rounding.
        const float fScaleX = float(double(nWidth) / pEntry->nBarWidth);
        const float fScaleY = float(double(nHeight) / pEntry->nBarHeight);
        rect = QRect(ClampToInt(pos.nX * double(fScaleX)), ClampToInt(pos.nY * double(fScaleY)),
                     ClampToInt(pos.nWidth * double(fScaleX)), ClampToInt(pos.nHeight * double(fScaleY)));
        return true;
    }
    if (pEntry->nPosType == POSTYPE_RELATIVE)
    {
        rect = QRect(EvenUp(ScalePercent(nWidth, pos.nX)), EvenUp(ScalePercent(nHeight, pos.nY)),
                     EvenUp(ScalePercent(nWidth, pos.nWidth)), EvenUp(ScalePercent(nHeight, pos.nHeight)));
        return true;
    }
    return false;
}

int CLayout::GetLogoCount() const
{
    return int(m_aLogos.size());
}

QString CLayout::GetLogoName(int nLogo) const
{
    return nLogo >= 0 && size_t(nLogo) < m_aLogos.size() ? m_aLogos[size_t(nLogo)].strName : QString();
}

QString CLayout::GetLogoFile(int nLogo) const
{
    return nLogo >= 0 && size_t(nLogo) < m_aLogos.size() ? m_aLogos[size_t(nLogo)].strFile : QString();
}

int CLayout::GetFontCount() const
{
    return m_astrFonts.size();
}

QString CLayout::GetFontName(int nFont) const
{
    if (m_astrFonts.isEmpty())
        return QString();
    return nFont >= 0 && nFont < m_astrFonts.size() ? m_astrFonts[nFont] : m_astrFonts.first();
}

QString CLayout::DataFilePath(const QString& strFile) const
{
    if (strFile.isEmpty())
        return QString();
    const QString strDir = m_strDataDir.isEmpty()
        ? Platform::GetExecutableDir() + QStringLiteral("/vtlayout") : m_strDataDir;
    return QDir::toNativeSeparators(strDir + QLatin1Char('/') + strFile);
}

QString CLayout::GetThumbnailPath(int nLayout) const
{
    const LayoutEntry* pEntry = FindLayout(nLayout);
    return pEntry ? DataFilePath(pEntry->strThumbnail) : QString();
}

QString CLayout::GetLogoPath(int nLogo) const
{
    return DataFilePath(GetLogoFile(nLogo));
}
