#include "config/SceneSettings.h"

SSceneSettings ReadSceneSettings(const CSettings& settings)
{
    SSceneSettings scene;
    scene.nLayout = settings.GetLayoutIndex();
    for (int nChannel = 0; nChannel < SSceneSettings::CHANNEL_COUNT; ++nChannel)
        scene.anPosition[nChannel] = settings.GetChannelPosition(nChannel);
    settings.GetLogo(scene.nLogo, scene.nLogoCorner, scene.nLogoSize);
    scene.strCaption = settings.GetCaption();
    scene.captionData = settings.GetCaptionDataRecord();
    int* pOpt = scene.anCaptionOpt;
    settings.GetCaptionOpt(pOpt[0], pOpt[1], pOpt[2], pOpt[3], pOpt[4], pOpt[5], pOpt[6]);
    int* pTime = scene.anTimeOpt;
    settings.GetTimeOpt(pTime[0], pTime[1], pTime[2], pTime[3]);
    for (int nWhich = 0; nWhich < SSceneSettings::COLOR_COUNT; ++nWhich)
    {
        int* pColor = scene.aanColor[nWhich];
        settings.GetColor(nWhich, pColor[0], pColor[1], pColor[2]);
    }
    return scene;
}

void WriteSceneSettings(CSettings& settings, const SSceneSettings& scene)
{
    settings.SetLayoutIndex(scene.nLayout);
    for (int nChannel = 0; nChannel < SSceneSettings::CHANNEL_COUNT; ++nChannel)
        settings.SetChannelPosition(nChannel, scene.anPosition[nChannel]);
    settings.SetLogo(scene.nLogo, scene.nLogoCorner, scene.nLogoSize);
    settings.SetCaption(scene.strCaption);
    settings.SetCaptionDataRecord(scene.captionData);
    const int* pOpt = scene.anCaptionOpt;
    settings.SetCaptionOpt(pOpt[0], pOpt[1], pOpt[2], pOpt[3], pOpt[4], pOpt[5], pOpt[6]);
    const int* pTime = scene.anTimeOpt;
    settings.SetTimeOpt(pTime[0], pTime[1], pTime[2], pTime[3]);
    for (int nWhich = 0; nWhich < SSceneSettings::COLOR_COUNT; ++nWhich)
    {
        const int* pColor = scene.aanColor[nWhich];
        settings.SetColor(nWhich, pColor[0], pColor[1], pColor[2]);
    }
}
