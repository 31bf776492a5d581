// Fixed option tables of the output format and the encoders. The user
// interfaces and the settings store keep indices into these tables, never the
// values, so the order of every table is part of the stored settings.
#pragma once

#include <QString>

// Every item accessor answers entry 0 for an index outside its table, so a
// stale or hand-edited index can never read beyond the table.

int GetVideoSizeCount();
int GetVideoWidth(int nIndex);
int GetVideoHeight(int nIndex);

int GetFrameRateCount();
double GetFrameRate(int nIndex);
// The table index of the nRank-th fastest rate (0: the fastest), for lists
// that show the rates in order although the table keeps them in the order
// they were added; 0 for a rank outside the table.
int GetFrameRateIndexByRate(int nRank);

int GetProfileCount();
QString GetProfileName(int nIndex);

int GetQualityCount();
QString GetQualityName(int nIndex);

int GetModeCount();
QString GetModeName(int nIndex);

int GetBitrateCount();
int GetBitrate(int nIndex); // Kbps

int GetKeyFrameCount();
int GetKeyFrame(int nIndex); // frames between key frames

int GetAudioBitrateCount();
int GetAudioBitrate(int nIndex); // Kbps

// The H.264 encoder option (the sixth "encoderparam" field) has no table
// of values; its indices are these.
enum
{
    ENCODER_KIND_SOFTWARE = 0,
    ENCODER_KIND_HARDWARE = 1
};

int GetAudioQualityCount();
int GetAudioQuality(int nIndex);

int GetFontSizeCount();
int GetFontSize(int nIndex); // points

// The items as the option lists show them, in the interface language: the
// names translated, the numbers with their translated unit ("25.00 FPS",
// " 1000 Kbps", "128 Kbps"). The Get...Name accessors above stay English.
QString GetProfileText(int nIndex);
QString GetQualityText(int nIndex);
QString GetModeText(int nIndex);
QString GetFrameRateText(int nIndex);
QString GetBitrateText(int nIndex);
QString GetAudioBitrateText(int nIndex);

// True when 0 <= nIndex < nCount.
inline bool IsValidIndex(int nIndex, int nCount)
{
    return nIndex >= 0 && nIndex < nCount;
}
