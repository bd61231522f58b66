#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <cstring>
#include <functional>
#include <vector>

#include "image/GrayscaleKernels.h"

namespace {

// Every Sum word takes a row of all 65536 XSum words, so the sweep covers
// all 2^32 pairs. Optimised builds run it whole; the sanitizer and debug
// builds run ten times slower or more, so there it takes every 251st Sum
// word and, for each of the three top bits, the sums 0, 1, 2 and 8191.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SWEEP_SAMPLED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(undefined_behavior_sanitizer)
#define SWEEP_SAMPLED 1
#endif
#endif
#if !defined(SWEEP_SAMPLED) && !defined(NDEBUG)
#define SWEEP_SAMPLED 1
#endif

#ifdef SWEEP_SAMPLED
constexpr bool kFullSweep = false;
#else
constexpr bool kFullSweep = true;
#endif

bool InSweep(uint32_t sumWord) {
    const uint32_t sum = sumWord & 0x1FFFu;
    return kFullSweep || sumWord % 251 == 0 || sum <= 2 || sum == 0x1FFF;
}

using CogFill = std::function<void(const uint16_t*, const uint16_t*, uint8_t*, size_t)>;
using HighByteFill = std::function<void(const uint16_t*, uint8_t*, size_t)>;

// The exact low byte of floor(numerator / sum) for every XSum word under one
// Sum word, by integer steps: the quotient rises by one every `sum` XSums.
void ExactRow(uint16_t sumWord, std::vector<uint8_t>& row) {
    const uint32_t sum = sumWord & 0x1FFFu;
    if (sum == 0) {
        std::fill(row.begin(), row.end(), 0);
        return;
    }
    const uint32_t base = (static_cast<uint32_t>(sumWord) >> 13) << 16;
    uint32_t quotient = base / sum;
    size_t at = 0;
    size_t run = sum - base % sum;
    while (at < row.size()) {
        const size_t length = std::min(run, row.size() - at);
        std::memset(row.data() + at, static_cast<uint8_t>(quotient), length);
        at += length;
        ++quotient;
        run = sum;
    }
}

// The first pair where `fill` differs from the exact quotient, or success.
::testing::AssertionResult MatchesExactQuotient(const CogFill& fill) {
    std::vector<uint16_t> xsums(1u << 16);
    for (size_t n = 0; n < xsums.size(); ++n) {
        xsums[n] = static_cast<uint16_t>(n);
    }
    std::vector<uint16_t> sums(xsums.size());
    std::vector<uint8_t> exact(xsums.size());
    std::vector<uint8_t> got(xsums.size());
    for (uint32_t sumWord = 0; sumWord <= 0xFFFF; ++sumWord) {
        if (!InSweep(sumWord)) {
            continue;
        }
        std::fill(sums.begin(), sums.end(), static_cast<uint16_t>(sumWord));
        ExactRow(static_cast<uint16_t>(sumWord), exact);
        fill(sums.data(), xsums.data(), got.data(), got.size());
        if (got != exact) {
            const size_t xsum = static_cast<size_t>(
                std::mismatch(got.begin(), got.end(), exact.begin()).first - got.begin());
            return ::testing::AssertionFailure()
                   << "Sum word " << sumWord << ", XSum word " << xsum << ": got " << int(got[xsum])
                   << ", exact " << int(exact[xsum]);
        }
    }
    return ::testing::AssertionSuccess();
}

// Lengths around the vector widths, from unaligned starts, into buffers of
// exactly that length (the sanitizers see any read or write past them).
::testing::AssertionResult EveryLengthAndStart(const CogFill& fill) {
    for (size_t start = 0; start < 4; ++start) {
        for (size_t count = 0; count <= 100; ++count) {
            std::vector<uint16_t> sums(start + count);
            std::vector<uint16_t> xsums(start + count);
            for (size_t n = 0; n < sums.size(); ++n) {
                sums[n] = static_cast<uint16_t>(0x2000 * (n % 8) + (n % 7 == 0 ? 0 : 3 + n));
                xsums[n] = static_cast<uint16_t>(n * 2654435761u);
            }
            std::vector<uint8_t> got(start + count, 0xA5);
            fill(sums.data() + start, xsums.data() + start, got.data() + start, count);
            for (size_t n = 0; n < got.size(); ++n) {
                const uint32_t sum = sums[n] & 0x1FFFu;
                const uint32_t numerator = ((sums[n] >> 13) << 16) + xsums[n];
                const uint8_t want = n < start  ? 0xA5
                                     : sum == 0 ? 0
                                                : static_cast<uint8_t>(numerator / sum);
                if (got[n] != want) {
                    return ::testing::AssertionFailure()
                           << "start " << start << ", count " << count << ", element " << n;
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult HighBytesOfEveryWord(const HighByteFill& fill) {
    for (size_t start = 0; start < 4; ++start) {
        std::vector<uint16_t> words(start + (1u << 16) + 37);
        for (size_t n = 0; n < words.size(); ++n) {
            words[n] = static_cast<uint16_t>(n - start);
        }
        std::vector<uint8_t> got(words.size(), 0xA5);
        fill(words.data() + start, got.data() + start, words.size() - start);
        for (size_t n = 0; n < got.size(); ++n) {
            const uint8_t want = n < start ? 0xA5 : static_cast<uint8_t>(words[n] >> 8);
            if (got[n] != want) {
                return ::testing::AssertionFailure()
                       << "start " << start << ", word " << words[n] << ": got " << int(got[n]);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// A sum of 0 must neither divide by zero nor convert an invalid value: a host
// that unmasks floating-point exceptions would take them as a signal.
::testing::AssertionResult RaisesNoFloatingPointFault(const CogFill& fill) {
    std::vector<uint16_t> sums(200);
    std::vector<uint16_t> xsums(sums.size());
    for (size_t n = 0; n < sums.size(); ++n) {
        sums[n] = static_cast<uint16_t>(0x2000 * (n % 8) + (n % 3 == 0 ? 0 : n));
        xsums[n] = static_cast<uint16_t>(n * 977);
    }
    std::vector<uint8_t> got(sums.size());
    std::feclearexcept(FE_ALL_EXCEPT);
    fill(sums.data(), xsums.data(), got.data(), got.size());
    const int raised = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    if (raised != 0) {
        return ::testing::AssertionFailure() << "raised floating-point flags " << raised;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(GrayscaleKernelsTest, PortableCogIsTheExactQuotientForEverySumAndXSum) {
    EXPECT_TRUE(MatchesExactQuotient(grayscale::FillCogPortable));
    EXPECT_TRUE(EveryLengthAndStart(grayscale::FillCogPortable));
}

TEST(GrayscaleKernelsTest, Avx2CogIsTheExactQuotientForEverySumAndXSum) {
    if (!grayscale::HasAvx2()) {
        GTEST_SKIP() << "this processor has no AVX2";
    }
    EXPECT_TRUE(MatchesExactQuotient(grayscale::FillCogAvx2));
    EXPECT_TRUE(EveryLengthAndStart(grayscale::FillCogAvx2));
}

TEST(GrayscaleKernelsTest, Avx512CogIsTheExactQuotientForEverySumAndXSum) {
    if (!grayscale::HasAvx512()) {
        GTEST_SKIP() << "this processor has no AVX-512 with VBMI";
    }
    EXPECT_TRUE(MatchesExactQuotient(grayscale::FillCogAvx512));
    EXPECT_TRUE(EveryLengthAndStart(grayscale::FillCogAvx512));
}

TEST(GrayscaleKernelsTest, NoCogPathRaisesAFloatingPointFaultForASumOfZero) {
    EXPECT_TRUE(RaisesNoFloatingPointFault(grayscale::FillCogPortable));
    if (grayscale::HasAvx2()) {
        EXPECT_TRUE(RaisesNoFloatingPointFault(grayscale::FillCogAvx2));
    }
    if (grayscale::HasAvx512()) {
        EXPECT_TRUE(RaisesNoFloatingPointFault(grayscale::FillCogAvx512));
    }
}

TEST(GrayscaleKernelsTest, ChosenCogPathHandlesEveryLengthAndStart) {
    EXPECT_TRUE(EveryLengthAndStart(grayscale::FillCog));
}

TEST(GrayscaleKernelsTest, EveryPathGivesTheHighByteOfEverySixteenBitWord) {
    EXPECT_TRUE(HighBytesOfEveryWord(grayscale::FillHighBytesPortable));
    EXPECT_TRUE(HighBytesOfEveryWord(grayscale::FillHighBytes));
    if (grayscale::HasAvx2()) {
        EXPECT_TRUE(HighBytesOfEveryWord(grayscale::FillHighBytesAvx2));
    }
    if (grayscale::HasAvx512()) {
        EXPECT_TRUE(HighBytesOfEveryWord(grayscale::FillHighBytesAvx512));
    }
}

// The chosen paths take long planes in blocks from the end; a plane of
// several blocks and a part block must come out whole and in place.
TEST(GrayscaleKernelsTest, ChosenCogPathFillsAPlaneOfManyBlocksWhole) {
    const size_t count = 3 * 32768 + 4099;
    std::vector<uint16_t> sums(count);
    std::vector<uint16_t> xsums(count);
    for (size_t n = 0; n < count; ++n) {
        sums[n] = static_cast<uint16_t>(n * 2654435761u >> 7);
        xsums[n] = static_cast<uint16_t>(n * 40503u + 17);
    }
    std::vector<uint8_t> want(count + 1, 0xA5);
    std::vector<uint8_t> got(count + 1, 0xA5);
    grayscale::FillCogPortable(sums.data(), xsums.data(), want.data(), count);
    grayscale::FillCog(sums.data(), xsums.data(), got.data(), count);
    EXPECT_EQ(got, want);
}
