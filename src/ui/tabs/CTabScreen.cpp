#include "ui/tabs/CTabScreen.h"

#include "common/AppInfo.h"
#include "config/CSettings.h"
#include "engine/CKVCapture.h"
#include "ui/projection/BackgroundImage.h"
#include "ui/projection/CProjectionController.h"
#include "ui/windows/CDemoWnd.h"
#include "ui/windows/CRenderWidget.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace
{
QSize OutputSize()
{
    return QSize(g_settings.GetOutputWidth(), g_settings.GetOutputHeight());
}

QRect StoredRect()
{
    int nLeft = 0;
    int nTop = 0;
    int nWidth = 0;
    int nHeight = 0;
    g_settings.GetScreenPos(nLeft, nTop, nWidth, nHeight);
    return QRect(nLeft, nTop, nWidth, nHeight);
}

int ScreenCount()
{
    return QGuiApplication::screens().size();
}
}

CTabScreen::CTabScreen(QWidget* pParent)
    : QWidget(pParent)
{
    const QRect rcStored = StoredRect();
    const QSize sizeOutput = OutputSize();

    QVBoxLayout* pLayout = new QVBoxLayout(this);
    // The preview window has a fixed width; with the usual margins around
    // it and its group the page would need a sideways scroll bar in the tab
    // window.
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(CreatePreviewGroup(rcStored, sizeOutput));
    pLayout->addWidget(CreateSettingsGroup());
    pLayout->addStretch();

    ShowStoredBackground();
    PlacePreviewRect(rcStored, sizeOutput);
    ConnectControls();
}

QGroupBox* CTabScreen::CreatePreviewGroup(const QRect& rcStored, const QSize& sizeOutput)
{
    QGroupBox* pGroup = new QGroupBox(tr("Preview"), this);
    QVBoxLayout* pLayout = new QVBoxLayout(pGroup);
    pLayout->setContentsMargins(4, pLayout->contentsMargins().top(), 4, pLayout->contentsMargins().bottom());

    m_pDemoWnd = new CDemoWnd(pGroup);
    // The engine's Screen-tab renderer paints into it; unlike a window the
    // system draws into directly, it repaints itself, so its updates stay on.
    m_pPreviewRect = new CRenderWidget(m_pDemoWnd);
    // Shaped like the projection's rectangle, and filled like it.
    m_pPreviewRect->SetKeepAspectRatio(false);
    m_pPreviewRect->show();
    pLayout->addWidget(m_pDemoWnd, 0, Qt::AlignHCenter);

    QGridLayout* pGrid = new QGridLayout;
    AddPositionControl(pGrid, 0, 0, tr("Left:"), m_pSliderLeft, m_pSpinLeft, sizeOutput.width(), rcStored.x());
    AddPositionControl(pGrid, 0, 3, tr("Top:"), m_pSliderTop, m_pSpinTop, sizeOutput.height(), rcStored.y());
    AddPositionControl(pGrid, 1, 0, tr("Width:"), m_pSliderWidth, m_pSpinWidth, sizeOutput.width(), rcStored.width());
    AddPositionControl(pGrid, 1, 3, tr("Height:"), m_pSliderHeight, m_pSpinHeight, sizeOutput.height(),
                       rcStored.height());

    QHBoxLayout* pBackRow = new QHBoxLayout;
    pBackRow->addWidget(new QLabel(tr("Back:"), pGroup));
    m_pEdtBackPath = new QLineEdit(pGroup);
    m_pEdtBackPath->setReadOnly(true);
    pBackRow->addWidget(m_pEdtBackPath);
    m_pBtnSelectImage = new QToolButton(pGroup);
    m_pBtnSelectImage->setIcon(QIcon(QStringLiteral(":/images/back.png")));
    m_pBtnSelectImage->setFixedSize(34, 28);
    m_pBtnSelectImage->setToolTip(tr("Change background image"));
    pBackRow->addWidget(m_pBtnSelectImage);
    m_pBtnClearImage = new QToolButton(pGroup);
    m_pBtnClearImage->setIcon(style()->standardIcon(QStyle::SP_LineEditClearButton));
    m_pBtnClearImage->setFixedSize(34, 28);
    m_pBtnClearImage->setToolTip(tr("Clear background image"));
    pBackRow->addWidget(m_pBtnClearImage);
    pGrid->addLayout(pBackRow, 2, 0, 1, 6);

    pLayout->addLayout(pGrid);
    return pGroup;
}

void CTabScreen::AddPositionControl(QGridLayout* pGrid, int nRow, int nColumn, const QString& strLabel,
                                    QSlider*& pSlider, QSpinBox*& pSpinBox, int nMaximum, int nValue)
{
    QWidget* pParent = pGrid->parentWidget() ? pGrid->parentWidget() : this;
    pSlider = new QSlider(Qt::Horizontal, pParent);
    pSlider->setRange(0, nMaximum);
    pSlider->setValue(nValue);
    // Two sliders share a row of the narrow tab window; their usual minimum
    // width would widen the page past it.
    pSlider->setMinimumWidth(40);
    pSpinBox = new QSpinBox(pParent);
    pSpinBox->setRange(0, nMaximum);
    pSpinBox->setValue(nValue);
    pGrid->addWidget(new QLabel(strLabel, pParent), nRow, nColumn);
    pGrid->addWidget(pSlider, nRow, nColumn + 1);
    pGrid->addWidget(pSpinBox, nRow, nColumn + 2);
}

QGroupBox* CTabScreen::CreateSettingsGroup()
{
    QGroupBox* pGroup = new QGroupBox(tr("Settings"), this);
    QGridLayout* pGrid = new QGridLayout(pGroup);

    m_pChkEnable = new QCheckBox(tr("Enable screen output"), pGroup);
    const bool bOutputOn = g_settings.GetScreen();
    m_pChkEnable->setChecked(bOutputOn);
    pGrid->addWidget(m_pChkEnable, 0, 0, 1, Projection::SLOT_COUNT);

    // The label stands above the screens, as the Settings tab's labels do:
    // beside them the row would not fit the tab window.
    pGrid->addWidget(new QLabel(tr("Projection:"), pGroup), 1, 0, 1, Projection::SLOT_COUNT);
    const QString strScreen = tr("Screen");
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
    {
        m_apChkScreen[i] = new QCheckBox(QStringLiteral("%1 %2").arg(strScreen).arg(i + 1), pGroup);
        m_apChkScreen[i]->setChecked(g_settings.GetScreenEnabled(i));
        pGrid->addWidget(m_apChkScreen[i], 2, i);
        pGrid->setColumnStretch(i, 1);
    }

    ApplyScreenCountRule(bOutputOn);
    return pGroup;
}

void CTabScreen::ShowStoredBackground()
{
    const QString strStored = g_settings.GetBgPath();
    m_pDemoWnd->SetImage(strStored);
    const QString strShown = Background::Resolve(strStored);
    if (strShown.isEmpty())
    {
        m_pBtnClearImage->setEnabled(false);
        return;
    }
    // The fallback becomes the user's choice, so that the path shows what
    // is on the monitors.
    if (strShown != strStored)
        g_settings.SetBgPath(strShown);
    m_pEdtBackPath->setText(strShown);
}

void CTabScreen::ConnectControls()
{
    connect(m_pBtnSelectImage, &QToolButton::clicked, this, &CTabScreen::OnBtnSelectImage);
    connect(m_pBtnClearImage, &QToolButton::clicked, this, &CTabScreen::OnBtnBackClear);
    connect(m_pChkEnable, &QCheckBox::stateChanged, this, &CTabScreen::OnChkScreenEnable);
    for (QCheckBox* pCheck : m_apChkScreen)
        connect(pCheck, &QCheckBox::stateChanged, this, &CTabScreen::OnChkScreenDisp);
    const QPair<QSpinBox*, QSlider*> aPairs[] = {{m_pSpinLeft, m_pSliderLeft},
                                                 {m_pSpinTop, m_pSliderTop},
                                                 {m_pSpinWidth, m_pSliderWidth},
                                                 {m_pSpinHeight, m_pSliderHeight}};
    for (const auto& pair : aPairs)
    {
        connect(pair.first, QOverload<int>::of(&QSpinBox::valueChanged), pair.second, &QSlider::setValue);
        connect(pair.second, &QSlider::valueChanged, pair.first, &QSpinBox::setValue);
        connect(pair.second, &QSlider::valueChanged, this, &CTabScreen::OnValueChanged);
    }
    // Monitors connected or removed while the program runs.
    const auto fnScreensChanged = [this] { ApplyScreenCountRule(g_settings.GetScreen()); };
    connect(qGuiApp, &QGuiApplication::screenAdded, this, fnScreensChanged);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, fnScreensChanged);
}

KVS_WINDOW CTabScreen::GetPreviewWindow() const
{
    return m_pPreviewRect->GetWindowHandle();
}

QRect CTabScreen::GetPreviewRect() const
{
    return m_pPreviewRect->geometry();
}

void CTabScreen::ApplyScreenCountRule(bool bOutputOn)
{
    const Projection::SScreenControls controls = Projection::ComputeScreenControls(ScreenCount(), bOutputOn);
    m_pChkEnable->setEnabled(controls.bEnableOutput);
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
        m_apChkScreen[i]->setEnabled(controls.abScreen[i]);
}

void CTabScreen::PlacePreviewRect(const QRect& rcOutput, const QSize& sizeOutput)
{
    m_pPreviewRect->setGeometry(Projection::ScaleToPreview(rcOutput, sizeOutput));
    // The rectangle is a native window of its own; the whole preview is
    // painted again, so that nothing of its old picture stays where it was.
    m_pDemoWnd->update();
}

QRect CTabScreen::SliderRect() const
{
    return QRect(m_pSliderLeft->value(), m_pSliderTop->value(), m_pSliderWidth->value(), m_pSliderHeight->value());
}

void CTabScreen::OnBtnSelectImage()
{
    const QString strFile =
        QFileDialog::getOpenFileName(this, tr("Open File"), g_settings.GetBgPath(), tr("Images (*.png *.xpm *.jpg)"));
    if (strFile.isEmpty())
        return;
    g_settings.SetBgPath(strFile);
    if (CProjectionController* pProjection = CProjectionController::GetPublished())
        pProjection->SetBackground(strFile);
    m_pDemoWnd->SetImage(strFile);
    m_pEdtBackPath->setText(strFile);
    m_pBtnClearImage->setEnabled(true);
}

void CTabScreen::OnBtnBackClear()
{
    QMessageBox box(QMessageBox::Information, GetAppTitle(), tr("Do you confirm to clear background image?"),
                    QMessageBox::NoButton, this);
    QPushButton* pYes = box.addButton(tr("Yes"), QMessageBox::YesRole);
    QPushButton* pNo = box.addButton(tr("No"), QMessageBox::NoRole);
    box.setDefaultButton(pYes);
    // Closing the box without an answer keeps the image: only "Yes" clears.
    box.setEscapeButton(pNo);
    box.exec();
    if (box.clickedButton() != pYes)
        return;

    g_settings.SetBgPath(Background::ClearedPath());
    if (CProjectionController* pProjection = CProjectionController::GetPublished())
        pProjection->SetBackground(Background::ClearedPath());
    m_pDemoWnd->SetImage(Background::ClearedPath());
    m_pEdtBackPath->clear();
    m_pBtnClearImage->setEnabled(false);
}

void CTabScreen::OnChkScreenEnable(int nState)
{
    const bool bOn = nState == Qt::Checked;
    g_settings.SetScreen(bOn);
    ApplyScreenCountRule(bOn);
    CProjectionController* pProjection = CProjectionController::GetPublished();
    if (!pProjection)
        return;
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
        pProjection->ShowScreen(i, bOn && g_settings.GetScreenEnabled(i));
}

void CTabScreen::OnChkScreenDisp(int nState)
{
    for (int i = 0; i < Projection::SLOT_COUNT; ++i)
    {
        if (sender() != m_apChkScreen[i])
            continue;
        const bool bOn = nState == Qt::Checked;
        if (CProjectionController* pProjection = CProjectionController::GetPublished())
            pProjection->ShowScreen(i, bOn);
        g_settings.SetScreenEnabled(i, bOn);
    }
}

void CTabScreen::OnValueChanged(int nValue)
{
    Q_UNUSED(nValue);
    if (m_bRescaling)
        return;
    const QSize sizeOutput = OutputSize();
    const QRect rc = SliderRect();
    g_settings.SetScreenPos(rc.x(), rc.y(), rc.width(), rc.height());
    if (CProjectionController* pProjection = CProjectionController::GetPublished())
        pProjection->SetPosition(rc.x(), rc.y(), rc.width(), rc.height());
    PlacePreviewRect(rc, sizeOutput);
    g_capture.UpdateScreenTabRenderer();
}

void CTabScreen::SetMaxima(const QSize& sizeOutput)
{
    for (QSlider* pSlider : {m_pSliderLeft, m_pSliderWidth})
        pSlider->setMaximum(sizeOutput.width());
    for (QSpinBox* pSpin : {m_pSpinLeft, m_pSpinWidth})
        pSpin->setMaximum(sizeOutput.width());
    for (QSlider* pSlider : {m_pSliderTop, m_pSliderHeight})
        pSlider->setMaximum(sizeOutput.height());
    for (QSpinBox* pSpin : {m_pSpinTop, m_pSpinHeight})
        pSpin->setMaximum(sizeOutput.height());
}

void CTabScreen::OnOutputSizeChanged()
{
    const QSize sizeNew = OutputSize();
    const QSize sizeOld(m_pSpinLeft->maximum(), m_pSpinTop->maximum());
    const QRect rc = Projection::ScaleToNewOutput(SliderRect(), sizeOld, sizeNew);

    // Lowering a maximum clamps the values one by one; every intermediate
    // rectangle would be stored and placed, so the slot waits for the end.
    m_bRescaling = true;
    SetMaxima(sizeNew);
    m_pSpinLeft->setValue(rc.x());
    m_pSpinTop->setValue(rc.y());
    m_pSpinWidth->setValue(rc.width());
    m_pSpinHeight->setValue(rc.height());
    m_bRescaling = false;

    g_settings.SetScreenPos(rc.x(), rc.y(), rc.width(), rc.height());
    if (CProjectionController* pProjection = CProjectionController::GetPublished())
        pProjection->SetPosition(rc.x(), rc.y(), rc.width(), rc.height());
    PlacePreviewRect(rc, sizeNew);
    g_capture.UpdateScreenTabRenderer();
}
