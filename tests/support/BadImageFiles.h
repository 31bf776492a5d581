// Picture files that go wrong the way files from the wild do: a small PNG
// whose header declares an enormous picture, and one whose header is fine
// but whose data is not. Both are a few dozen bytes.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

#include <cstdint>

namespace BadImageFiles
{
inline uint32_t Crc32(const QByteArray& ba)
{
    uint32_t nCrc = 0xFFFFFFFFu;
    for (char ch : ba)
    {
        nCrc ^= uint8_t(ch);
        for (int nBit = 0; nBit < 8; ++nBit)
            nCrc = (nCrc >> 1) ^ (0xEDB88320u & (0u - (nCrc & 1u)));
    }
    return ~nCrc;
}

inline QByteArray BigEndian(uint32_t n)
{
    QByteArray ba(4, '\0');
    qToBigEndian(n, reinterpret_cast<uchar*>(ba.data()));
    return ba;
}

inline QByteArray Chunk(const char* pszType, const QByteArray& baData)
{
    const QByteArray baTyped = QByteArray(pszType) + baData;
    return BigEndian(uint32_t(baData.size())) + baTyped + BigEndian(Crc32(baTyped));
}

// A PNG of nWidth x nHeight RGBA by its header, with image data that does
// not decode (valid chunks, nonsense inside).
inline QByteArray ForgedPng(uint32_t nWidth, uint32_t nHeight)
{
    QByteArray baHeader = BigEndian(nWidth) + BigEndian(nHeight);
    baHeader += char(8); // bit depth
    baHeader += char(6); // RGBA
    baHeader += QByteArray(3, '\0');
    const QByteArray baSignature("\x89PNG\r\n\x1a\n", 8);
    return baSignature + Chunk("IHDR", baHeader) + Chunk("IDAT", QByteArray("not deflate data at all")) +
           Chunk("IEND", QByteArray());
}

inline bool Write(const QString& strPath, const QByteArray& baData)
{
    QFile file(strPath);
    return file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size();
}
}
