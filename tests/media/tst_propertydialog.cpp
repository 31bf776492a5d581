// The device property dialog, opened through the media layer and driven the
// way a user would.
#include "CaptureTestUtil.h"
#include "media/KVProperty.h"
#include "ui/dialogs/DevicePropertyDialog.h"

#include <QApplication>
#include <QPushButton>
#include <QScopeGuard>
#include <QSlider>
#include <QtTest>

#include <thread>

class TestPropertyDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("VISTREL_VIRTUAL_VIDEO", "Desk");
        QVERIFY(KVS_Initialize());
        RegisterPropertyDialog();
    }
    void cleanupTestCase() { KVS_Uninitialize(); }

    void slidersShowAndWriteTheDeviceControls()
    {
        const KVS_HANDLE hCapture = OpenDevice(0);
        const KVS_HANDLE hProperty = KVS_OpenVideoCapturePropertyHandle(hCapture);
        QVERIFY(KVPHD_SetVideoProcParam(hProperty, KVPHD_PARAM_BRIGHTNESS, 50));

        QWidget parent;
        bool bChecked = false;
        QTimer::singleShot(0, this, [&] {
            // Whatever fails below, the dialog must still close.
            const auto closeGuard = qScopeGuard([] {
                if (QWidget* pModal = QApplication::activeModalWidget())
                    pModal->close();
            });
            QWidget* pDialog = QApplication::activeModalWidget();
            QVERIFY(pDialog);
            QCOMPARE(pDialog->parentWidget(), &parent);
            auto* pBrightness = pDialog->findChild<QSlider*>(QStringLiteral("slider0"));
            auto* pContrast = pDialog->findChild<QSlider*>(QStringLiteral("slider1"));
            auto* pHue = pDialog->findChild<QSlider*>(QStringLiteral("slider2"));
            QVERIFY(pBrightness && pContrast && pHue);
            QCOMPARE(pBrightness->value(), 50);
            QCOMPARE(pBrightness->maximum(), 255);
            pContrast->setValue(200);
            int nValue = 0;
            QVERIFY(KVPHD_GetVideoProcParam(hProperty, KVPHD_PARAM_CONTRAST, &nValue));
            QCOMPARE(nValue, 200);

            pDialog->findChild<QPushButton*>(QStringLiteral("buttonDefault"))->click();
            QCOMPARE(pBrightness->value(), 128);
            QCOMPARE(pContrast->value(), 128);
            pHue->setValue(77);
            bChecked = true;
        });
        QCOMPARE(KVS_ShowVideoCapturePropertyDialog(hCapture, KVS_WINDOW(parent.winId())), 1);
        QVERIFY(bChecked);

        int nValue = 0;
        QVERIFY(KVPHD_GetVideoProcParam(hProperty, KVPHD_PARAM_BRIGHTNESS, &nValue));
        QCOMPARE(nValue, 128);
        QVERIFY(KVPHD_GetVideoProcParam(hProperty, KVPHD_PARAM_HUE, &nValue));
        QCOMPARE(nValue, 77);
        KVP_ClosePropertyHandle(hProperty);
        KVS_CloseVideoCapture(hCapture);
    }

    void refusedOffTheWidgetThreadOrWithoutCapture()
    {
        const KVS_HANDLE hCapture = OpenDevice(0);
        int nResult = -1;
        std::thread worker([&] { nResult = KVS_ShowVideoCapturePropertyDialog(hCapture, 0); });
        worker.join();
        QCOMPARE(nResult, 0);
        KVS_CloseVideoCapture(hCapture);
        QCOMPARE(KVS_ShowVideoCapturePropertyDialog(hCapture, 0), 0);
    }
};

QTEST_MAIN(TestPropertyDialog)
#include "tst_propertydialog.moc"
