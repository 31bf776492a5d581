#include "media/image/YuyvResample.h"

#include "media/image/YuyvLayout.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace KVMedia
{
namespace
{
// The two source positions of output position n of nCount spread over
// nSource, each block of nUnit output positions taken together: a quarter
// and three quarters into the block's span.
void Taps(int n, int nUnit, int nCount, int nSource, int* pnFirst, int* pnSecond)
{
    const int64_t nDen = 4 * int64_t(nCount);
    const int64_t nStart = 4 * int64_t(n) * nUnit;
    *pnFirst = int(std::min<int64_t>(nSource - 1, (nStart + nUnit) * nSource / nDen));
    *pnSecond = int(std::min<int64_t>(nSource - 1, (nStart + 3 * int64_t(nUnit)) * nSource / nDen));
}

inline uint8_t Average4(int n1, int n2, int n3, int n4)
{
    return uint8_t((n1 + n2 + n3 + n4 + 2) >> 2);
}

// Exactly half the size each way, as a window of half the output shows it:
// every output pixel is a whole pair of two lines, the same taps the
// general path takes, read without its tables.
void HalveYuyvTo420p(const uint8_t* pSrc, int nSrcStride, uint8_t* const apDst[3], const int anDstStride[3],
                     int nDstWidth, int nDstHeight)
{
    for (int y = 0; y < nDstHeight; ++y)
    {
        const uint8_t* pRowA = pSrc + size_t(2 * y) * size_t(nSrcStride);
        const uint8_t* pRowB = pRowA + nSrcStride;
        uint8_t* pOut = apDst[0] + size_t(y) * size_t(anDstStride[0]);
        int x = 0;
#if defined(__SSE2__)
        // Four pairs at a time: the lumas of each pair summed over both
        // lines, in 32-bit lanes.
        const __m128i mLuma = _mm_set1_epi16(0x00ff);
        const __m128i mOnes = _mm_set1_epi16(1);
        const __m128i mRound = _mm_set1_epi32(2);
        for (; x + 8 <= nDstWidth; x += 8)
        {
            __m128i aSums[2];
            for (int i = 0; i < 2; ++i)
            {
                const size_t nOffset = size_t(x + 4 * i) * 4;
                const __m128i mA = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pRowA + nOffset));
                const __m128i mB = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pRowB + nOffset));
                const __m128i mSum = _mm_add_epi16(_mm_and_si128(mA, mLuma), _mm_and_si128(mB, mLuma));
                aSums[i] = _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(mSum, mOnes), mRound), 2);
            }
            const __m128i mWords = _mm_packs_epi32(aSums[0], aSums[1]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(pOut + x), _mm_packus_epi16(mWords, mWords));
        }
#endif
        for (; x < nDstWidth; ++x)
            pOut[x] = Average4(pRowA[4 * x], pRowA[4 * x + 2], pRowB[4 * x], pRowB[4 * x + 2]);
    }
    // A chroma sample covers two output pixels, two source pairs, and the
    // general path's taps fall on the second line of each line pair.
    const int nChromaWidth = (nDstWidth + 1) / 2;
    const int nChromaHeight = (nDstHeight + 1) / 2;
    const int nLast = 2 * nDstHeight - 1;
    for (int y = 0; y < nChromaHeight; ++y)
    {
        const uint8_t* pRowA = pSrc + size_t(std::min(4 * y + 1, nLast)) * size_t(nSrcStride);
        const uint8_t* pRowB = pSrc + size_t(std::min(4 * y + 3, nLast)) * size_t(nSrcStride);
        uint8_t* pU = apDst[1] + size_t(y) * size_t(anDstStride[1]);
        uint8_t* pV = apDst[2] + size_t(y) * size_t(anDstStride[2]);
        for (int x = 0; x < nChromaWidth; ++x)
        {
            // The second pair is past the edge for an odd output width.
            const size_t nFirst = 8 * size_t(x);
            const size_t nSecond = 2 * x + 1 < nDstWidth ? nFirst + 4 : nFirst;
            pU[x] = Average4(pRowA[nFirst + 1], pRowA[nSecond + 1], pRowB[nFirst + 1], pRowB[nSecond + 1]);
            pV[x] = Average4(pRowA[nFirst + 3], pRowA[nSecond + 3], pRowB[nFirst + 3], pRowB[nSecond + 3]);
        }
    }
}
}

void CYuyvResampler::Plan(int nSrcWidth, int nSrcHeight, int nDstWidth, int nDstHeight)
{
    const int anSize[4] = {nSrcWidth, nSrcHeight, nDstWidth, nDstHeight};
    if (std::equal(anSize, anSize + 4, m_anSize))
        return;
    std::copy(anSize, anSize + 4, m_anSize);
    const int nChromaWidth = (nDstWidth + 1) / 2;
    m_anLuma.resize(size_t(nDstWidth) * 2);
    for (int x = 0; x < nDstWidth; ++x)
    {
        int nFirst = 0;
        int nSecond = 0;
        Taps(x, 1, nDstWidth, nSrcWidth, &nFirst, &nSecond);
        m_anLuma[size_t(x) * 2] = 2 * nFirst;
        m_anLuma[size_t(x) * 2 + 1] = 2 * nSecond;
    }
    m_anChroma.resize(size_t(nChromaWidth) * 4);
    for (int x = 0; x < nChromaWidth; ++x)
    {
        int nFirst = 0;
        int nSecond = 0;
        Taps(x, 2, nDstWidth, nSrcWidth, &nFirst, &nSecond);
        m_anChroma[size_t(x) * 4] = YuyvUOffset(nFirst);
        m_anChroma[size_t(x) * 4 + 1] = YuyvUOffset(nSecond);
        m_anChroma[size_t(x) * 4 + 2] = YuyvVOffset(nSrcWidth, nFirst);
        m_anChroma[size_t(x) * 4 + 3] = YuyvVOffset(nSrcWidth, nSecond);
    }
    m_anLines.resize(size_t(nDstHeight) * 2);
    for (int y = 0; y < nDstHeight; ++y)
        Taps(y, 1, nDstHeight, nSrcHeight, &m_anLines[size_t(y) * 2], &m_anLines[size_t(y) * 2 + 1]);

    // Where the processor can, eight samples at a time; the same sums.
    auto words = [](const std::vector<int>& anOffsets, size_t nStart, size_t nStep) {
        std::vector<int> anWords;
        for (size_t i = nStart; i < anOffsets.size(); i += nStep)
            anWords.push_back(CYuyvTapGroups::WordOf(anOffsets[i]));
        return anWords;
    };
    // Both or neither: the scalar loops do luma and chroma together.
    if (!m_lumaGroups.BuildLuma(words(m_anLuma, 0, 2), words(m_anLuma, 1, 2), nSrcWidth) ||
        !m_chromaGroups.BuildChroma(words(m_anChroma, 0, 4), words(m_anChroma, 1, 4), words(m_anChroma, 2, 4),
                                    words(m_anChroma, 3, 4), nSrcWidth))
        m_lumaGroups = CYuyvTapGroups();
}

bool CYuyvResampler::Resample(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight,
                              uint8_t* const apDst[3], const int anDstStride[3], int nDstWidth, int nDstHeight)
{
    if (!pSrc || nDstWidth <= 0 || nDstHeight <= 0 || nDstWidth > nSrcWidth || nDstHeight > nSrcHeight)
        return false;
    if (nSrcWidth == 2 * nDstWidth && nSrcHeight == 2 * nDstHeight)
    {
        HalveYuyvTo420p(pSrc, nSrcStride, apDst, anDstStride, nDstWidth, nDstHeight);
        return true;
    }
    Plan(nSrcWidth, nSrcHeight, nDstWidth, nDstHeight);
    const int nChromaWidth = (nDstWidth + 1) / 2;
    const int nChromaHeight = (nDstHeight + 1) / 2;
    const bool bGrouped = m_lumaGroups.IsBuilt();

    auto sourceRow = [this, pSrc, nSrcStride](int y, int nTap) {
        return pSrc + size_t(m_anLines[size_t(y) * 2 + size_t(nTap)]) * size_t(nSrcStride);
    };
    auto resampleLuma = [&](int y, const uint8_t* pRowA, const uint8_t* pRowB) {
        uint8_t* pOut = apDst[0] + size_t(y) * size_t(anDstStride[0]);
        if (bGrouped)
        {
            const int yNext = std::min(y + 1, nDstHeight - 1);
            m_lumaGroups.RunLuma(pRowA, pRowB, pOut, sourceRow(yNext, 0), sourceRow(yNext, 1));
            return;
        }
        const int* pTap = m_anLuma.data();
        for (int x = 0; x < nDstWidth; ++x, pTap += 2)
            pOut[x] = Average4(pRowA[pTap[0]], pRowA[pTap[1]], pRowB[pTap[0]], pRowB[pTap[1]]);
    };
    for (int y = 0; y < nChromaHeight; ++y)
    {
        const uint8_t* pRowA = sourceRow(2 * y, 0);
        const uint8_t* pRowB = sourceRow(2 * y, 1);
        resampleLuma(2 * y, pRowA, pRowB);
        if (2 * y + 1 < nDstHeight)
        {
            pRowB = sourceRow(2 * y + 1, 1);
            resampleLuma(2 * y + 1, sourceRow(2 * y + 1, 0), pRowB);
        }
        // Chroma from the outer two of the lines its two output lines read:
        // lines of their own would make the whole source be read, where the
        // lumas' lines are two thirds of it at a reduction by three.
        uint8_t* pU = apDst[1] + size_t(y) * size_t(anDstStride[1]);
        uint8_t* pV = apDst[2] + size_t(y) * size_t(anDstStride[2]);
        if (bGrouped)
        {
            m_chromaGroups.RunChroma(pRowA, pRowB, pU, pV);
            continue;
        }
        const int* pTap = m_anChroma.data();
        for (int x = 0; x < nChromaWidth; ++x, pTap += 4)
        {
            pU[x] = Average4(pRowA[pTap[0]], pRowA[pTap[1]], pRowB[pTap[0]], pRowB[pTap[1]]);
            pV[x] = Average4(YuyvByte(pRowA, pTap[2]), YuyvByte(pRowA, pTap[3]), YuyvByte(pRowB, pTap[2]),
                             YuyvByte(pRowB, pTap[3]));
        }
    }
    return true;
}

bool ResampleYuyvTo420p(const uint8_t* pSrc, int nSrcStride, int nSrcWidth, int nSrcHeight, uint8_t* const apDst[3],
                        const int anDstStride[3], int nDstWidth, int nDstHeight)
{
    CYuyvResampler resampler;
    return resampler.Resample(pSrc, nSrcStride, nSrcWidth, nSrcHeight, apDst, anDstStride, nDstWidth, nDstHeight);
}
}
