#pragma once

#include "config/CSettings.h"

#include <QString>

// The stored values that describe one scene of studio mode: the layout and
// where each channel stands in it, the logo, the caption and the clock.
// Preview and Program swap on a take; the settings, which the tabs show and
// edit, always hold Preview's, so Program's are kept aside in one of these.
struct SSceneSettings
{
    static const int CHANNEL_COUNT = CSettings::CHANNEL_COUNT;
    static const int COLOR_COUNT = CSettings::COLOR_TIME_BORDER + 1;

    int nLayout = 0;
    int anPosition[CHANNEL_COUNT] = {-1, -1, -1, -1, -1, -1};
    int nLogo = -1;
    int nLogoCorner = 0;
    int nLogoSize = 0;
    QString strCaption;
    SCaptionData captionData;
    int anCaptionOpt[7] = {};
    int anTimeOpt[4] = {};
    int aanColor[COLOR_COUNT][3] = {};
};

SSceneSettings ReadSceneSettings(const CSettings& settings);
void WriteSceneSettings(CSettings& settings, const SSceneSettings& scene);
