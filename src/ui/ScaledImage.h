// Pictures decoded straight to the size they are shown at, and the loading
// of them off the user-interface thread.
#pragma once

#include <QImage>
#include <QSize>

#include <functional>

class QImageReader;
class QObject;

namespace ScaledImage
{
// What reader.setScaledSize(sizeScaled) and reader.read() give, but a PNG
// never held at its full size: Qt decodes PNG whole and scales afterwards,
// which for a 16-bit picture of 64 megapixels is half a gigabyte before
// the scaling even starts. sizeScaled is in the file's own orientation, as
// for setScaledSize; the reader's automatic turn applies afterwards. Null,
// with the reader's error, when the file cannot be decoded. Any thread.
QImage Read(QImageReader& reader, const QSize& sizeScaled);

// fnLoad on a pool thread; fnDone gets its result on pReceiver's
// (user-interface) thread, and only while pReceiver still exists.
void LoadAsync(QObject* pReceiver, std::function<QImage()> fnLoad, std::function<void(const QImage&)> fnDone);
}
