#include "image/GrayscaleKernels.h"

#include "image/VectorPaths.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VAVEZAZ_X86 1
#endif

namespace grayscale {
namespace {

// The low byte of numerator / sum, truncated; 0 for a sum of 0. The quotient
// is taken in float, which vectorises where integer division does not, and
// is exact after truncation: both operands are exact in float, and the
// rounding error of a quotient below 2^19 / sum is below 2^-5 / sum, less
// than the distance 1 / sum of an inexact quotient to the next integer. The
// vector paths take the same steps lane by lane.
uint8_t CogByte(uint16_t sumWord, uint16_t xsumWord) {
    const int32_t sum = static_cast<int32_t>(sumWord & 0x1FFFu);
    const int32_t numerator =
        static_cast<int32_t>(((static_cast<uint32_t>(sumWord) >> 13) << 16) + xsumWord);
    const float quotient = static_cast<float>(numerator) / static_cast<float>(sum + (sum == 0));
    const int32_t truncated = static_cast<int32_t>(quotient);
    return static_cast<uint8_t>(truncated & -static_cast<int32_t>(sum != 0));
}

void FillCogScalar(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count) {
    for (size_t n = 0; n < count; ++n) {
        bytes[n] = CogByte(sums[n], xsums[n]);
    }
}

void FillHighBytesScalar(const uint16_t* words, uint8_t* bytes, size_t count) {
    for (size_t n = 0; n < count; ++n) {
        bytes[n] = static_cast<uint8_t>(words[n] >> 8);
    }
}

#if defined(VAVEZAZ_X86) && defined(__SSE2__)
// Four lanes: the low byte of the truncated quotient, 0 where sum is 0. Sum
// and numerator are below 2^24, so both convert to float exactly.
__m128i CogLanes(__m128i numerator, __m128i sum) {
    const __m128i isZero = _mm_cmpeq_epi32(sum, _mm_setzero_si128());
    const __m128i divisor = _mm_sub_epi32(sum, isZero);
    const __m128 quotient = _mm_div_ps(_mm_cvtepi32_ps(numerator), _mm_cvtepi32_ps(divisor));
    const __m128i truncated = _mm_andnot_si128(isZero, _mm_cvttps_epi32(quotient));
    return _mm_and_si128(truncated, _mm_set1_epi32(0xFF));
}

// Eight elements to eight low bytes (as eight 16-bit lanes). The numerator
// is the XSum word with bits 16 to 18 from the top of the Sum word.
__m128i CogWords(__m128i sumWords, __m128i xsumWords) {
    const __m128i high = _mm_srli_epi16(sumWords, 13);
    const __m128i sum = _mm_and_si128(sumWords, _mm_set1_epi16(0x1FFF));
    const __m128i zero = _mm_setzero_si128();
    const __m128i low4 =
        CogLanes(_mm_unpacklo_epi16(xsumWords, high), _mm_unpacklo_epi16(sum, zero));
    const __m128i high4 =
        CogLanes(_mm_unpackhi_epi16(xsumWords, high), _mm_unpackhi_epi16(sum, zero));
    return _mm_packs_epi32(low4, high4);
}

__m128i Load(const uint16_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

void Store(uint8_t* at, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), value);
}
#endif

#ifdef VAVEZAZ_X86
// The wide paths clear the upper halves of the vector registers before the
// plain tail runs: SSE code after dirty upper halves pays for every
// instruction on many processors.
#define VAVEZAZ_AVX2 __attribute__((target("avx2")))

VAVEZAZ_AVX2 __m256i CogLanes8(__m256i numerator, __m256i sum) {
    const __m256i isZero = _mm256_cmpeq_epi32(sum, _mm256_setzero_si256());
    const __m256i divisor = _mm256_sub_epi32(sum, isZero);
    const __m256 quotient =
        _mm256_div_ps(_mm256_cvtepi32_ps(numerator), _mm256_cvtepi32_ps(divisor));
    const __m256i truncated = _mm256_andnot_si256(isZero, _mm256_cvttps_epi32(quotient));
    return _mm256_and_si256(truncated, _mm256_set1_epi32(0xFF));
}

// Sixteen elements to sixteen low bytes as 16-bit lanes, in order: unpacking
// and packing both work within 128-bit halves and undo each other.
VAVEZAZ_AVX2 __m256i CogWords16(__m256i sumWords, __m256i xsumWords) {
    const __m256i high = _mm256_srli_epi16(sumWords, 13);
    const __m256i sum = _mm256_and_si256(sumWords, _mm256_set1_epi16(0x1FFF));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low =
        CogLanes8(_mm256_unpacklo_epi16(xsumWords, high), _mm256_unpacklo_epi16(sum, zero));
    const __m256i upper =
        CogLanes8(_mm256_unpackhi_epi16(xsumWords, high), _mm256_unpackhi_epi16(sum, zero));
    return _mm256_packs_epi32(low, upper);
}

VAVEZAZ_AVX2 __m256i Load256(const uint16_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

// Packing two vectors of 16-bit lanes interleaves their 128-bit halves;
// the 64-bit permutation puts the 32 bytes back in order.
VAVEZAZ_AVX2 void StorePacked(uint8_t* at, __m256i first, __m256i second) {
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(at), packed);
}
#endif

}  // namespace

void FillCogPortable(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count) {
    size_t n = 0;
#if defined(VAVEZAZ_X86) && defined(__SSE2__)
    for (; n + 16 <= count; n += 16) {
        const __m128i first = CogWords(Load(sums + n), Load(xsums + n));
        const __m128i second = CogWords(Load(sums + n + 8), Load(xsums + n + 8));
        Store(bytes + n, _mm_packus_epi16(first, second));
    }
#endif
    FillCogScalar(sums + n, xsums + n, bytes + n, count - n);
}

void FillHighBytesPortable(const uint16_t* words, uint8_t* bytes, size_t count) {
    size_t n = 0;
#if defined(VAVEZAZ_X86) && defined(__SSE2__)
    for (; n + 16 <= count; n += 16) {
        const __m128i first = _mm_srli_epi16(Load(words + n), 8);
        const __m128i second = _mm_srli_epi16(Load(words + n + 8), 8);
        Store(bytes + n, _mm_packus_epi16(first, second));
    }
#endif
    FillHighBytesScalar(words + n, bytes + n, count - n);
}

#ifdef VAVEZAZ_X86
bool HasAvx2() {
    return ThisProcessor().avx2;
}

VAVEZAZ_AVX2 void FillCogAvx2(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes,
                              size_t count) {
    size_t n = 0;
    for (; n + 32 <= count; n += 32) {
        const __m256i first = CogWords16(Load256(sums + n), Load256(xsums + n));
        const __m256i second = CogWords16(Load256(sums + n + 16), Load256(xsums + n + 16));
        StorePacked(bytes + n, first, second);
    }
    _mm256_zeroupper();
    FillCogScalar(sums + n, xsums + n, bytes + n, count - n);
}

VAVEZAZ_AVX2 void FillHighBytesAvx2(const uint16_t* words, uint8_t* bytes, size_t count) {
    size_t n = 0;
    for (; n + 32 <= count; n += 32) {
        StorePacked(bytes + n, _mm256_srli_epi16(Load256(words + n), 8),
                    _mm256_srli_epi16(Load256(words + n + 16), 8));
    }
    _mm256_zeroupper();
    FillHighBytesScalar(words + n, bytes + n, count - n);
}
// Processors with AVX-512 and its byte permutation (VBMI) take sixteen
// quotients per division and gather the low bytes of 32 of them with one
// permutation. The division and the conversion suppress exceptions, so a sum
// of 0 needs no mask: 0 / 0 and x / 0 give NaN and infinity, which truncate to
// 0x80000000 and so to the low byte 0, and no floating-point flag is raised
// in a host that unmasks them.
bool HasAvx512() {
    return ThisProcessor().avx512Bytes;
}

#define VAVEZAZ_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi")))

namespace {

// Byte n of the permutation's result is element n. The 32 elements come as
// two vectors of 32-bit lanes, unpacked within 128-bit quarters: quarter q of
// `first` holds elements 8q to 8q + 3, quarter q of `second` 8q + 4 to
// 8q + 7; each quotient's low byte is the first of its lane.
alignas(64) constexpr uint8_t kLowBytesInOrder[64] = {
    0,  4,  8,  12, 64, 68,  72,  76,  16, 20, 24, 28, 80,  84,  88,  92,
    32, 36, 40, 44, 96, 100, 104, 108, 48, 52, 56, 60, 112, 116, 120, 124};

// Byte n of the result is the high byte of word n of first and second.
alignas(64) constexpr uint8_t kHighBytes[64] = {
    1,  3,  5,   7,   9,   11,  13,  15,  17,  19,  21,  23,  25,  27,  29,  31,
    33, 35, 37,  39,  41,  43,  45,  47,  49,  51,  53,  55,  57,  59,  61,  63,
    65, 67, 69,  71,  73,  75,  77,  79,  81,  83,  85,  87,  89,  91,  93,  95,
    97, 99, 101, 103, 105, 107, 109, 111, 113, 115, 117, 119, 121, 123, 125, 127};

// The zero-masking forms with every lane set: g++ 12 takes the undefined
// source of the plain forms for an uninitialised value.
constexpr __mmask16 kEveryLane = 0xFFFF;
constexpr __mmask64 kFirst32Bytes = 0xFFFFFFFFu;

VAVEZAZ_AVX512 __m512i CogLanes16(__m512i numerator, __m512i sum) {
    const __m512 quotient = _mm512_maskz_div_round_ps(
        kEveryLane, _mm512_maskz_cvtepi32_ps(kEveryLane, numerator),
        _mm512_maskz_cvtepi32_ps(kEveryLane, sum), _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    return _mm512_maskz_cvtt_roundps_epi32(kEveryLane, quotient, _MM_FROUND_NO_EXC);
}

}  // namespace

VAVEZAZ_AVX512 void FillCogAvx512(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes,
                                  size_t count) {
    const __m512i inOrder = _mm512_load_si512(kLowBytesInOrder);
    const __m512i sumBits = _mm512_set1_epi16(0x1FFF);
    const __m512i zero = _mm512_setzero_si512();
    size_t n = 0;
    for (; n + 32 <= count; n += 32) {
        const __m512i sumWords = _mm512_loadu_si512(sums + n);
        const __m512i xsumWords = _mm512_loadu_si512(xsums + n);
        const __m512i high = _mm512_srli_epi16(sumWords, 13);
        const __m512i sum = _mm512_and_si512(sumWords, sumBits);
        const __m512i first =
            CogLanes16(_mm512_unpacklo_epi16(xsumWords, high), _mm512_unpacklo_epi16(sum, zero));
        const __m512i second =
            CogLanes16(_mm512_unpackhi_epi16(xsumWords, high), _mm512_unpackhi_epi16(sum, zero));
        const __m512i inBytes = _mm512_permutex2var_epi8(first, inOrder, second);
        _mm512_mask_storeu_epi8(bytes + n, kFirst32Bytes, inBytes);
    }
    _mm256_zeroupper();
    FillCogScalar(sums + n, xsums + n, bytes + n, count - n);
}

VAVEZAZ_AVX512 void FillHighBytesAvx512(const uint16_t* words, uint8_t* bytes, size_t count) {
    const __m512i highBytes = _mm512_load_si512(kHighBytes);
    size_t n = 0;
    for (; n + 64 <= count; n += 64) {
        const __m512i first = _mm512_loadu_si512(words + n);
        const __m512i second = _mm512_loadu_si512(words + n + 32);
        _mm512_storeu_si512(bytes + n, _mm512_permutex2var_epi8(first, highBytes, second));
    }
    _mm256_zeroupper();
    FillHighBytesScalar(words + n, bytes + n, count - n);
}
#else
bool HasAvx2() {
    return false;
}

bool HasAvx512() {
    return false;
}

void FillCogAvx512(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count) {
    FillCogPortable(sums, xsums, bytes, count);
}

void FillHighBytesAvx512(const uint16_t* words, uint8_t* bytes, size_t count) {
    FillHighBytesPortable(words, bytes, count);
}

void FillCogAvx2(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count) {
    FillCogPortable(sums, xsums, bytes, count);
}

void FillHighBytesAvx2(const uint16_t* words, uint8_t* bytes, size_t count) {
    FillHighBytesPortable(words, bytes, count);
}
#endif

namespace {

// Elements per block; a multiple of every wide path's step, so only the block
// at the start of a plane, the one that may be short, reaches a plain tail.
constexpr size_t kBlock = 32768;

// The extraction filter has just written its plane front to back, so the end
// of the plane is what the cache still holds and the start is what it lost
// first. Taking the blocks from the end reads the cached part before the
// misses push it out; each block runs front to back for the prefetcher.
template <typename Fill>
void EndFirst(size_t count, Fill fill) {
    size_t end = count;
    while (end > 0) {
        const size_t begin = end > kBlock ? end - kBlock : 0;
        fill(begin, end - begin);
        end = begin;
    }
}

void FillCogWidest(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count) {
    if (HasAvx512()) {
        FillCogAvx512(sums, xsums, bytes, count);
    } else if (HasAvx2()) {
        FillCogAvx2(sums, xsums, bytes, count);
    } else {
        FillCogPortable(sums, xsums, bytes, count);
    }
}

void FillHighBytesWidest(const uint16_t* words, uint8_t* bytes, size_t count) {
    if (HasAvx512()) {
        FillHighBytesAvx512(words, bytes, count);
    } else if (HasAvx2()) {
        FillHighBytesAvx2(words, bytes, count);
    } else {
        FillHighBytesPortable(words, bytes, count);
    }
}

}  // namespace

void FillCog(const uint16_t* sums, const uint16_t* xsums, uint8_t* bytes, size_t count) {
    EndFirst(count, [&](size_t first, size_t n) {
        FillCogWidest(sums + first, xsums + first, bytes + first, n);
    });
}

void FillHighBytes(const uint16_t* words, uint8_t* bytes, size_t count) {
    EndFirst(count,
             [&](size_t first, size_t n) { FillHighBytesWidest(words + first, bytes + first, n); });
}

}  // namespace grayscale
