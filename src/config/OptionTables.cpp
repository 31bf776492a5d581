#include "config/OptionTables.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>
#include <numeric>

namespace
{
struct VideoSize
{
    int nWidth;
    int nHeight;
};

const VideoSize s_aVideoSizes[] = {
    {1920, 1080}, {1600, 1200}, {1440, 900}, {1368, 768}, {1280, 1024}, {1280, 960}, {1280, 800},
    {1280, 720},  {1024, 768},  {960, 540},  {800, 600},  {768, 576},   {720, 576},  {720, 480},
    {640, 480},   {640, 360},   {352, 288},  {352, 240},  {320, 240},
};
// New rates go at the end: the settings store indices into this table.
const double s_adFrameRates[] = {30, 29.97, 25, 24, 20, 15, 10, 5, 60, 59.94, 50};
// Stored settings never hold these texts (only indices), so the tables keep
// the English source and the user interfaces translate when they show them.
const char s_szContext[] = "OptionTables";
const char* const s_aszProfiles[] = {QT_TRANSLATE_NOOP("OptionTables", "High Profile"),
                                     QT_TRANSLATE_NOOP("OptionTables", "Main Profile"),
                                     QT_TRANSLATE_NOOP("OptionTables", "Base Line")};
const char* const s_aszQualities[] = {QT_TRANSLATE_NOOP("OptionTables", "High Quality"),
                                      QT_TRANSLATE_NOOP("OptionTables", "Balanced"),
                                      QT_TRANSLATE_NOOP("OptionTables", "Best Speed")};
const char* const s_aszModes[] = {QT_TRANSLATE_NOOP("OptionTables", "Normal"),
                                  QT_TRANSLATE_NOOP("OptionTables", "Low Latency")};
const char s_szFrameRateUnit[] = QT_TRANSLATE_NOOP("OptionTables", "FPS");
const char s_szBitrateUnit[] = QT_TRANSLATE_NOOP("OptionTables", "Kbps");
const int s_anBitrates[] = {16000, 8000, 4000, 2000, 1000, 800, 600, 400, 200, 100, 50};
const int s_anKeyFrames[] = {900, 600, 300, 100, 60, 30, 10};
const int s_anAudioBitrates[] = {192, 128, 64, 32, 16, 8};
const int s_anAudioQualities[] = {100, 50, 30};
const int s_anFontSizes[] = {32, 48, 56, 64, 72, 96, 128};

template <typename T, size_t N> constexpr int CountOf(const T (&)[N])
{
    return int(N);
}

template <typename T, size_t N> const T& Item(const T (&aTable)[N], int nIndex)
{
    return aTable[IsValidIndex(nIndex, int(N)) ? nIndex : 0];
}

template <size_t N> QString Name(const char* const (&aTable)[N], int nIndex)
{
    return QString::fromLatin1(Item(aTable, nIndex));
}

QString Translate(const char* pszText)
{
    return QCoreApplication::translate(s_szContext, pszText);
}
}

int GetVideoSizeCount()
{
    return CountOf(s_aVideoSizes);
}
int GetVideoWidth(int nIndex)
{
    return Item(s_aVideoSizes, nIndex).nWidth;
}
int GetVideoHeight(int nIndex)
{
    return Item(s_aVideoSizes, nIndex).nHeight;
}

int GetFrameRateCount()
{
    return CountOf(s_adFrameRates);
}
double GetFrameRate(int nIndex)
{
    return Item(s_adFrameRates, nIndex);
}
int GetFrameRateIndexByRate(int nRank)
{
    if (!IsValidIndex(nRank, CountOf(s_adFrameRates)))
        return 0;
    std::array<int, std::size(s_adFrameRates)> anOrder{};
    std::iota(anOrder.begin(), anOrder.end(), 0);
    std::stable_sort(anOrder.begin(), anOrder.end(),
                     [](int a, int b) { return s_adFrameRates[a] > s_adFrameRates[b]; });
    return anOrder[size_t(nRank)];
}

int GetProfileCount()
{
    return CountOf(s_aszProfiles);
}
QString GetProfileName(int nIndex)
{
    return Name(s_aszProfiles, nIndex);
}

int GetQualityCount()
{
    return CountOf(s_aszQualities);
}
QString GetQualityName(int nIndex)
{
    return Name(s_aszQualities, nIndex);
}

int GetModeCount()
{
    return CountOf(s_aszModes);
}
QString GetModeName(int nIndex)
{
    return Name(s_aszModes, nIndex);
}

QString GetProfileText(int nIndex)
{
    return Translate(Item(s_aszProfiles, nIndex));
}
QString GetQualityText(int nIndex)
{
    return Translate(Item(s_aszQualities, nIndex));
}
QString GetModeText(int nIndex)
{
    return Translate(Item(s_aszModes, nIndex));
}
QString GetFrameRateText(int nIndex)
{
    return QString::asprintf("%2.2f ", GetFrameRate(nIndex)) + Translate(s_szFrameRateUnit);
}
QString GetBitrateText(int nIndex)
{
    return QString::asprintf("%5d ", GetBitrate(nIndex)) + Translate(s_szBitrateUnit);
}
QString GetAudioBitrateText(int nIndex)
{
    return QString::asprintf("%3d ", GetAudioBitrate(nIndex)) + Translate(s_szBitrateUnit);
}

int GetBitrateCount()
{
    return CountOf(s_anBitrates);
}
int GetBitrate(int nIndex)
{
    return Item(s_anBitrates, nIndex);
}

int GetKeyFrameCount()
{
    return CountOf(s_anKeyFrames);
}
int GetKeyFrame(int nIndex)
{
    return Item(s_anKeyFrames, nIndex);
}

int GetAudioBitrateCount()
{
    return CountOf(s_anAudioBitrates);
}
int GetAudioBitrate(int nIndex)
{
    return Item(s_anAudioBitrates, nIndex);
}

int GetAudioQualityCount()
{
    return CountOf(s_anAudioQualities);
}
int GetAudioQuality(int nIndex)
{
    return Item(s_anAudioQualities, nIndex);
}

int GetFontSizeCount()
{
    return CountOf(s_anFontSizes);
}
int GetFontSize(int nIndex)
{
    return Item(s_anFontSizes, nIndex);
}
