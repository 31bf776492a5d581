// Where overlay pictures come from: image files and rendered caption text.
// Both return premultiplied ARGB, or a null image on failure (with a
// diagnostic line). Heavy; run them outside any lock.
#pragma once

#include "media/KVMixer.h"

#include <QImage>
#include <QString>

namespace OverlaySources
{
// nWidth x nHeight with smooth scaling; 0 x 0 = natural size; one 0 follows
// the other dimension's scale. Negative sizes count as 0. A file whose
// header declares more than the largest overlay is refused before it is
// decoded, and the reader is asked to decode at the size wanted.
QImage LoadImageFile(const QString& strPath, int nWidth, int nHeight);

// One line of text on a transparent background, as large as the text plus its
// outline. False when it cannot be rendered; text of no width succeeds with
// a null image.
bool RenderCaption(const QString& strText, const QString& strFont, const KVS_CAPTION_STYLE& style, QImage& image);
}
