// The "Overlay" page: a logo from the layout file in a corner of the output,
// a styled caption and a running clock. Every control acts on the output
// the moment it changes and is stored at once; there is nothing to apply.
#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>

class CLayoutItem;
class QCheckBox;
class QColor;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
class QPushButton;
class QSlider;
class QStandardItem;
class QStandardItemModel;

// The longest caption, in UTF-16 units; a longer text is cut at a character
// boundary.
const int MAX_CAPTION_LENGTH = 128;

// The first nMax UTF-16 units of str, one fewer when the cut would split a
// character made of a surrogate pair.
QString CutAtCharacter(const QString& str, int nMax);

// The caption border that suits an output nWidth pixels wide (1..5).
int BorderIndexForWidth(int nWidth);

// The family of entry nEntry of the caption and clock font lists, which offer
// the layout file's fonts that the system has: a stored font index counts
// those entries, never the file's list. A stored entry the lists no longer
// have gives the first one; empty when no font of the file is installed.
QString InstalledFontFamily(int nEntry);

class CTabOverlay : public QWidget
{
    Q_OBJECT

public:
    explicit CTabOverlay(QWidget* pParent);
    ~CTabOverlay() override;

    // After the output was rebuilt: picks the caption border for the new
    // output width (re-applying the caption when that changes it) and puts
    // the clock at its place on the new output.
    void AdjustToOutputSize();
    // Shows the stored logo, caption and clock without applying them: the
    // scene they describe is already in the mixer (Preview after a take).
    void ShowStoredScene();

    // The logo name as shown: the shipped logos in the interface's language,
    // any other one as the layout file writes it.
    static QString DisplayLogoName(const QString& strName);

public slots:
    void OnItemClicked(const QModelIndex& index);
    void OnLogoPosChanged(int nPos);
    void OnLogoSizeChanged(int nSize);
    void OnButtonClear();
    void OnButtonApply();
    void OnCaptionChanged(const QString& text);
    void OnCaptionPosChanged(int nIndex);
    void OnBorderWidthChanged(int nIndex);
    void OnTimeSizeChanged(int nIndex);
    void OnFontStateChanged(int nState);
    void OnBtnOpenColorDlg();
    void OnTimeStateChanged(int nState);
    // bFirstDisp: the clock's options changed, so its place is worked out
    // anew; the periodic refresh keeps the place.
    void OnTimeout(int bFirstDisp = 0);

private slots:
    // The check boxes of the logo list also answer the keyboard, which
    // sends no click.
    void OnLogoItemChanged(QStandardItem* pItem);

private:
    QGroupBox* CreateLogoGroup();
    QGroupBox* CreateCaptionGroup();
    QGroupBox* CreateTimeGroup();
    // The places caption and clock can take, in the engine's order.
    static QStringList TextPlaceNames();
    void FillLogoList(int nCurrent);
    void LoadStoredState();
    void ConnectControls();
    void SetClockControlsEnabled(bool bEnable);
    // A colour as its value and its swatch.
    static void ShowColor(QLabel* pValue, QPushButton* pSwatch, const QColor& color);
    // Shows logo nLogo (none for -1) again with a new corner or size.
    void ReshowLogo(int nLogo, int nCorner, int nSize);
    // What the engine says about a logo it was asked to show.
    void OnLogoResult(const QString& strPath, int nResult);
    // A chosen logo could not be shown: the list, the controls and the store
    // go back to what the output still shows.
    void KeepShownLogo();
    // Ticks logo nLogo (none for -1) alone and makes it the current one.
    void TickLogo(int nLogo);

    QStandardItemModel* m_pLogoModel = nullptr;
    QListView* m_pLogoList = nullptr;
    CLayoutItem* m_pCurrentLogo = nullptr;
    // Set while the tab changes check marks itself, so that those changes
    // are not taken for the user's.
    bool m_bUpdatingLogos = false;
    // The logo the output shows, as the engine last confirmed it (-1: none
    // confirmed), with its corner and size.
    int m_nShownLogo = -1;
    int m_nShownCorner = 1;
    int m_nShownSize = 50;
    QComboBox* m_pCmbLogoPos = nullptr;
    QSlider* m_pSldLogoSize = nullptr;

    QLineEdit* m_pEdtCaption = nullptr;
    QPushButton* m_pBtnClear = nullptr;
    QCheckBox* m_pCkbUnderline = nullptr;
    QCheckBox* m_pCkbBold = nullptr;
    QCheckBox* m_pCkbItalic = nullptr;
    QLabel* m_pLblCaptionColor = nullptr;
    QPushButton* m_pBtnCaptionColor = nullptr;
    QLabel* m_pLblBorderColor = nullptr;
    QPushButton* m_pBtnBorderColor = nullptr;
    QComboBox* m_pCmbCaptionSize = nullptr;
    QComboBox* m_pCmbBorder = nullptr;
    QComboBox* m_pCmbCaptionFont = nullptr;
    QComboBox* m_pCmbCaptionPos = nullptr;

    QCheckBox* m_pCkbShowTime = nullptr;
    QLabel* m_pLblTimeColor = nullptr;
    QPushButton* m_pBtnTimeColor = nullptr;
    QComboBox* m_pCmbTimeSize = nullptr;
    QComboBox* m_pCmbTimeFont = nullptr;
    QComboBox* m_pCmbTimePos = nullptr;

    QTimer m_timer;
    // The clock text last put on the output: a tick within the same second
    // has nothing new to draw.
    QString m_strClockShown;
    QString m_strProgramClockShown;
};
