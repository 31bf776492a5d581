#include "config/CLayout.h"

#include "config/ListRecord.h"
#include "platform/Log.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTextCodec>

#include <algorithm>
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

// Far beyond any picture, yet small enough that a position plus a size
// cannot overflow 64 bits.
const int64_t s_nCoordinateLimit = int64_t(1) << 61;

int64_t ClampToCoordinate(double dValue)
{
    const double dTruncated = std::trunc(dValue);
    if (std::isnan(dTruncated))
        return 0;
    return int64_t(qBound(-double(s_nCoordinateLimit), dTruncated, double(s_nCoordinateLimit)));
}

// Every product of two 32-bit values fits 64 bits, so file values of any
// size scale without overflow.
int64_t ScalePercent64(int nTotal, int nValue)
{
    const int64_t nT = nTotal;
    if (nValue > 100)
        return nT * nValue / 1000;
    if (nValue == 33)
        return nT / 3;
    if (nValue == 66)
        return nT * 2 / 3;
    if (nValue == 99)
        return nT;
    return nT * nValue / 100;
}

// The mixer works on YUYV pixel pairs, so relative rectangles are kept even.
int64_t EvenUp(int64_t nValue)
{
    return nValue % 2 == 0 ? nValue : nValue + 1;
}

// The part of the rectangle that lies in the output; a null rectangle when
// nothing does. The mixer cannot draw outside its picture, and a rectangle
// that reached past INT_MAX could not even be represented.
QRect ClipToOutput(int64_t nX, int64_t nY, int64_t nWidth, int64_t nHeight, int nOutputWidth, int nOutputHeight)
{
    const int64_t nLeft = std::max<int64_t>(nX, 0);
    const int64_t nTop = std::max<int64_t>(nY, 0);
    const int64_t nRight = std::min<int64_t>(nX + nWidth, nOutputWidth);
    const int64_t nBottom = std::min<int64_t>(nY + nHeight, nOutputHeight);
    if (nRight <= nLeft || nBottom <= nTop)
        return QRect();
    return QRect(int(nLeft), int(nTop), int(nRight - nLeft), int(nBottom - nTop));
}
}

CLayout::CLayout() = default;

CLayout::~CLayout() = default;

QString CLayout::GetDefaultPath()
{
    return QDir::toNativeSeparators(Platform::GetDataDir() + QStringLiteral("/vtlayout.ini"));
}

bool CLayout::Load(const QString& strPath)
{
    const QString strFile = strPath.isEmpty() ? GetDefaultPath() : strPath;
    const QFileInfo fileInfo(strFile);
    if (!fileInfo.exists())
    {
        // The user must learn where it was looked for.
        const QString strPlaces =
            strPath.isEmpty() ? Platform::GetDataDirCandidates().join(QStringLiteral(" and ")) : strFile;
        Log::Error("config", QStringLiteral("layout file vtlayout.ini not found in %1").arg(strPlaces));
        return false;
    }
    if (!fileInfo.isFile())
    {
        Log::Error("config", QStringLiteral("layout file %1 is not a file").arg(strFile));
        return false;
    }
    // The INI reader takes a file it cannot open for an empty one; the
    // reason would be lost.
    QFile file(strFile);
    if (!file.open(QIODevice::ReadOnly))
    {
        Log::Error("config", QStringLiteral("cannot read the layout file %1: %2").arg(strFile, file.errorString()));
        return false;
    }
    file.close();
    m_strDataDir = fileInfo.absolutePath() + QStringLiteral("/vtlayout");

    QSettings ini(strFile, QSettings::IniFormat);
    if (QTextCodec* pCodec = QTextCodec::codecForName("GB2312"))
        ini.setIniCodec(pCodec);
    else
        Log::Warning("config", QStringLiteral("no GB2312 codec; layout names are read as UTF-8"));

    const int nLayouts = ReadCount(ini, QStringLiteral("/layout/count"));
    for (int i = 0; i < nLayouts; ++i)
    {
        const QString strSection = QStringLiteral("/layout%1/").arg(i);
        LayoutEntry entry;
        const int nVideo = ReadCount(ini, strSection + QStringLiteral("video"));
        entry.strThumbnail = ReadText(ini, strSection + QStringLiteral("thumbnail"), 0);
        entry.strName = ReadText(ini, strSection + QStringLiteral("name"), 0);
        entry.strFile = ReadText(ini, strSection + QStringLiteral("file"), 0);
        ini.value(strSection + QStringLiteral("show"), 0); // present in the file, no behaviour of its own
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
    if (ini.status() == QSettings::FormatError)
        Log::Warning("config", QStringLiteral("layout file %1 is not a well-formed INI file").arg(strFile));
    if (nLayouts == 0)
        Log::Warning("config", QStringLiteral("layout file %1 holds no layout").arg(strFile));
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
    return ClampToInt(ScalePercent64(nTotal, nValue));
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
        const double dScaleX = float(double(nWidth) / pEntry->nBarWidth);
        const double dScaleY = float(double(nHeight) / pEntry->nBarHeight);
        rect = ClipToOutput(ClampToCoordinate(pos.nX * dScaleX), ClampToCoordinate(pos.nY * dScaleY),
                            ClampToCoordinate(pos.nWidth * dScaleX), ClampToCoordinate(pos.nHeight * dScaleY), nWidth,
                            nHeight);
        return true;
    }
    if (pEntry->nPosType == POSTYPE_RELATIVE)
    {
        rect = ClipToOutput(EvenUp(ScalePercent64(nWidth, pos.nX)), EvenUp(ScalePercent64(nHeight, pos.nY)),
                            EvenUp(ScalePercent64(nWidth, pos.nWidth)), EvenUp(ScalePercent64(nHeight, pos.nHeight)),
                            nWidth, nHeight);
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
    const QString strDir = m_strDataDir.isEmpty() ? Platform::GetDataDir() + QStringLiteral("/vtlayout") : m_strDataDir;
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
