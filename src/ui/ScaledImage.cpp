#include "ui/ScaledImage.h"

#include <QFile>
#include <QImageReader>
#include <QPointer>
#include <QThreadPool>
#include <QTransform>

#include <png.h>

#include <csetjmp>
#include <memory>
#include <vector>

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

// A load waiting for, or running on, a pool thread.
struct SPoolJob
{
    std::function<QImage()> fnLoad;
    CLoadReply* pReply;
};

// libpng's state for one file. It lives on the heap, set up before the
// error return point, so that nothing the decoder changes is lost when
// libpng jumps back there.
struct SPngRead
{
    QFile file;
    png_structp pPng = nullptr;
    png_infop pInfo = nullptr;
    // Sums of the source pixels falling into each picture of the current
    // output row, colours weighted by alpha.
    std::vector<uint64_t> vecSum;
    std::vector<uint32_t> vecColumns; // source columns per output column
    std::vector<int> vecTarget;       // output column of each source column
    std::vector<uint8_t> vecRow;
    QImage image;

    ~SPngRead()
    {
        if (pPng)
            png_destroy_read_struct(&pPng, pInfo ? &pInfo : nullptr, nullptr);
    }
};

// Called by libpng with no object of ours alive in between, so the jump
// back skips nothing that needs destroying.
void PngRead(png_structp pPng, png_bytep pData, size_t nLength)
{
    QFile* pFile = static_cast<QFile*>(png_get_io_ptr(pPng));
    if (pFile->read(reinterpret_cast<char*>(pData), qint64(nLength)) != qint64(nLength))
        png_error(pPng, "file cut short");
}

void PngWarning(png_structp, png_const_charp) {}

// Writes output row nRow from the sums, nRows source rows deep.
void FlushRow(SPngRead& read, int nRow, uint32_t nRows)
{
    uint8_t* pOut = read.image.scanLine(nRow);
    for (int x = 0; x < read.image.width(); ++x)
    {
        const uint64_t nCount = uint64_t(read.vecColumns[size_t(x)]) * nRows;
        const uint64_t* pSum = &read.vecSum[size_t(x) * 4];
        for (int c = 0; c < 3; ++c)
            pOut[x * 4 + c] = uint8_t(pSum[c] / (255 * nCount));
        pOut[x * 4 + 3] = uint8_t(pSum[3] / nCount);
    }
    std::fill(read.vecSum.begin(), read.vecSum.end(), 0);
}

// Decodes a PNG a row at a time, each row averaged into the output as it
// comes, to at most sizeMax: memory for one source row and the output.
// Null for an interlaced file (its rows come in several passes over the
// whole picture) and for any error; the caller then lets Qt try.
QImage ReadPngReduced(const QString& strPath, const QSize& sizeMax)
{
    std::unique_ptr<SPngRead> pRead(new SPngRead);
    pRead->file.setFileName(strPath);
    if (!pRead->file.open(QIODevice::ReadOnly))
        return QImage();
    pRead->pPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, PngWarning);
    if (!pRead->pPng)
        return QImage();
    pRead->pInfo = png_create_info_struct(pRead->pPng);
    if (!pRead->pInfo)
        return QImage();
    SPngRead& read = *pRead;
    // Where libpng comes back to on an error. Nothing below that needs
    // destroying lives outside pRead (a jump past it would be undefined).
    if (setjmp(png_jmpbuf(read.pPng)))
        return QImage();
    png_set_read_fn(read.pPng, &read.file, PngRead);
    png_read_info(read.pPng, read.pInfo);
    png_uint_32 nWidth = 0;
    png_uint_32 nHeight = 0;
    int nDepth = 0;
    int nColor = 0;
    int nInterlace = 0;
    png_get_IHDR(read.pPng, read.pInfo, &nWidth, &nHeight, &nDepth, &nColor, &nInterlace, nullptr, nullptr);
    if (nInterlace != PNG_INTERLACE_NONE || nWidth == 0 || nHeight == 0)
        return QImage();
    // Everything to 8-bit RGBA: the screen shows no more.
    png_set_expand(read.pPng);
    png_set_strip_16(read.pPng);
    if (!(nColor & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(read.pPng);
    if (!(nColor & PNG_COLOR_MASK_ALPHA) && !png_get_valid(read.pPng, read.pInfo, PNG_INFO_tRNS))
        png_set_add_alpha(read.pPng, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(read.pPng, read.pInfo);
    if (png_get_rowbytes(read.pPng, read.pInfo) != size_t(nWidth) * 4)
        return QImage();

    const int nOutWidth = int(std::min<png_uint_32>(nWidth, png_uint_32(sizeMax.width())));
    const int nOutHeight = int(std::min<png_uint_32>(nHeight, png_uint_32(sizeMax.height())));
    read.image = QImage(nOutWidth, nOutHeight, QImage::Format_RGBA8888_Premultiplied);
    if (read.image.isNull())
        return QImage();
    read.vecRow.resize(size_t(nWidth) * 4);
    read.vecSum.assign(size_t(nOutWidth) * 4, 0);
    // Source column x goes to output column x * nOutWidth / nWidth: every
    // output column gets at least one, as there are no more of them.
    read.vecTarget.resize(nWidth);
    read.vecColumns.assign(size_t(nOutWidth), 0);
    for (png_uint_32 x = 0; x < nWidth; ++x)
    {
        read.vecTarget[x] = int(uint64_t(x) * uint64_t(nOutWidth) / nWidth);
        ++read.vecColumns[size_t(read.vecTarget[x])];
    }

    uint32_t nRows = 0;
    for (png_uint_32 y = 0; y < nHeight; ++y)
    {
        png_read_row(read.pPng, read.vecRow.data(), nullptr);
        const uint8_t* pIn = read.vecRow.data();
        for (png_uint_32 x = 0; x < nWidth; ++x, pIn += 4)
        {
            uint64_t* pSum = &read.vecSum[size_t(read.vecTarget[x]) * 4];
            const uint32_t nAlpha = pIn[3];
            pSum[0] += uint32_t(pIn[0]) * nAlpha;
            pSum[1] += uint32_t(pIn[1]) * nAlpha;
            pSum[2] += uint32_t(pIn[2]) * nAlpha;
            pSum[3] += nAlpha;
        }
        ++nRows;
        const int nOutRow = int(uint64_t(y) * uint64_t(nOutHeight) / nHeight);
        const bool bLast = y + 1 == nHeight || int(uint64_t(y + 1) * uint64_t(nOutHeight) / nHeight) != nOutRow;
        if (bLast)
        {
            FlushRow(read, nOutRow, nRows);
            nRows = 0;
        }
    }
    return read.image;
}

// As Qt turns a picture for its reader's automatic transformation.
QImage Transformed(const QImage& image, QImageIOHandler::Transformations eTurn)
{
    if (eTurn == QImageIOHandler::TransformationNone)
        return image;
    if (eTurn == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    QImage turned =
        image.mirrored(eTurn & QImageIOHandler::TransformationMirror, eTurn & QImageIOHandler::TransformationFlip);
    if (eTurn & QImageIOHandler::TransformationRotate90)
        turned = turned.transformed(QTransform().rotate(90));
    return turned;
}
}

namespace ScaledImage
{
QImage Read(QImageReader& reader, const QSize& sizeScaled)
{
    const bool bScaled = sizeScaled.isValid() && !sizeScaled.isEmpty();
    const QSize sizeStored = reader.size();
    const bool bSmaller = bScaled && sizeStored.isValid() &&
                          (sizeStored.width() > sizeScaled.width() || sizeStored.height() > sizeScaled.height());
    if (bSmaller && !reader.fileName().isEmpty() && reader.format() == "png")
    {
        QImage image = ReadPngReduced(reader.fileName(), sizeScaled);
        if (!image.isNull())
        {
            // Averaging gets to at most the size asked for; what is left
            // is a small picture for Qt to scale.
            if (image.size() != sizeScaled)
                image = image.scaled(sizeScaled, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            return reader.autoTransform() ? Transformed(image, reader.transformation()) : image;
        }
    }
    if (bScaled)
        reader.setScaledSize(sizeScaled);
    return reader.read();
}

// Runs a job on its pool thread, and frees it there. The job is handed
// over through Qt's own locks, which the thread sanitizer does not see: its
// suppressions name LoadAsync, which every frame of the hand-over carries,
// this function's included (see tests/sanitizers/tsan.supp).
static void LoadAsyncRun(SPoolJob* pJob)
{
    const QImage image = pJob->fnLoad();
    CLoadReply* pReply = pJob->pReply;
    delete pJob;
    QMetaObject::invokeMethod(
        pReply, [pReply, image] { pReply->Deliver(image); }, Qt::QueuedConnection);
}

void LoadAsync(QObject* pReceiver, std::function<QImage()> fnLoad, std::function<void(const QImage&)> fnDone)
{
    SPoolJob* pJob = new SPoolJob{std::move(fnLoad), new CLoadReply(pReceiver, std::move(fnDone))};
    QThreadPool::globalInstance()->start([pJob] { LoadAsyncRun(pJob); });
}
}
