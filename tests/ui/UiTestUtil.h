// Shared set-up of the user-interface tests: fresh settings with a small
// output, the engine on virtual cameras with the channel table loaded as at
// start-up, and an output window with a running mixer, so that every
// placement the tabs make is real.
#pragma once

#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "config/CSettings.h"
#include "ui/windows/CVideoWnd.h"

#include <QLabel>
#include <QtTest>

#include <memory>

namespace UiTest
{
const int SIZE_320X240 = 18;
const int RATE_25 = 2;
const int OUTPUT_WIDTH = 320;
const int OUTPUT_HEIGHT = 240;
const int FRAME_DURATION_25 = 400000;
// Generous: the machine may be busy with other builds.
const int WAIT_MS = 20000;

// Nothing stored but a 320 x 240, 25 fps output, which every virtual camera
// can deliver and which keeps the tests cheap.
inline void ResetSettings()
{
    g_settings.clear();
    g_settings.SetOutputFormat(SIZE_320X240, RATE_25);
}

// baDevices as VISTREL_VIRTUAL_VIDEO takes it ("3", or named entries).
// Loads the channel table as start-up does; false when Init found no device.
inline bool StartEngine(const QByteArray& baDevices)
{
    qputenv("VISTREL_VIRTUAL_VIDEO", baDevices);
    const bool bOk = g_capture.Init();
    g_settings.LoadAssignments(g_capture.GetOrderedDeviceCount(),
                               [](int nDevice) { return g_capture.IsDeviceOrdered(nDevice); });
    return bOk;
}

// The output preview with a running mixer, as the output panel builds it.
inline std::unique_ptr<CVideoWnd> StartOutput()
{
    std::unique_ptr<CVideoWnd> pOutput(new CVideoWnd(CVideoWnd::OUTPUT_CHANNEL, nullptr));
    pOutput->resize(OUTPUT_WIDTH, OUTPUT_HEIGHT);
    pOutput->show();
    if (!g_capture.CreateMixer(OUTPUT_WIDTH, OUTPUT_HEIGHT, FRAME_DURATION_25, pOutput->GetWindowHandle()))
        return nullptr;
    return pOutput;
}

// What the main window's status bar keeps showing until its causes are gone.
inline QString LastingText(QWidget* pMain)
{
    QLabel* pLabel = pMain->findChild<QLabel*>(QStringLiteral("labelLasting"));
    return pLabel && !pLabel->isHidden() ? pLabel->text() : QString();
}

// The rectangle a position of a layout takes in the test output.
inline QRect PositionRect(int nLayout, int nPosition)
{
    QRect rect;
    g_layout.GetPositionRect(nLayout, nPosition, OUTPUT_WIDTH, OUTPUT_HEIGHT, rect);
    return rect;
}

// The size a channel captures at; placing it sets it to its rectangle's.
inline QSize CaptureSize(int nChannel)
{
    const CKVChannel* pChannel = g_capture.GetChannel(nChannel);
    return pChannel ? QSize(pChannel->GetWidth(), pChannel->GetHeight()) : QSize();
}
}
