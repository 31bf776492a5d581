#include "ui/projection/BackgroundImage.h"

#include "common/OutputPaths.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>

namespace
{
// Carries a result back to the user-interface thread. It is created there,
// and only the queued call deletes it, so the pool thread always hands over
// a live object; the receiver is checked on the user-interface thread.
class CLoadReply : public QObject
{
public:
    CLoadReply(QObject* pReceiver, std::function<void(const QImage&)> fnDone)
        : m_pReceiver(pReceiver)
        , m_fnDone(std::move(fnDone))
    {
    }

    void Deliver(const QImage& image)
    {
        if (m_pReceiver)
            m_fnDone(image);
        delete this;
    }

private:
    QPointer<QObject> m_pReceiver;
    std::function<void(const QImage&)> m_fnDone;
};
}

namespace Background
{
QString ClearedPath()
{
    return QStringLiteral("0");
}

QString FallbackPath()
{
    return QStringLiteral("%1/%2").arg(GetExeDir(), QStringLiteral("logo.jpg"));
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
    // Formats that can decode at a smaller size do so; the others are
    // scaled after decoding.
    reader.setScaledSize(sizeTarget);
    QImage image = reader.read();
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
    CLoadReply* pReply = new CLoadReply(pReceiver, std::move(fnDone));
    QThreadPool::globalInstance()->start([pReply, strPath, sizeTarget] {
        const QImage image = LoadScaled(strPath, sizeTarget);
        QMetaObject::invokeMethod(
            pReply, [pReply, image] { pReply->Deliver(image); }, Qt::QueuedConnection);
    });
}
}
