// Two-tap resampling of packed YUYV row pairs, eight output samples at a
// time. Each sample is (a + b + c + d + 2) / 4 of two taps on each of two
// rows, exactly as the scalar resampler computes it; the taps are gathered
// with byte shuffles, which need SSSE3, so callers check Available() and
// keep their scalar loop for other processors and for rows too narrow to
// read in whole groups.
//
// A row is taken as 16-bit words: word n holds pixel n's luma in its low
// byte and the pair's U (even n) or V (odd n) in its high byte, which is
// how YuyvLayout.h's byte offsets map onto it (offset o is in word o / 2).
#pragma once

#include <cstdint>
#include <vector>

namespace KVMedia
{
class CYuyvTapGroups
{
public:
    // Lanes per group.
    static constexpr int LANES = 8;
    // Vectors of eight words a group loads at most: enough for a group of
    // eight whose taps are up to six pixels apart.
    static constexpr int MAX_VECTORS = 6;

    // Whether this processor runs the grouped path.
    static bool Available();
    // The word holding YuyvLayout.h's byte offset nOffset; -1 (no word, so
    // no groups) for the neutral V of a row one pixel wide.
    static int WordOf(int nOffset) { return nOffset >= 0 ? nOffset / 2 : -1; }

    // Luma: output x reads the lumas of words anFirst[x] and anSecond[x].
    // False, and no groups, when the row is too narrow or a group's taps
    // spread wider than one load reaches; the caller then goes scalar.
    bool BuildLuma(const std::vector<int>& anFirst, const std::vector<int>& anSecond, int nRowWords);
    // Chroma: output c reads U from words anFirstU[c], anSecondU[c] and V
    // from anFirstV[c], anSecondV[c] (all word indices).
    bool BuildChroma(const std::vector<int>& anFirstU, const std::vector<int>& anSecondU,
                     const std::vector<int>& anFirstV, const std::vector<int>& anSecondV, int nRowWords);

    // One output row from source rows pRowA and pRowB, which must hold the
    // nRowWords words the groups were built for. The rows of the next output
    // row, pNextA and pNextB, are fetched into the cache meanwhile: a frame
    // the mixer has just composed is larger than the cache, and waiting for
    // each line as it is reached cost as much as the arithmetic.
    void RunLuma(const uint8_t* pRowA, const uint8_t* pRowB, uint8_t* pOut, const uint8_t* pNextA,
                 const uint8_t* pNextB) const;
    void RunChroma(const uint8_t* pRowA, const uint8_t* pRowB, uint8_t* pU, uint8_t* pV) const;
    bool IsBuilt() const { return !m_aGroups.empty(); }

private:
    struct SGroup
    {
        // First word loaded, and where the group's samples go.
        int nBase = 0;
        int nOut = 0;
        // Per loaded vector of eight words: the shuffles picking the first
        // and the second tap of every lane from it (0x80: none).
        uint8_t aabFirst[MAX_VECTORS][16] = {};
        uint8_t aabSecond[MAX_VECTORS][16] = {};
    };
    struct SLanes
    {
        int nOut = 0;
        int anFirst[LANES] = {};
        int anSecond[LANES] = {};
    };
    // Lane j reads words anFirst[j] and anSecond[j]; false when they are
    // not all inside nVectors vectors of words that lie in the row.
    static bool MakeGroup(const int anFirst[LANES], const int anSecond[LANES], int nRowWords, int nVectors, int nOut,
                          SGroup* pGroup);
    bool Build(const std::vector<SLanes>& aLanes, int nRowWords);

    std::vector<SGroup> m_aGroups;
    // Vectors each group loads: 2 to MAX_VECTORS.
    int m_nVectors = 4;
};
}
