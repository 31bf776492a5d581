// The layouts, logos and caption fonts offered to the user, read once at
// start-up from vtlayout.ini beside the executable. The file is never written.
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <vector>

struct LayoutPosition
{
    int nX = 0;
    int nY = 0;
    int nWidth = 0;
    int nHeight = 0;
};

struct LayoutEntry
{
    QString strThumbnail; // relative to the vtlayout folder
    QString strName;
    QString strFile;   // logos: image file relative to the vtlayout folder
    int nBarWidth = 0; // reference canvas of a pixel-based layout
    int nBarHeight = 0;
    int nPosType = 1; // 1 canvas pixels, 2 percent / per-mille of the output
    std::vector<LayoutPosition> aPositions;
};

class CLayout
{
public:
    enum
    {
        POSTYPE_PIXELS = 1,
        POSTYPE_RELATIVE = 2
    };

    CLayout();
    virtual ~CLayout();

    // Appends the contents of the file; false (and nothing changes) when the
    // file does not exist or cannot be read, the reason on standard error.
    // A readable file without layouts loads. An empty path means
    // vtlayout.ini beside the executable.
    bool Load(const QString& strPath = QString());
    void ReleaseLayouts();

    int GetLayoutCount() const;
    QString GetThumbnail(int nLayout) const; // empty for a bad index
    QString GetName(int nLayout) const;      // empty for a bad index
    int GetPositionCount(int nLayout) const; // 0 for a bad index

    // Rectangle of position nPosition of nLayout in an output of nWidth x
    // nHeight pixels, cut to the output; a null rectangle when nothing of the
    // position lies in it. False, leaving rect untouched, when the layout or
    // the position does not exist or the layout's geometry cannot be computed.
    bool GetPositionRect(int nLayout, int nPosition, int nWidth, int nHeight, QRect& rect) const;

    int GetLogoCount() const;
    QString GetLogoName(int nLogo) const; // empty for a bad index
    QString GetLogoFile(int nLogo) const; // empty for a bad index

    int GetFontCount() const;
    // Font nFont, or the first font for an index outside the list; empty when
    // there are no fonts.
    QString GetFontName(int nFont) const;

    // Full paths (native separators) of a layout's thumbnail and of a logo
    // image, in the vtlayout folder beside the loaded file. Empty for a bad index.
    QString GetThumbnailPath(int nLayout) const;
    QString GetLogoPath(int nLogo) const;

    // v of total: thousandths above 100, exact thirds for 33, 66 and 99,
    // percent otherwise.
    static int ScalePercent(int nTotal, int nValue);

    static QString GetDefaultPath();

private:
    const LayoutEntry* FindLayout(int nLayout) const;
    QString DataFilePath(const QString& strFile) const;

    std::vector<LayoutEntry> m_aLayouts;
    std::vector<LayoutEntry> m_aLogos;
    QStringList m_astrFonts;
    QString m_strDataDir; // folder of the loaded file
};

extern CLayout g_layout;
