// The virtual devices a run asks for through its environment. Parsing is
// kept apart from the device list so it can be checked on its own.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace KVMedia
{
struct SVirtualVideoEntry
{
    QString strName;
    int nFamily = 2;
    int nMaxWidth = 1920;
    int nMaxHeight = 1080;
    QByteArray baSerial;
    bool bNoSignal = false;
};

// VISTREL_VIRTUAL_VIDEO is either a count N ("Virtual Camera 1" .. N with the
// defaults above) or a ";"-separated list of entries
//     name|family|WIDTHxHEIGHT|serial|nosignal
// where every field after the name may be left out or left empty. The fifth
// field "nosignal" makes the device report a missing input signal ("signal"
// or empty: signal present). Malformed entries are skipped, and a line per
// skipped entry is appended to pErrors.
std::vector<SVirtualVideoEntry> ParseVirtualVideoConfig(const QString& strValue, QStringList* pErrors);

// VISTREL_VIRTUAL_AUDIO: a count of virtual tone devices; anything else
// gives 0 and a line in pErrors.
int ParseVirtualAudioCount(const QString& strValue, QStringList* pErrors);

// Upper bound for either count, so a typo cannot ask for millions.
constexpr int MAX_VIRTUAL_DEVICES = 64;
// Largest picture a virtual device may be configured for.
constexpr int MAX_VIRTUAL_SIZE = 8192;
}
