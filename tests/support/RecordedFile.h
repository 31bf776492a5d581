// What libavformat finds in a recorded file, for the tests that record.
#pragma once

#include <QString>

#include <vector>

struct SFileInfo
{
    bool bOpened = false;
    bool bVideo = false;
    int nVideoCodec = 0;
    int nWidth = 0;
    int nHeight = 0;
    int nVideoPackets = 0;
    double dVideoSeconds = 0;
    // When the first frame shows; the frame shown longest (a picture held
    // over a gap) and its start.
    double dVideoStart = 0;
    double dLongestFrameSeconds = 0;
    double dLongestFrameStart = 0;
    // The frame length most frames have, the rate its stamps step at and
    // the time base its video stamps count in.
    double dMedianFrameSeconds = 0;
    double dFrameRate = 0;
    int nTimeBaseNum = 0;
    int nTimeBaseDen = 0;
    bool bAudio = false;
    int nAudioCodec = 0;
    int nSampleRate = 0;
    int nChannels = 0;
    double dAudioSeconds = 0;

    QString Describe() const
    {
        return QStringLiteral("opened %1, video %2 s in %3 frames, audio %4 s")
            .arg(bOpened)
            .arg(dVideoSeconds)
            .arg(nVideoPackets)
            .arg(dAudioSeconds);
    }
};

// Reads every packet, so that a file cut short is judged by what it really
// holds and not by what its header promises.
SFileInfo ReadRecordedFile(const QString& strPath);

// Decodes the video and gives, for every frame in the order shown, the mean
// of its V plane: enough to tell two pictures and their blends apart. Empty
// when the file cannot be decoded.
std::vector<double> ReadRecordedMeanV(const QString& strPath);
