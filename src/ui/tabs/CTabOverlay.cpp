#include "ui/tabs/CTabOverlay.h"

#include "config/CLayout.h"
#include "config/CSettings.h"
#include "config/OptionTables.h"
#include "engine/CKVCapture.h"
#include "engine/CLogoLoader.h"
#include "platform/Log.h"
#include "ui/ScaledImage.h"
#include "ui/tabs/CLayoutItem.h"
#include "ui/windows/CLastingMessages.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageIOHandler>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStandardItemModel>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace
{
const int s_nClockInterval = 500;
const char* const s_szLogoMessageKey = "logo";
const QSize s_sizeLogoIcon(80, 60);
const int s_nLogoGridWidth = 100;
const int s_nLogoSpacing = 10;
const QSize s_sizeSwatch(28, 20);
const int s_nBorderCount = 6;
const int s_nLogoSizeMax = 100;
const QString s_strClockFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QColor StoredColor(int nWhich)
{
    int nRed = 0;
    int nGreen = 0;
    int nBlue = 0;
    g_settings.GetColor(nWhich, nRed, nGreen, nBlue);
    return QColor(nRed, nGreen, nBlue);
}

// The names of the logos the program ships with, so that they can be
// translated; the layout file itself is shared by every language.
const char* const s_apszShippedLogoNames[] = {
    QT_TRANSLATE_NOOP("CTabOverlay", "Vistrel Circle"),
    QT_TRANSLATE_NOOP("CTabOverlay", "Vistrel Hexagon"),
    QT_TRANSLATE_NOOP("CTabOverlay", "Live Badge"),
    QT_TRANSLATE_NOOP("CTabOverlay", "Vistrel Wordmark"),
};

// Indices in the layout file's font list of the fonts that the system has,
// in file order: one per entry of the font lists.
std::vector<int> InstalledFonts()
{
    const QStringList astrFamilies = QFontDatabase().families();
    std::vector<int> vecFonts;
    for (int nFont = 0; nFont < g_layout.GetFontCount(); ++nFont)
    {
        if (astrFamilies.contains(g_layout.GetFontName(nFont), Qt::CaseInsensitive))
            vecFonts.push_back(nFont);
    }
    return vecFonts;
}

// Each entry carries its index in the file's list.
void AddInstalledFonts(QComboBox* pCombo)
{
    for (int nFont : InstalledFonts())
        pCombo->addItem(g_layout.GetFontName(nFont), nFont);
}

// The family of a font list's current entry, by the entry's font in the file.
QString SelectedFontFamily(const QComboBox* pCombo)
{
    const QVariant varFont = pCombo->currentData();
    return varFont.isValid() ? g_layout.GetFontName(varFont.toInt()) : QString();
}

// Every text size of the option table, in points.
void AddFontSizes(QComboBox* pCombo)
{
    for (int i = 0; i < GetFontSizeCount(); ++i)
        pCombo->addItem(QString::number(GetFontSize(i)));
}

// Selects entry nIndex, or the first one for a stored index the list does
// not have (a font since uninstalled).
void SelectOrFirst(QComboBox* pCombo, int nIndex)
{
    pCombo->setCurrentIndex(IsValidIndex(nIndex, pCombo->count()) ? nIndex : 0);
}

// A thumbnail read at icon size, centred on a canvas of the icon size. A
// file declaring a huge picture gets none. Any thread: it is made on a pool
// thread, as the decoding takes a while even at icon size.
QImage LoadLogoIcon(const QString& strPath)
{
    QImageReader reader(strPath);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > CLogoLoader::MAX_LOGO_SIDE ||
        size.height() > CLogoLoader::MAX_LOGO_SIDE)
        return QImage();
    const bool bTurned = (reader.transformation() & QImageIOHandler::TransformationRotate90) != 0;
    if (bTurned)
        size.transpose();
    QSize sizeScaled;
    if (size.width() > s_sizeLogoIcon.width() || size.height() > s_sizeLogoIcon.height())
    {
        const QSize sizeIcon = size.scaled(s_sizeLogoIcon, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        sizeScaled = bTurned ? sizeIcon.transposed() : sizeIcon;
    }
    const QImage image = ScaledImage::Read(reader, sizeScaled);
    if (image.isNull())
        return QImage();
    // Centred, so that wide and tall logos line up with their names and
    // boxes.
    QImage canvas(s_sizeLogoIcon, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.drawImage((canvas.width() - image.width()) / 2, (canvas.height() - image.height()) / 2, image);
    painter.end();
    return canvas;
}

// The tab window is narrow: a label beside each control would not leave
// the controls room in any language, so each label stands above its
// control, two pairs to a row. Pair (nPair, nColumn) takes grid rows
// nFirstRow + 2 x nPair and the one below.
QLabel* AddPair(QGridLayout* pGrid, int nFirstRow, int nPair, int nColumn, const QString& strLabel, QWidget* pControl)
{
    QLabel* pLabel = new QLabel(strLabel);
    pLabel->setBuddy(pControl);
    pGrid->addWidget(pLabel, nFirstRow + 2 * nPair, nColumn);
    pGrid->addWidget(pControl, nFirstRow + 2 * nPair + 1, nColumn);
    return pLabel;
}

// A colour's value and its swatch, side by side.
QWidget* CreateColorControl(QLabel* pValue, QPushButton* pSwatch)
{
    QWidget* pControl = new QWidget;
    QHBoxLayout* pLayout = new QHBoxLayout(pControl);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(pValue);
    pLayout->addWidget(pSwatch);
    pLayout->addStretch();
    return pControl;
}

// A label and its controls on one line across the group.
QHBoxLayout* CreateLine(const QString& strLabel, QWidget* pBuddy)
{
    QHBoxLayout* pLine = new QHBoxLayout;
    QLabel* pLabel = new QLabel(strLabel);
    pLabel->setBuddy(pBuddy);
    pLine->addWidget(pLabel);
    return pLine;
}

QComboBox* CreateCombo(const char* pszName)
{
    QComboBox* pCombo = new QComboBox;
    pCombo->setObjectName(QLatin1String(pszName));
    return pCombo;
}

QCheckBox* CreateCheckBox(const QString& strText, const char* pszName)
{
    QCheckBox* pCheck = new QCheckBox(strText);
    pCheck->setObjectName(QLatin1String(pszName));
    return pCheck;
}

QGridLayout* CreateGroupGrid(QGroupBox* pGroup)
{
    QGridLayout* pGrid = new QGridLayout(pGroup);
    pGrid->setColumnStretch(0, 1);
    pGrid->setColumnStretch(1, 1);
    return pGrid;
}
}

QString CutAtCharacter(const QString& str, int nMax)
{
    if (str.size() <= nMax)
        return str;
    int nLength = std::max(nMax, 0);
    if (nLength > 0 && str.at(nLength - 1).isHighSurrogate() && str.at(nLength).isLowSurrogate())
        --nLength;
    return str.left(nLength);
}

QString InstalledFontFamily(int nEntry)
{
    const std::vector<int> vecFonts = InstalledFonts();
    if (vecFonts.empty())
        return QString();
    return g_layout.GetFontName(vecFonts[IsValidIndex(nEntry, int(vecFonts.size())) ? size_t(nEntry) : 0]);
}

int BorderIndexForWidth(int nWidth)
{
    if (nWidth >= 1600)
        return 5;
    if (nWidth >= 1024)
        return 4;
    if (nWidth >= 768)
        return 3;
    if (nWidth >= 480)
        return 2;
    return 1;
}

CTabOverlay::CTabOverlay(QWidget* pParent)
    : QWidget(pParent)
{
    QVBoxLayout* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(CreateLogoGroup());
    pLayout->addWidget(CreateCaptionGroup());
    pLayout->addWidget(CreateTimeGroup());
    pLayout->addStretch();

    int nLogo = -1;
    int nCorner = 1;
    int nSize = 50;
    g_settings.GetLogo(nLogo, nCorner, nSize);
    m_pCmbLogoPos->setCurrentIndex(nCorner);
    m_pSldLogoSize->setValue(nSize);
    LoadStoredState();

    ConnectControls();
    m_timer.setInterval(s_nClockInterval);

    // Ticked by LoadStoredState from the stored clock options.
    if (m_pCkbShowTime->isChecked())
        OnTimeStateChanged(Qt::Checked);
    else
        SetClockControlsEnabled(false);
    m_timer.start();

    const QString strCaption = g_settings.GetCaption();
    if (!strCaption.isEmpty())
    {
        // Read first: applying the text stores the caption data anew.
        const int nBorder = g_settings.GetCaptionDataRecord().nBorder;
        m_pEdtCaption->setText(strCaption);
        m_pCmbBorder->setCurrentIndex(IsValidIndex(nBorder, s_nBorderCount) ? nBorder : 0);
        m_pBtnClear->setEnabled(true);
    }
    else
    {
        m_pBtnClear->setEnabled(false);
    }

    // A settings file from another layout file may name a logo this one
    // does not have; there is no file to try, and its name would be empty.
    if (nLogo >= g_layout.GetLogoCount())
    {
        Log::Warning("ui", QStringLiteral("stored logo %1 is not in the layout file").arg(nLogo));
        g_settings.SetLogo(-1, nCorner, nSize);
        CLastingMessages::Set(this, QLatin1String(s_szLogoMessageKey),
                              tr("Logo %1 is not in the layout file.").arg(nLogo));
        nLogo = -1;
    }
    m_pCmbLogoPos->setEnabled(nLogo != -1);
    m_pSldLogoSize->setEnabled(nLogo != -1);

    FillLogoList(nLogo);
    connect(m_pLogoModel, &QStandardItemModel::itemChanged, this, &CTabOverlay::OnLogoItemChanged);
    g_capture.SetLogoResultHandler([this](const QString& strPath, int nResult) { OnLogoResult(strPath, nResult); });
}

CTabOverlay::~CTabOverlay()
{
    g_capture.SetLogoResultHandler(nullptr);
}

QGroupBox* CTabOverlay::CreateLogoGroup()
{
    QGroupBox* pGroup = new QGroupBox(tr("Logo"), this);
    QGridLayout* pGrid = CreateGroupGrid(pGroup);

    m_pLogoModel = new QStandardItemModel(this);
    m_pLogoList = new QListView(pGroup);
    m_pLogoList->setObjectName(QStringLiteral("lstLogo"));
    m_pLogoList->setViewMode(QListView::IconMode);
    m_pLogoList->setIconSize(s_sizeLogoIcon);
    m_pLogoList->setSpacing(s_nLogoSpacing);
    // Room for the icon and two lines of its name, in whatever font the
    // interface's language brings (the Chinese fonts have taller lines).
    const QSize sizeGrid(s_nLogoGridWidth,
                         s_sizeLogoIcon.height() + 2 * m_pLogoList->fontMetrics().lineSpacing() + s_nLogoSpacing);
    m_pLogoList->setGridSize(sizeGrid);
    m_pLogoList->setWordWrap(true);
    m_pLogoList->setMovement(QListView::Static);
    m_pLogoList->setResizeMode(QListView::Adjust);
    m_pLogoList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pLogoList->setSelectionMode(QAbstractItemView::NoSelection);
    m_pLogoList->setModel(m_pLogoModel);
    // Two rows of logos in view; more scroll.
    m_pLogoList->setFixedHeight(2 * sizeGrid.height() + 2 * m_pLogoList->frameWidth() + 4);
    pGrid->addWidget(m_pLogoList, 0, 0, 1, 2);

    m_pCmbLogoPos = CreateCombo("cmbLogoPos");
    m_pCmbLogoPos->addItems({tr("Top-Left"), tr("Top-Right"), tr("Bottom-Left"), tr("Bottom-Right")});
    AddPair(pGrid, 1, 0, 0, tr("Position:"), m_pCmbLogoPos);
    m_pSldLogoSize = new QSlider(Qt::Horizontal, pGroup);
    m_pSldLogoSize->setObjectName(QStringLiteral("sldLogoSize"));
    m_pSldLogoSize->setRange(0, s_nLogoSizeMax);
    AddPair(pGrid, 1, 0, 1, tr("Size:"), m_pSldLogoSize);
    return pGroup;
}

QStringList CTabOverlay::TextPlaceNames()
{
    return {tr("Top-Left"),    tr("Top-Center"),    tr("Top-Right"),
            tr("Bottom-Left"), tr("Bottom-Center"), tr("Bottom-Right")};
}

QGroupBox* CTabOverlay::CreateCaptionGroup()
{
    QGroupBox* pGroup = new QGroupBox(tr("Caption"), this);
    QGridLayout* pGrid = CreateGroupGrid(pGroup);

    m_pEdtCaption = new QLineEdit(pGroup);
    m_pEdtCaption->setObjectName(QStringLiteral("edtCaption"));
    m_pBtnClear = new QPushButton(style()->standardIcon(QStyle::SP_LineEditClearButton), tr("Clear"), pGroup);
    m_pBtnClear->setObjectName(QStringLiteral("btnClear"));
    m_pBtnClear->setMinimumSize(34, 28);
    QHBoxLayout* pTextLine = CreateLine(tr("Text:"), m_pEdtCaption);
    pTextLine->addWidget(m_pEdtCaption, 1);
    pTextLine->addWidget(m_pBtnClear, 0);
    pGrid->addLayout(pTextLine, 0, 0, 1, 2);

    m_pCkbUnderline = CreateCheckBox(tr("Under line"), "ckbUnderline");
    m_pCkbBold = CreateCheckBox(tr("Bold"), "ckbBold");
    m_pCkbItalic = CreateCheckBox(tr("Italic"), "ckbItalic");
    QHBoxLayout* pStyleLine = CreateLine(tr("Style:"), m_pCkbUnderline);
    pStyleLine->addWidget(m_pCkbUnderline);
    pStyleLine->addWidget(m_pCkbBold);
    pStyleLine->addWidget(m_pCkbItalic);
    pStyleLine->addStretch();
    pGrid->addLayout(pStyleLine, 1, 0, 1, 2);

    m_pLblCaptionColor = new QLabel(pGroup);
    m_pLblCaptionColor->setObjectName(QStringLiteral("lblCaptionColor"));
    m_pBtnCaptionColor = new QPushButton(pGroup);
    m_pBtnCaptionColor->setObjectName(QStringLiteral("btnCaptionColor"));
    m_pLblBorderColor = new QLabel(pGroup);
    m_pLblBorderColor->setObjectName(QStringLiteral("lblBorderColor"));
    m_pBtnBorderColor = new QPushButton(pGroup);
    m_pBtnBorderColor->setObjectName(QStringLiteral("btnBorderColor"));
    for (QPushButton* pSwatch : {m_pBtnCaptionColor, m_pBtnBorderColor})
        pSwatch->setFixedSize(s_sizeSwatch);
    AddPair(pGrid, 2, 0, 0, tr("Text color:"), CreateColorControl(m_pLblCaptionColor, m_pBtnCaptionColor));
    AddPair(pGrid, 2, 0, 1, tr("Border color:"), CreateColorControl(m_pLblBorderColor, m_pBtnBorderColor));

    m_pCmbCaptionSize = CreateCombo("cmbCaptionSize");
    AddFontSizes(m_pCmbCaptionSize);
    AddPair(pGrid, 2, 1, 0, tr("Size:"), m_pCmbCaptionSize);
    m_pCmbBorder = CreateCombo("cmbBorder");
    for (int i = 0; i < s_nBorderCount; ++i)
        m_pCmbBorder->addItem(QString::number(i));
    AddPair(pGrid, 2, 1, 1, tr("Border:"), m_pCmbBorder);

    m_pCmbCaptionFont = CreateCombo("cmbCaptionFont");
    AddInstalledFonts(m_pCmbCaptionFont);
    AddPair(pGrid, 2, 2, 0, tr("Text font:"), m_pCmbCaptionFont);
    m_pCmbCaptionPos = CreateCombo("cmbCaptionPos");
    m_pCmbCaptionPos->addItems(TextPlaceNames());
    AddPair(pGrid, 2, 2, 1, tr("Position:"), m_pCmbCaptionPos);
    return pGroup;
}

QGroupBox* CTabOverlay::CreateTimeGroup()
{
    QGroupBox* pGroup = new QGroupBox(tr("Time"), this);
    QGridLayout* pGrid = CreateGroupGrid(pGroup);

    m_pCkbShowTime = CreateCheckBox(tr("Show Time"), "ckbShowTime");
    pGrid->addWidget(m_pCkbShowTime, 0, 0, 1, 2);

    m_pLblTimeColor = new QLabel(pGroup);
    m_pLblTimeColor->setObjectName(QStringLiteral("lblTimeColor"));
    m_pBtnTimeColor = new QPushButton(pGroup);
    m_pBtnTimeColor->setObjectName(QStringLiteral("btnTimeColor"));
    m_pBtnTimeColor->setFixedSize(s_sizeSwatch);
    AddPair(pGrid, 1, 0, 0, tr("Text color:"), CreateColorControl(m_pLblTimeColor, m_pBtnTimeColor));
    m_pCmbTimeSize = CreateCombo("cmbTimeSize");
    AddFontSizes(m_pCmbTimeSize);
    AddPair(pGrid, 1, 0, 1, tr("Size:"), m_pCmbTimeSize);

    m_pCmbTimeFont = CreateCombo("cmbTimeFont");
    AddInstalledFonts(m_pCmbTimeFont);
    AddPair(pGrid, 1, 1, 0, tr("Text font:"), m_pCmbTimeFont);
    m_pCmbTimePos = CreateCombo("cmbTimePos");
    m_pCmbTimePos->addItems(TextPlaceNames());
    AddPair(pGrid, 1, 1, 1, tr("Position:"), m_pCmbTimePos);
    return pGroup;
}

void CTabOverlay::LoadStoredState()
{
    int nUnderline = 0;
    int nBold = 0;
    int nItalic = 0;
    int nFont = 0;
    int nBorder = 0;
    int nFontSize = 0;
    int nPosition = 0;
    g_settings.GetCaptionOpt(nUnderline, nBold, nItalic, nFont, nBorder, nFontSize, nPosition);
    m_pCkbUnderline->setChecked(nUnderline != 0);
    m_pCkbBold->setChecked(nBold != 0);
    m_pCkbItalic->setChecked(nItalic != 0);
    m_pCmbCaptionSize->setCurrentIndex(nFontSize);
    m_pCmbBorder->setCurrentIndex(nBorder);
    SelectOrFirst(m_pCmbCaptionFont, nFont);
    m_pCmbCaptionPos->setCurrentIndex(nPosition);

    int nShow = 0;
    g_settings.GetTimeOpt(nShow, nFont, nFontSize, nPosition);
    m_pCkbShowTime->setChecked(nShow == 1);
    SelectOrFirst(m_pCmbTimeFont, nFont);
    m_pCmbTimeSize->setCurrentIndex(nFontSize);
    m_pCmbTimePos->setCurrentIndex(nPosition);

    const struct
    {
        int nWhich;
        QLabel* pLabel;
        QPushButton* pSwatch;
    } aColors[] = {{CSettings::COLOR_CAPTION_FONT, m_pLblCaptionColor, m_pBtnCaptionColor},
                   {CSettings::COLOR_CAPTION_BORDER, m_pLblBorderColor, m_pBtnBorderColor},
                   {CSettings::COLOR_TIME_FONT, m_pLblTimeColor, m_pBtnTimeColor}};
    for (const auto& entry : aColors)
        ShowColor(entry.pLabel, entry.pSwatch, StoredColor(entry.nWhich));
}

void CTabOverlay::ShowColor(QLabel* pValue, QPushButton* pSwatch, const QColor& color)
{
    pValue->setText(tr("(%1, %2, %3)").arg(color.red()).arg(color.green()).arg(color.blue()));
    pSwatch->setStyleSheet(QStringLiteral("background-color:") + color.name());
}

void CTabOverlay::FillLogoList(int nCurrent)
{
    // An empty canvas holds each icon's place until it is decoded, so that
    // the list neither waits for the files nor moves when they come.
    QPixmap blank(s_sizeLogoIcon);
    blank.fill(Qt::transparent);
    const QIcon iconBlank(blank);
    for (int nLogo = 0; nLogo < g_layout.GetLogoCount(); ++nLogo)
    {
        CLayoutItem* pItem =
            new CLayoutItem(iconBlank, DisplayLogoName(g_layout.GetLogoName(nLogo)), CLayoutItem::KIND_LOGO, nLogo);
        const QString strPath = g_layout.GetLogoPath(nLogo);
        ScaledImage::LoadAsync(
            this, [strPath] { return LoadLogoIcon(strPath); },
            [this, nLogo](const QImage& image) {
                QStandardItem* pShown = m_pLogoModel->item(nLogo);
                if (pShown && !image.isNull())
                    pShown->setIcon(QIcon(QPixmap::fromImage(image)));
            });
        if (nLogo == nCurrent)
        {
            pItem->setCheckState(Qt::Checked);
            m_pCurrentLogo = pItem;
        }
        m_pLogoModel->appendRow(pItem);
    }
}

QString CTabOverlay::DisplayLogoName(const QString& strName)
{
    for (const char* pszName : s_apszShippedLogoNames)
    {
        if (strName == QLatin1String(pszName))
            return QCoreApplication::translate("CTabOverlay", pszName);
    }
    return strName;
}

void CTabOverlay::ConnectControls()
{
    connect(m_pLogoList, &QListView::clicked, this, &CTabOverlay::OnItemClicked);
    connect(m_pCmbLogoPos, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CTabOverlay::OnLogoPosChanged);
    connect(m_pSldLogoSize, &QSlider::valueChanged, this, &CTabOverlay::OnLogoSizeChanged);
    connect(m_pEdtCaption, &QLineEdit::textChanged, this, &CTabOverlay::OnCaptionChanged);
    connect(m_pBtnClear, &QPushButton::clicked, this, &CTabOverlay::OnButtonClear);
    for (QCheckBox* pStyle : {m_pCkbUnderline, m_pCkbBold, m_pCkbItalic})
        connect(pStyle, &QCheckBox::stateChanged, this, &CTabOverlay::OnFontStateChanged);
    for (QPushButton* pSwatch : {m_pBtnCaptionColor, m_pBtnBorderColor, m_pBtnTimeColor})
        connect(pSwatch, &QPushButton::clicked, this, &CTabOverlay::OnBtnOpenColorDlg);
    for (QComboBox* pCombo : {m_pCmbCaptionFont, m_pCmbCaptionSize, m_pCmbCaptionPos})
        connect(pCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CTabOverlay::OnCaptionPosChanged);
    connect(m_pCmbBorder, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CTabOverlay::OnBorderWidthChanged);
    connect(m_pCkbShowTime, &QCheckBox::stateChanged, this, &CTabOverlay::OnTimeStateChanged);
    for (QComboBox* pCombo : {m_pCmbTimeFont, m_pCmbTimePos})
        connect(pCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CTabOverlay::OnTimeStateChanged);
    connect(m_pCmbTimeSize, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &CTabOverlay::OnTimeSizeChanged);
    connect(&m_timer, &QTimer::timeout, this, [this]() { OnTimeout(0); });
}

void CTabOverlay::SetClockControlsEnabled(bool bEnable)
{
    for (QWidget* pWidget : {static_cast<QWidget*>(m_pCmbTimePos), static_cast<QWidget*>(m_pCmbTimeFont),
                             static_cast<QWidget*>(m_pCmbTimeSize), static_cast<QWidget*>(m_pBtnTimeColor)})
        pWidget->setEnabled(bEnable);
}

void CTabOverlay::OnItemClicked(const QModelIndex& index)
{
    CLayoutItem* pItem = CLayoutItem::FromIndex(index);
    if (!pItem || pItem->GetKind() != CLayoutItem::KIND_LOGO || m_bUpdatingLogos)
        return;
    const bool bChecked = pItem->checkState() == Qt::Checked;
    if (!bChecked && pItem == m_pCurrentLogo)
    {
        g_capture.RemoveLogo();
        g_settings.SetLogo(-1, 1, 50);
        // No logo is wanted any more, so none can be missing.
        CLastingMessages::Clear(this, QLatin1String(s_szLogoMessageKey));
        m_nShownLogo = -1;
        m_pCurrentLogo = nullptr;
        m_pCmbLogoPos->setEnabled(false);
        m_pSldLogoSize->setEnabled(false);
        return;
    }
    if (!bChecked || pItem == m_pCurrentLogo)
        return;

    // The logo on show is not taken off first: it stays until the new one
    // is ready, and stays when the new one cannot be shown.
    if (m_pCurrentLogo)
    {
        m_bUpdatingLogos = true;
        m_pCurrentLogo->setCheckState(Qt::Unchecked);
        m_bUpdatingLogos = false;
    }
    const int nLogo = pItem->GetIndex();
    const int nCorner = m_pCmbLogoPos->currentIndex();
    const int nSize = m_pSldLogoSize->value();
    g_capture.SetLogo(g_layout.GetLogoPath(nLogo), nCorner, nSize);
    g_settings.SetLogo(nLogo, nCorner, nSize);
    m_pCurrentLogo = pItem;
    m_pCmbLogoPos->setEnabled(true);
    m_pSldLogoSize->setEnabled(true);
}

void CTabOverlay::OnLogoItemChanged(QStandardItem* pItem)
{
    // The same rules as a click; a click that already acted finds nothing
    // left to do.
    if (!m_bUpdatingLogos && pItem)
        OnItemClicked(pItem->index());
}

void CTabOverlay::TickLogo(int nLogo)
{
    m_bUpdatingLogos = true;
    m_pCurrentLogo = nullptr;
    for (int nRow = 0; nRow < m_pLogoModel->rowCount(); ++nRow)
    {
        CLayoutItem* pItem = CLayoutItem::FromIndex(m_pLogoModel->index(nRow, 0));
        if (!pItem)
            continue;
        const bool bTick = pItem->GetIndex() == nLogo;
        pItem->setCheckState(bTick ? Qt::Checked : Qt::Unchecked);
        if (bTick)
            m_pCurrentLogo = pItem;
    }
    m_bUpdatingLogos = false;
    m_pCmbLogoPos->setEnabled(m_pCurrentLogo != nullptr);
    m_pSldLogoSize->setEnabled(m_pCurrentLogo != nullptr);
}

void CTabOverlay::KeepShownLogo()
{
    if (!g_capture.IsLogoShown() || m_nShownLogo < 0)
    {
        g_settings.SetLogo(-1, 1, 50);
        TickLogo(-1);
        return;
    }
    g_settings.SetLogo(m_nShownLogo, m_nShownCorner, m_nShownSize);
    {
        const QSignalBlocker blockCorner(m_pCmbLogoPos);
        const QSignalBlocker blockSize(m_pSldLogoSize);
        m_pCmbLogoPos->setCurrentIndex(m_nShownCorner);
        m_pSldLogoSize->setValue(m_nShownSize);
    }
    TickLogo(m_nShownLogo);
}

void CTabOverlay::OnLogoPosChanged(int nPos)
{
    int nLogo = -1;
    int nCorner = 0;
    int nSize = 0;
    g_settings.GetLogo(nLogo, nCorner, nSize);
    ReshowLogo(nLogo, nPos, nSize);
}

void CTabOverlay::OnLogoSizeChanged(int nSize)
{
    int nLogo = -1;
    int nCorner = 0;
    int nStoredSize = 0;
    g_settings.GetLogo(nLogo, nCorner, nStoredSize);
    ReshowLogo(nLogo, nCorner, nSize);
}

void CTabOverlay::ReshowLogo(int nLogo, int nCorner, int nSize)
{
    // No logo chosen: there is no file to show, and "none" stays stored as
    // it is; the controls are read again when a logo is ticked.
    if (nLogo < 0)
        return;
    g_capture.SetLogo(g_layout.GetLogoPath(nLogo), nCorner, nSize);
    g_settings.SetLogo(nLogo, nCorner, nSize);
}

void CTabOverlay::OnLogoResult(const QString& strPath, int nResult)
{
    QString strName = QFileInfo(strPath).fileName();
    for (int nLogo = 0; nLogo < g_layout.GetLogoCount(); ++nLogo)
    {
        if (g_layout.GetLogoPath(nLogo) == strPath)
            strName = DisplayLogoName(g_layout.GetLogoName(nLogo));
    }
    QString strMessage;
    if (nResult == CLogoLoader::LOGO_TOO_LARGE)
        strMessage = tr("The logo \"%1\" cannot be shown: it is larger than %2 pixels on a side.")
                         .arg(strName)
                         .arg(int(CLogoLoader::MAX_LOGO_SIDE));
    else if (nResult != CLogoLoader::LOGO_SHOWN)
        strMessage =
            tr("The logo \"%1\" cannot be shown: the file is missing or is not a readable picture.").arg(strName);

    // Every answer is for the stored choice: a later request overtakes an
    // earlier one, which then gets none.
    int nLogo = -1;
    int nCorner = 1;
    int nSize = 50;
    g_settings.GetLogo(nLogo, nCorner, nSize);
    const bool bStoredChoice = nLogo >= 0 && g_layout.GetLogoPath(nLogo) == strPath;
    if (nResult == CLogoLoader::LOGO_SHOWN && bStoredChoice)
    {
        m_nShownLogo = nLogo;
        m_nShownCorner = nCorner;
        m_nShownSize = nSize;
    }
    else if (nResult != CLogoLoader::LOGO_SHOWN && bStoredChoice)
    {
        // The output still shows the logo before it, or none; what is
        // ticked and stored must say so, or the next start would show
        // something else again.
        KeepShownLogo();
    }

    // A logo that shows again takes an earlier complaint back. The
    // complaint lasts, so that it is seen during a session too, whose status
    // refresh clears the status bar's passing messages.
    if (strMessage.isEmpty())
        CLastingMessages::Clear(this, QLatin1String(s_szLogoMessageKey));
    else
        CLastingMessages::Set(this, QLatin1String(s_szLogoMessageKey), strMessage);
}

void CTabOverlay::OnButtonClear()
{
    g_capture.RemoveCaption();
    g_settings.SetCaption(QString());
    m_pEdtCaption->clear();
    m_pBtnClear->setEnabled(false);
}

void CTabOverlay::OnButtonApply()
{
    const int nFont = std::max(m_pCmbCaptionFont->currentIndex(), 0);
    const int nFontSize = m_pCmbCaptionSize->currentIndex();
    const int nBorder = m_pCmbBorder->currentIndex();
    const int nPosition = m_pCmbCaptionPos->currentIndex();
    const int nUnderline = m_pCkbUnderline->isChecked() ? 1 : 0;
    const int nBold = m_pCkbBold->isChecked() ? 1 : 0;
    const int nItalic = m_pCkbItalic->isChecked() ? 1 : 0;
    const int nBorderColor = g_settings.GetPackedColor(CSettings::COLOR_CAPTION_BORDER);
    const int nTextColor = g_settings.GetPackedColor(CSettings::COLOR_CAPTION_FONT);

    const QString strText = m_pEdtCaption->text();
    if (strText.isEmpty())
    {
        g_capture.RemoveCaption();
        m_pBtnClear->setEnabled(false);
    }
    else if (strText.size() <= MAX_CAPTION_LENGTH)
    {
        g_capture.SetCaption(strText, SelectedFontFamily(m_pCmbCaptionFont), nBold != 0, nItalic != 0, nUnderline != 0,
                             GetFontSize(nFontSize), nBorder, nPosition, nBorderColor, nTextColor);
        m_pBtnClear->setEnabled(true);
    }
    else
    {
        // The shortened text comes back here through textChanged, which
        // shows and stores it; the overlong one is never stored.
        m_pBtnClear->setEnabled(true);
        m_pEdtCaption->setText(CutAtCharacter(strText, MAX_CAPTION_LENGTH));
        return;
    }

    g_settings.SetCaption(strText);
    g_settings.SetCaptionData(nFont, nFontSize, nBorder, nPosition, nUnderline, nBold, nItalic);
    g_settings.SetCaptionOpt(nUnderline, nBold, nItalic, nFont, nBorder, nFontSize, nPosition);
}

void CTabOverlay::OnCaptionChanged(const QString& text)
{
    Q_UNUSED(text);
    OnButtonApply();
}

void CTabOverlay::OnCaptionPosChanged(int nIndex)
{
    Q_UNUSED(nIndex);
    OnButtonApply();
}

void CTabOverlay::OnBorderWidthChanged(int nIndex)
{
    Q_UNUSED(nIndex);
    OnButtonApply();
}

void CTabOverlay::OnFontStateChanged(int nState)
{
    Q_UNUSED(nState);
    OnButtonApply();
}

void CTabOverlay::OnTimeSizeChanged(int nIndex)
{
    Q_UNUSED(nIndex);
    OnTimeStateChanged(Qt::Checked);
}

void CTabOverlay::OnBtnOpenColorDlg()
{
    QObject* pSender = sender();
    int nWhich = CSettings::COLOR_CAPTION_FONT;
    QLabel* pLabel = m_pLblCaptionColor;
    QPushButton* pSwatch = m_pBtnCaptionColor;
    if (pSender == m_pBtnTimeColor)
    {
        nWhich = CSettings::COLOR_TIME_FONT;
        pLabel = m_pLblTimeColor;
        pSwatch = m_pBtnTimeColor;
    }
    else if (pSender == m_pBtnBorderColor)
    {
        nWhich = CSettings::COLOR_CAPTION_BORDER;
        pLabel = m_pLblBorderColor;
        pSwatch = m_pBtnBorderColor;
    }

    const QColor colorNow = StoredColor(nWhich);
    QColorDialog::setCustomColor(0, colorNow);
    const QColor color = QColorDialog::getColor(colorNow, this);
    if (color.isValid())
    {
        g_settings.SetColor(nWhich, color.red(), color.green(), color.blue());
        ShowColor(pLabel, pSwatch, color);
    }
    OnTimeStateChanged(Qt::Checked);
    OnButtonApply();
}

void CTabOverlay::OnTimeStateChanged(int nState)
{
    g_capture.RemoveClock();
    m_strClockShown.clear();
    if (sender() == m_pCkbShowTime)
        SetClockControlsEnabled(nState != Qt::Unchecked);
    if (m_pCkbShowTime->isChecked())
        OnTimeout(1);
    // Runs with the clock switched off too: in studio mode the clock on air
    // keeps time whatever Preview shows.
    if (!m_timer.isActive())
        m_timer.start();
    g_settings.SetTimeOpt(m_pCkbShowTime->isChecked() ? 1 : 0, std::max(m_pCmbTimeFont->currentIndex(), 0),
                          m_pCmbTimeSize->currentIndex(), m_pCmbTimePos->currentIndex());
}

void CTabOverlay::OnTimeout(int bFirstDisp)
{
    const QString strText = QDateTime::currentDateTime().toString(s_strClockFormat);
    // The timer runs twice a second; within a second the picture would be
    // the same, so it is not rendered again.
    if (strText != m_strProgramClockShown)
        m_strProgramClockShown = g_capture.TickProgramClock(strText) ? strText : QString();
    if (!m_pCkbShowTime->isChecked() || (!bFirstDisp && strText == m_strClockShown))
        return;
    const bool bShown = g_capture.SetClock(
        strText, SelectedFontFamily(m_pCmbTimeFont), false, false, false, GetFontSize(m_pCmbTimeSize->currentIndex()),
        0, m_pCmbTimePos->currentIndex(), g_settings.GetPackedColor(CSettings::COLOR_TIME_BORDER),
        g_settings.GetPackedColor(CSettings::COLOR_TIME_FONT), bFirstDisp != 0, 0);
    m_strClockShown = bShown ? strText : QString();
}

void CTabOverlay::ShowStoredScene()
{
    std::vector<QSignalBlocker> vecBlockers;
    const QList<QObject*> listChildren = findChildren<QObject*>();
    vecBlockers.reserve(size_t(listChildren.size()));
    for (QObject* pChild : listChildren)
        vecBlockers.emplace_back(pChild);

    int nLogo = -1;
    int nCorner = 1;
    int nSize = 50;
    g_settings.GetLogo(nLogo, nCorner, nSize);
    m_pCmbLogoPos->setCurrentIndex(nCorner);
    m_pSldLogoSize->setValue(nSize);
    if (m_pCurrentLogo)
        m_pCurrentLogo->setCheckState(Qt::Unchecked);
    m_pCurrentLogo = static_cast<CLayoutItem*>(m_pLogoModel->item(nLogo));
    if (m_pCurrentLogo)
        m_pCurrentLogo->setCheckState(Qt::Checked);
    m_pCmbLogoPos->setEnabled(m_pCurrentLogo != nullptr);
    m_pSldLogoSize->setEnabled(m_pCurrentLogo != nullptr);

    LoadStoredState();
    const QString strCaption = g_settings.GetCaption();
    m_pEdtCaption->setText(strCaption);
    m_pBtnClear->setEnabled(!strCaption.isEmpty());
    SetClockControlsEnabled(m_pCkbShowTime->isChecked());
    // The clocks changed scenes with everything else.
    std::swap(m_strClockShown, m_strProgramClockShown);
}

void CTabOverlay::AdjustToOutputSize()
{
    const int nBorder = BorderIndexForWidth(g_settings.GetOutputWidth());
    SCaptionData data = g_settings.GetCaptionDataRecord();
    data.nBorder = nBorder;
    g_settings.SetCaptionDataRecord(data);
    m_pCmbBorder->setCurrentIndex(nBorder);
    if (m_pCkbShowTime->isChecked())
        OnTimeStateChanged(Qt::Checked);
}
