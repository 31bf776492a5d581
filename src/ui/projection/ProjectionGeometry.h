// The arithmetic of the projection: one rectangle stored in output pixels,
// shown on monitors of other sizes and in the Screen tab's small preview.
#pragma once

#include <QRect>
#include <QSize>

namespace Projection
{
// Up to three monitors besides the first one take the projection.
const int SLOT_COUNT = 3;
// The Screen tab's preview of the whole output.
const int PREVIEW_WIDTH = 376;
const int PREVIEW_HEIGHT = 300;

// rcOutput (in an output of sizeOutput) on a monitor of sizeScreen: each
// value scaled on its own axis, truncated, then rounded down to an even
// number, as the renderer works on pixel pairs. Empty for an empty output.
QRect ScaleToScreen(const QRect& rcOutput, const QSize& sizeOutput, const QSize& sizeScreen);

// rcOutput in the 376 x 300 preview (truncated, no even rounding).
QRect ScaleToPreview(const QRect& rcOutput, const QSize& sizeOutput);

// The stored rectangle after the output size changed from sizeOld to
// sizeNew, so that it keeps its place in the picture.
QRect ScaleToNewOutput(const QRect& rcOutput, const QSize& sizeOld, const QSize& sizeNew);

// Which controls of the Screen tab can be used with nScreens monitors.
struct SScreenControls
{
    bool bEnableOutput = false;
    bool abScreen[SLOT_COUNT] = {false, false, false};
};
SScreenControls ComputeScreenControls(int nScreens, bool bOutputOn);
}
