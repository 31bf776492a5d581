// The "Screen" tab: switches the projection onto the other monitors on and
// off, chooses its background image and the rectangle of the output picture
// on them, with a small preview of the result.
#pragma once

#include "media/KVTypes.h"
#include "ui/projection/ProjectionGeometry.h"

#include <QRect>
#include <QWidget>

class CDemoWnd;
class CRenderWidget;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QSlider;
class QSpinBox;
class QToolButton;

class CTabScreen : public QWidget
{
    Q_OBJECT

public:
    explicit CTabScreen(QWidget* pParent);

    // The Settings tab calls this after the output size changed, before the
    // projection is rebuilt: the rectangle keeps its place in the picture.
    void OnOutputSizeChanged();
    // The window the engine's Screen-tab renderer draws into.
    KVS_WINDOW GetPreviewWindow() const;

    // For checks: the preview and its picture rectangle.
    CDemoWnd* GetDemoWnd() const { return m_pDemoWnd; }
    QRect GetPreviewRect() const;

private slots:
    void OnBtnSelectImage();
    void OnBtnBackClear();
    void OnChkScreenEnable(int nState);
    void OnChkScreenDisp(int nState);
    void OnValueChanged(int nValue);

private:
    QGroupBox* CreatePreviewGroup(const QRect& rcStored, const QSize& sizeOutput);
    QGroupBox* CreateSettingsGroup();
    void AddPositionControl(QGridLayout* pGrid, int nRow, int nColumn, const QString& strLabel, QSlider*& pSlider,
                            QSpinBox*& pSpinBox, int nMaximum, int nValue);
    void ShowStoredBackground();
    void ApplyScreenCountRule(bool bOutputOn);
    void PlacePreviewRect(const QRect& rcOutput, const QSize& sizeOutput);
    void SetMaxima(const QSize& sizeOutput);
    QRect SliderRect() const;
    void ConnectControls();

    CDemoWnd* m_pDemoWnd = nullptr;
    CRenderWidget* m_pPreviewRect = nullptr;
    QSpinBox* m_pSpinLeft = nullptr;
    QSpinBox* m_pSpinTop = nullptr;
    QSpinBox* m_pSpinWidth = nullptr;
    QSpinBox* m_pSpinHeight = nullptr;
    QCheckBox* m_pChkEnable = nullptr;
    QCheckBox* m_apChkScreen[Projection::SLOT_COUNT] = {};
    QLineEdit* m_pEdtBackPath = nullptr;
    QToolButton* m_pBtnSelectImage = nullptr;
    QToolButton* m_pBtnClearImage = nullptr;
    QSlider* m_pSliderLeft = nullptr;
    QSlider* m_pSliderTop = nullptr;
    QSlider* m_pSliderWidth = nullptr;
    QSlider* m_pSliderHeight = nullptr;
    // Set while the output size changes, so that the four spin boxes moving
    // one after the other store and place the rectangle only once.
    bool m_bRescaling = false;
};
