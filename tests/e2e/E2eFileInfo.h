// What libavformat finds in a recorded file, for the end-to-end tests.
#pragma once

#include <QString>

struct SFileInfo
{
    bool bOpened = false;
    int nVideoCodec = 0;
    int nAudioCodec = 0;
    bool bVideo = false;
    bool bAudio = false;
    int nVideoPackets = 0;
    double dVideoSeconds = 0;
    double dAudioSeconds = 0;

    QString Describe() const
    {
        return QStringLiteral("opened %1, video %2 s in %3 frames, audio %4 s")
            .arg(bOpened).arg(dVideoSeconds).arg(nVideoPackets).arg(dAudioSeconds);
    }
};

// Reads every packet, so that a file cut short is judged by what it really
// holds and not by what its header promises.
SFileInfo ReadRecordedFile(const QString& strPath);
