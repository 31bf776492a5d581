// The background image behind the projected picture, shared by the Screen
// tab's preview and the projection windows so that both always show the same
// file, and its loading, which is kept off the user-interface thread.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>

namespace Background
{
// The stored text that means "the user cleared the image".
QString ClearedPath();

// The image shipped beside the executable, used when none is chosen.
QString FallbackPath();

// The file to show for the stored "bgpath": the stored file when it exists;
// else, unless the user cleared it, the fallback when that exists; else an
// empty text (no image).
QString Resolve(const QString& strStored);

// Largest picture we decode, in pixels. A larger file would take seconds and
// hundreds of megabytes only to be scaled down to a monitor.
const qint64 MAX_DECODE_PIXELS = 64 * 1024 * 1024;

// Decodes strPath scaled to sizeTarget (aspect ratio ignored, the image is
// stretched over the window). The declared size is read first: an unreadable
// file or one over MAX_DECODE_PIXELS gives a null image. Any thread.
QImage LoadScaled(const QString& strPath, const QSize& sizeTarget);

// LoadScaled on a pool thread; fnDone gets the result on pReceiver's
// (user-interface) thread, and only while pReceiver still exists.
void LoadScaledAsync(const QString& strPath, const QSize& sizeTarget, QObject* pReceiver,
                     std::function<void(const QImage&)> fnDone);
}
