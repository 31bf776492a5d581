// The device property dialog the media layer asks for: the device's four
// picture controls as sliders, applied as they move.
#include "ui/dialogs/DevicePropertyDialog.h"

#include "media/KVProperty.h"
#include "media/KVStream.h"
#include "platform/Log.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QThread>
#include <QVBoxLayout>

namespace
{
const char* const CONTEXT = "KVPropertyDialog";

struct SControlRow
{
    int nId;
    const char* pszLabel;
};

const SControlRow s_aRows[] = {
    {KVPHD_PARAM_BRIGHTNESS, QT_TRANSLATE_NOOP("KVPropertyDialog", "Brightness:")},
    {KVPHD_PARAM_CONTRAST, QT_TRANSLATE_NOOP("KVPropertyDialog", "Contrast:")},
    {KVPHD_PARAM_HUE, QT_TRANSLATE_NOOP("KVPropertyDialog", "Hue:")},
    {KVPHD_PARAM_SATURATION, QT_TRANSLATE_NOOP("KVPropertyDialog", "Saturation:")},
};
}

int ShowPropertyDialog(KVS_HANDLE hCapture, KVS_WINDOW hParent, void* /*pUser*/)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) ||
        QThread::currentThread() != QCoreApplication::instance()->thread())
    {
        Log::Error("ui", QStringLiteral("the property dialog needs the widget application's thread"));
        return 0;
    }
    const KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(hCapture);
    if (!hProperty)
        return 0;

    QDialog dialog(hParent ? QWidget::find(WId(hParent)) : nullptr);
    dialog.setObjectName(QStringLiteral("KVPropertyDialog"));
    dialog.setWindowTitle(QCoreApplication::translate("KVPropertyDialog", "Device Properties"));
    auto* pGrid = new QGridLayout;
    QList<QPair<int, QSlider*>> listSliders;
    for (int nRow = 0; nRow < int(sizeof(s_aRows) / sizeof(s_aRows[0])); ++nRow)
    {
        const int nId = s_aRows[nRow].nId;
        int nMin = 0, nMax = 0, nDefault = 0, nValue = 0;
        const bool bRange = KVPHD_GetVideoProcParamRange(hProperty, nId, &nMin, &nMax, &nDefault) != 0;
        const bool bValue = KVPHD_GetVideoProcParam(hProperty, nId, &nValue) != 0;

        auto* pSlider = new QSlider(Qt::Horizontal);
        pSlider->setObjectName(QStringLiteral("slider%1").arg(nId));
        auto* pValue = new QLabel;
        pValue->setMinimumWidth(pValue->fontMetrics().horizontalAdvance(QStringLiteral("-00000")));
        pSlider->setRange(nMin, nMax);
        pSlider->setValue(nValue);
        pValue->setNum(nValue);
        // A control the device does not have stays visible but inert.
        pSlider->setEnabled(bRange && bValue);
        QObject::connect(pSlider, &QSlider::valueChanged, pValue, [hProperty, nId, pValue](int nNewValue) {
            KVPHD_SetVideoProcParam(hProperty, nId, nNewValue);
            pValue->setNum(nNewValue);
        });
        pGrid->addWidget(new QLabel(QCoreApplication::translate(CONTEXT, s_aRows[nRow].pszLabel)), nRow, 0);
        pGrid->addWidget(pSlider, nRow, 1);
        pGrid->addWidget(pValue, nRow, 2);
        listSliders.append(qMakePair(nId, pSlider));
    }
    pGrid->setColumnMinimumWidth(1, 240);

    auto* pDefault = new QPushButton(QCoreApplication::translate("KVPropertyDialog", "Default"));
    pDefault->setObjectName(QStringLiteral("buttonDefault"));
    auto* pClose = new QPushButton(QCoreApplication::translate("KVPropertyDialog", "Close"));
    QObject::connect(pDefault, &QPushButton::clicked, &dialog, [hProperty, listSliders] {
        for (const auto& entry : listSliders)
        {
            int nMin = 0, nMax = 0, nDefault = 0;
            if (entry.second->isEnabled() &&
                KVPHD_GetVideoProcParamRange(hProperty, entry.first, &nMin, &nMax, &nDefault))
                entry.second->setValue(nDefault);
        }
    });
    QObject::connect(pClose, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(pDefault);
    pButtons->addWidget(pClose);

    auto* pMain = new QVBoxLayout(&dialog);
    pMain->addLayout(pGrid);
    pMain->addLayout(pButtons);

    dialog.exec();
    KVP_ClosePropertyHandle(hProperty);
    return 1;
}

void RegisterPropertyDialog()
{
    KVS_SetPropertyDialogHandler(&ShowPropertyDialog, nullptr);
}
