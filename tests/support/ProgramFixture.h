// The program's own start-up, for tests that build its windows in this
// process: resources and texts, the engine on the configured devices, the
// channel table and the layouts. Pairs with StopProgram() at the end.
#pragma once

#include "common/AppInfo.h"
#include "engine/CKVCapture.h"
#include "config/CLayout.h"
#include "config/CSettings.h"

#include <QtGlobal>

// Outside any namespace: the resource initialiser is a global function.
inline void InitProgramResources()
{
    Q_INIT_RESOURCE(vistrel);
}

namespace ProgramFixture
{
// False when the engine or the layout file cannot be had; the caller's
// QVERIFY then names the test that could not start.
inline bool StartProgram()
{
    InitProgramResources();
    InitAppTexts();
    if (!g_capture.Init())
        return false;
    g_settings.LoadAssignments(g_capture.GetOrderedDeviceCount(),
                               [](int nDevice) { return g_capture.IsDeviceOrdered(nDevice); });
    return g_layout.Load();
}

inline void StopProgram()
{
    g_capture.Uninit();
}
}
