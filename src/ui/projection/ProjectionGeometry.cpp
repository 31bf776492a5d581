#include "ui/projection/ProjectionGeometry.h"

namespace Projection
{
namespace
{
// 64-bit so that large values times a monitor size cannot overflow.
int Scale(int nValue, int nTo, int nFrom)
{
    return nFrom > 0 ? int(qint64(nValue) * nTo / nFrom) : 0;
}

int Even(int nValue)
{
    return nValue & ~1;
}
}

QRect ScaleToScreen(const QRect& rcOutput, const QSize& sizeOutput, const QSize& sizeScreen)
{
    if (sizeOutput.isEmpty())
        return QRect();
    const int nLeft = Even(Scale(rcOutput.x(), sizeScreen.width(), sizeOutput.width()));
    const int nTop = Even(Scale(rcOutput.y(), sizeScreen.height(), sizeOutput.height()));
    const int nWidth = Even(Scale(rcOutput.width(), sizeScreen.width(), sizeOutput.width()));
    const int nHeight = Even(Scale(rcOutput.height(), sizeScreen.height(), sizeOutput.height()));
    return QRect(nLeft, nTop, nWidth, nHeight);
}

QRect ScaleToPreview(const QRect& rcOutput, const QSize& sizeOutput)
{
    return QRect(Scale(rcOutput.x(), PREVIEW_WIDTH, sizeOutput.width()),
                 Scale(rcOutput.y(), PREVIEW_HEIGHT, sizeOutput.height()),
                 Scale(rcOutput.width(), PREVIEW_WIDTH, sizeOutput.width()),
                 Scale(rcOutput.height(), PREVIEW_HEIGHT, sizeOutput.height()));
}

QRect ScaleToNewOutput(const QRect& rcOutput, const QSize& sizeOld, const QSize& sizeNew)
{
    return QRect(Scale(rcOutput.x(), sizeNew.width(), sizeOld.width()),
                 Scale(rcOutput.y(), sizeNew.height(), sizeOld.height()),
                 Scale(rcOutput.width(), sizeNew.width(), sizeOld.width()),
                 Scale(rcOutput.height(), sizeNew.height(), sizeOld.height()));
}

SScreenControls ComputeScreenControls(int nScreens, bool bOutputOn)
{
    SScreenControls controls;
    // The first monitor is the operator's; without another one there is
    // nothing to project onto.
    controls.bEnableOutput = nScreens > 1;
    if (!bOutputOn || nScreens <= 1)
        return controls;
    for (int i = 0; i < SLOT_COUNT; ++i)
        controls.abScreen[i] = i + 1 < nScreens;
    return controls;
}
}
