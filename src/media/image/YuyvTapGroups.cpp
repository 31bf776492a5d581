#include "media/image/YuyvTapGroups.h"

#include <algorithm>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KV_TAP_GROUPS 1
#include <tmmintrin.h>
#endif

namespace KVMedia
{
namespace
{
// Words one vector holds.
constexpr int VECTOR_WORDS = 8;
constexpr int CHROMA_LANES = CYuyvTapGroups::LANES / 2;

#if defined(KV_TAP_GROUPS)
// The sums of both taps on both rows, rounded, in the group's eight 16-bit
// lanes. bChroma takes the words' high bytes, otherwise their low ones.
template <bool bChroma, int nVectors>
__attribute__((target("ssse3"))) inline __m128i SumGroup(const uint8_t* pRowA, const uint8_t* pRowB,
                                                         const uint8_t (*aabFirst)[16], const uint8_t (*aabSecond)[16])
{
    const __m128i mLow = _mm_set1_epi16(0x00ff);
    __m128i mFirst = _mm_setzero_si128();
    __m128i mSecond = _mm_setzero_si128();
    for (int k = 0; k < nVectors; ++k)
    {
        const __m128i mA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pRowA + 16 * k));
        const __m128i mB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pRowB + 16 * k));
        // Both rows summed first: every shuffle then serves the two of them.
        const __m128i mSum = bChroma ? _mm_add_epi16(_mm_srli_epi16(mA, 8), _mm_srli_epi16(mB, 8))
                                     : _mm_add_epi16(_mm_and_si128(mA, mLow), _mm_and_si128(mB, mLow));
        mFirst = _mm_or_si128(mFirst,
                              _mm_shuffle_epi8(mSum, _mm_loadu_si128(reinterpret_cast<const __m128i*>(aabFirst[k]))));
        mSecond = _mm_or_si128(mSecond,
                               _mm_shuffle_epi8(mSum, _mm_loadu_si128(reinterpret_cast<const __m128i*>(aabSecond[k]))));
    }
    const __m128i mTotal = _mm_add_epi16(_mm_add_epi16(mFirst, mSecond), _mm_set1_epi16(2));
    const __m128i mWords = _mm_srli_epi16(mTotal, 2);
    return _mm_packus_epi16(mWords, mWords);
}

// Calls run with the SumGroup that loads nVectors vectors.
template <bool bChroma, typename FRun> __attribute__((target("ssse3"))) inline void WithSumGroup(int nVectors, FRun run)
{
    switch (nVectors)
    {
    case 2:
        run(SumGroup<bChroma, 2>);
        break;
    case 3:
        run(SumGroup<bChroma, 3>);
        break;
    case 4:
        run(SumGroup<bChroma, 4>);
        break;
    case 5:
        run(SumGroup<bChroma, 5>);
        break;
    default:
        run(SumGroup<bChroma, CYuyvTapGroups::MAX_VECTORS>);
        break;
    }
}
#endif
}

bool CYuyvTapGroups::Available()
{
#if defined(KV_TAP_GROUPS)
    static const bool s_bSsse3 = __builtin_cpu_supports("ssse3");
    return s_bSsse3;
#else
    return false;
#endif
}

bool CYuyvTapGroups::MakeGroup(const int anFirst[LANES], const int anSecond[LANES], int nRowWords, int nVectors,
                               int nOut, SGroup* pGroup)
{
    const int nLowest =
        std::min(*std::min_element(anFirst, anFirst + LANES), *std::min_element(anSecond, anSecond + LANES));
    const int nHighest =
        std::max(*std::max_element(anFirst, anFirst + LANES), *std::max_element(anSecond, anSecond + LANES));
    // The loads stay inside the row: a group near its end starts further left.
    const int nReach = nVectors * VECTOR_WORDS;
    const int nBase = std::min(nLowest, nRowWords - nReach);
    if (nBase < 0 || nHighest - nBase >= nReach)
        return false;
    pGroup->nBase = nBase;
    pGroup->nOut = nOut;
    std::memset(pGroup->aabFirst, 0x80, sizeof(pGroup->aabFirst));
    std::memset(pGroup->aabSecond, 0x80, sizeof(pGroup->aabSecond));
    auto pick = [](uint8_t(*aabMasks)[16], int nLane, int nWord) {
        const int nVector = nWord / VECTOR_WORDS;
        const int nByte = 2 * (nWord % VECTOR_WORDS);
        aabMasks[nVector][2 * nLane] = uint8_t(nByte);
        aabMasks[nVector][2 * nLane + 1] = uint8_t(nByte + 1);
    };
    for (int j = 0; j < LANES; ++j)
    {
        pick(pGroup->aabFirst, j, anFirst[j] - nBase);
        pick(pGroup->aabSecond, j, anSecond[j] - nBase);
    }
    return true;
}

bool CYuyvTapGroups::Build(const std::vector<SLanes>& aLanes, int nRowWords)
{
    m_aGroups.assign(aLanes.size(), SGroup());
    // As few vectors as every group's taps fit in: two where the picture
    // shrinks little, three at a third of the size.
    for (int nVectors = 2; nVectors <= MAX_VECTORS; ++nVectors)
    {
        m_nVectors = nVectors;
        bool bFits = true;
        for (size_t g = 0; g < aLanes.size() && bFits; ++g)
            bFits =
                MakeGroup(aLanes[g].anFirst, aLanes[g].anSecond, nRowWords, nVectors, aLanes[g].nOut, &m_aGroups[g]);
        if (bFits)
            return true;
    }
    m_aGroups.clear();
    return false;
}

bool CYuyvTapGroups::BuildLuma(const std::vector<int>& anFirst, const std::vector<int>& anSecond, int nRowWords)
{
    m_aGroups.clear();
    const int nCount = int(std::min(anFirst.size(), anSecond.size()));
    if (!Available() || nCount < LANES)
        return false;
    std::vector<SLanes> aLanes(size_t((nCount + LANES - 1) / LANES));
    for (size_t g = 0; g < aLanes.size(); ++g)
    {
        // The last group ends with the row, overlapping the one before it:
        // the samples both write are the same.
        const int x0 = std::min(int(g) * LANES, nCount - LANES);
        aLanes[g].nOut = x0;
        std::copy_n(anFirst.begin() + x0, LANES, aLanes[g].anFirst);
        std::copy_n(anSecond.begin() + x0, LANES, aLanes[g].anSecond);
    }
    return Build(aLanes, nRowWords);
}

bool CYuyvTapGroups::BuildChroma(const std::vector<int>& anFirstU, const std::vector<int>& anSecondU,
                                 const std::vector<int>& anFirstV, const std::vector<int>& anSecondV, int nRowWords)
{
    m_aGroups.clear();
    const int nCount = int(std::min({anFirstU.size(), anSecondU.size(), anFirstV.size(), anSecondV.size()}));
    if (!Available() || nCount < CHROMA_LANES)
        return false;
    std::vector<SLanes> aLanes(size_t((nCount + CHROMA_LANES - 1) / CHROMA_LANES));
    for (size_t g = 0; g < aLanes.size(); ++g)
    {
        // Four U samples in the low lanes, the same four V samples above.
        const int c0 = std::min(int(g) * CHROMA_LANES, nCount - CHROMA_LANES);
        aLanes[g].nOut = c0;
        std::copy_n(anFirstU.begin() + c0, CHROMA_LANES, aLanes[g].anFirst);
        std::copy_n(anSecondU.begin() + c0, CHROMA_LANES, aLanes[g].anSecond);
        std::copy_n(anFirstV.begin() + c0, CHROMA_LANES, aLanes[g].anFirst + CHROMA_LANES);
        std::copy_n(anSecondV.begin() + c0, CHROMA_LANES, aLanes[g].anSecond + CHROMA_LANES);
    }
    return Build(aLanes, nRowWords);
}

#if defined(KV_TAP_GROUPS)
__attribute__((target("ssse3"))) void CYuyvTapGroups::RunLuma(const uint8_t* pRowA, const uint8_t* pRowB, uint8_t* pOut,
                                                              const uint8_t* pNextA, const uint8_t* pNextB) const
{
    auto run = [&](auto sum) {
        for (const SGroup& group : m_aGroups)
        {
            const size_t nOffset = 2 * size_t(group.nBase);
            _mm_prefetch(reinterpret_cast<const char*>(pNextA + nOffset), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(pNextB + nOffset), _MM_HINT_T0);
            const __m128i mBytes = sum(pRowA + nOffset, pRowB + nOffset, group.aabFirst, group.aabSecond);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pOut + group.nOut), mBytes);
        }
    };
    WithSumGroup<false>(m_nVectors, run);
}

__attribute__((target("ssse3"))) void CYuyvTapGroups::RunChroma(const uint8_t* pRowA, const uint8_t* pRowB, uint8_t* pU,
                                                                uint8_t* pV) const
{
    auto run = [&](auto sum) {
        for (const SGroup& group : m_aGroups)
        {
            const size_t nOffset = 2 * size_t(group.nBase);
            const __m128i mBytes = sum(pRowA + nOffset, pRowB + nOffset, group.aabFirst, group.aabSecond);
            const int32_t nU = _mm_cvtsi128_si32(mBytes);
            const int32_t nV = _mm_cvtsi128_si32(_mm_srli_si128(mBytes, 4));
            std::memcpy(pU + group.nOut, &nU, sizeof(nU));
            std::memcpy(pV + group.nOut, &nV, sizeof(nV));
        }
    };
    WithSumGroup<true>(m_nVectors, run);
}
#else
void CYuyvTapGroups::RunLuma(const uint8_t*, const uint8_t*, uint8_t*, const uint8_t*, const uint8_t*) const {}
void CYuyvTapGroups::RunChroma(const uint8_t*, const uint8_t*, uint8_t*, uint8_t*) const {}
#endif
}
