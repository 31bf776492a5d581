// The owning pointers of the codec libraries' objects: an output format
// context closes the I/O it opened itself but leaves custom I/O to its
// owner, a pointer lent to a call gets back whatever the call left behind,
// and codec headers are replaced with a padded copy. Sanitizer builds catch
// a double or missing free here.
#include "media/core/AvPtr.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

using namespace KVMedia;

namespace
{
int AppendTo(void* pOpaque, uint8_t* pBuffer, int nSize)
{
    static_cast<QByteArray*>(pOpaque)->append(reinterpret_cast<const char*>(pBuffer), nSize);
    return nSize;
}
}

class CAvPtrTest : public QObject
{
    Q_OBJECT

private slots:
    void OnOutputClosesOnlyItsOwnIo_data()
    {
        QTest::addColumn<bool>("bCustomIo");
        QTest::newRow("file opened by the context") << false;
        QTest::newRow("custom I/O outlives the context") << true;
    }

    void OnOutputClosesOnlyItsOwnIo()
    {
        QFETCH(bool, bCustomIo);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString strPath = dir.filePath(QStringLiteral("out.bin"));
        QByteArray abCustom;
        AvCustomIoPtr pIo;
        {
            AvOutputPtr pFormat;
            const int nAlloc = avformat_alloc_output_context2(AvOut(pFormat), nullptr, "mp4", nullptr);
            QVERIFY(nAlloc >= 0 && pFormat);
            if (bCustomIo)
            {
                AvBytesPtr pBuffer(static_cast<uint8_t*>(av_malloc(4096)));
                pIo.reset(avio_alloc_context(pBuffer.get(), 4096, 1, &abCustom, nullptr, &AppendTo, nullptr));
                QVERIFY(pIo);
                (void)pBuffer.release();
                pFormat->pb = pIo.get();
                pFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
            }
            else
            {
                QVERIFY(avio_open(&pFormat->pb, QFile::encodeName(strPath).constData(), AVIO_FLAG_WRITE) >= 0);
            }
            avio_write(pFormat->pb, reinterpret_cast<const unsigned char*>("first"), 5);
        }
        if (!bCustomIo)
        {
            QFile file(strPath);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("first"));
            return;
        }
        avio_write(pIo.get(), reinterpret_cast<const unsigned char*>("second"), 6);
        avio_flush(pIo.get());
        pIo.reset();
        QCOMPARE(abCustom, QByteArray("firstsecond"));
    }

    void OnLentPointerGetsWhatTheCallLeft()
    {
        AvDictionaryPtr pOptions;
        av_dict_set(AvOut(pOptions), "first", "1", 0);
        av_dict_set(AvOut(pOptions), "second", "2", 0);
        QCOMPARE(av_dict_count(pOptions.get()), 2);

        // A failed open frees the context it was given and leaves null.
        AvInputPtr pInput(avformat_alloc_context());
        QVERIFY(pInput);
        const int nOpen = avformat_open_input(AvOut(pInput), "/nonexistent/input.mp4", nullptr, AvOut(pOptions));
        QVERIFY(nOpen < 0);
        QVERIFY(!pInput);
        QVERIFY(pOptions);
    }

    void OnExtraDataReplacedWithPaddedCopy()
    {
        AvCodecParametersPtr pParams(avcodec_parameters_alloc());
        QVERIFY(pParams);
        for (const std::vector<uint8_t>& vecData :
             {std::vector<uint8_t>{1, 2, 3}, std::vector<uint8_t>{9, 8, 7, 6, 5}, std::vector<uint8_t>()})
        {
            QVERIFY(SetExtraData(pParams.get(), vecData));
            QCOMPARE(pParams->extradata_size, int(vecData.size()));
            QVERIFY(pParams->extradata);
            const std::vector<uint8_t> vecRead(pParams->extradata, pParams->extradata + vecData.size());
            QVERIFY(vecRead == vecData);
            for (int i = 0; i < AV_INPUT_BUFFER_PADDING_SIZE; ++i)
                QCOMPARE(int(pParams->extradata[vecData.size() + size_t(i)]), 0);
        }
    }
};

QTEST_GUILESS_MAIN(CAvPtrTest)

#include "tst_avptr.moc"
