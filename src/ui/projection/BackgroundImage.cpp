#include "ui/projection/BackgroundImage.h"

#include "common/OutputPaths.h"
#include "platform/Platform.h"
#include "platform/Log.h"
#include "ui/ScaledImage.h"

#include <QFileInfo>
#include <QImageReader>

namespace Background
{
QString ClearedPath()
{
    return QStringLiteral("0");
}

QString FallbackPath()
{
    return QStringLiteral("%1/%2").arg(Platform::GetDataDir(), QStringLiteral("logo.jpg"));
}

QString Resolve(const QString& strStored)
{
    if (!strStored.isEmpty() && QFileInfo(strStored).isFile())
        return strStored;
    if (strStored != ClearedPath() && QFileInfo(FallbackPath()).isFile())
        return FallbackPath();
    return QString();
}

QImage LoadScaled(const QString& strPath, const QSize& sizeTarget)
{
    if (strPath.isEmpty() || sizeTarget.isEmpty())
        return QImage();
    QImageReader reader(strPath);
    const QSize sizeDeclared = reader.size();
    if (!sizeDeclared.isValid() || sizeDeclared.isEmpty())
    {
        Log::Warning("ui", QStringLiteral("Background %1 is not a readable image").arg(strPath));
        return QImage();
    }
    if (qint64(sizeDeclared.width()) * sizeDeclared.height() > MAX_DECODE_PIXELS)
    {
        Log::Warning("ui", QStringLiteral("Background %1 is too large (%2 x %3)")
                               .arg(strPath)
                               .arg(sizeDeclared.width())
                               .arg(sizeDeclared.height()));
        return QImage();
    }
    // Decoded at the monitor's size, never at the file's: a photograph of
    // tens of megapixels would otherwise take a gigabyte on its way there.
    QImage image = ScaledImage::Read(reader, sizeTarget);
    if (image.isNull())
    {
        Log::Warning("ui", QStringLiteral("Background %1 could not be decoded: %2").arg(strPath, reader.errorString()));
        return QImage();
    }
    if (image.size() != sizeTarget)
        image = image.scaled(sizeTarget, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

void LoadScaledAsync(const QString& strPath, const QSize& sizeTarget, QObject* pReceiver,
                     std::function<void(const QImage&)> fnDone)
{
    ScaledImage::LoadAsync(
        pReceiver, [strPath, sizeTarget] { return LoadScaled(strPath, sizeTarget); }, std::move(fnDone));
}
}
