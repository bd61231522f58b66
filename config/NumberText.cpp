#include "config/NumberText.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// White space as the runtime's number readers skip it in the "C" locale.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

const char* SkipSpace(const char* p) {
    while (IsSpace(*p)) {
        ++p;
    }
    return p;
}

const char* SkipDigits(const char* p) {
    while (IsDigit(*p)) {
        ++p;
    }
    return p;
}

// The decimal exponent of the first non-zero digit of a mantissa that has
// one ("123" 2, "0.05" -2), plus the written exponent. Only its sign is used:
// it tells an overflow from an underflow.
long DecimalOrder(const char* mantissa, const char* mantissaEnd, const char* exponentEnd) {
    const char* const point = std::find(mantissa, mantissaEnd, '.');
    const char* const first =
        std::find_if(mantissa, mantissaEnd, [](char c) { return c >= '1' && c <= '9'; });
    long order = first < point ? point - first - 1 : point - first;
    if (mantissaEnd < exponentEnd) {
        constexpr long kFarBeyondAnyDouble = 100000;
        const long exponent = std::strtol(mantissaEnd + 1, nullptr, 10);
        order += std::clamp(exponent, -kFarBeyondAnyDouble, kFarBeyondAnyDouble);
    }
    return order;
}

// The end of an exponent that follows the mantissa, or the mantissa's end
// when none does ("3e" reads as 3).
const char* ExponentEnd(const char* mantissaEnd) {
    if (*mantissaEnd != 'e' && *mantissaEnd != 'E') {
        return mantissaEnd;
    }
    const char* exponent = mantissaEnd + 1;
    if (*exponent == '+' || *exponent == '-') {
        ++exponent;
    }
    return IsDigit(*exponent) ? SkipDigits(exponent) : mantissaEnd;
}

}  // namespace

int64_t ParseLeadingInteger(const std::string& text) {
    const char* p = SkipSpace(text.c_str());
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    // Accumulated negatively, so the most negative value fits too.
    int64_t value = 0;
    const int64_t lowest = std::numeric_limits<int64_t>::min();
    for (; IsDigit(*p); ++p) {
        const int digit = *p - '0';
        if (value < (lowest + digit) / 10) {
            value = lowest;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) {
        return value;
    }
    return value == lowest ? std::numeric_limits<int64_t>::max() : -value;
}

double ParseLeadingReal(const std::string& text, bool* tooLarge) {
    if (tooLarge != nullptr) {
        *tooLarge = false;
    }
    const char* p = SkipSpace(text.c_str());
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    const char* const mantissa = p;
    p = SkipDigits(p);
    bool digits = p > mantissa;
    if (*p == '.') {
        const char* const fraction = p + 1;
        p = SkipDigits(fraction);
        digits = digits || p > fraction;
    }
    if (!digits) {
        return 0.0;
    }
    const char* const mantissaEnd = p;
    const char* const end = ExponentEnd(mantissaEnd);
    double magnitude = 0.0;
    if (std::from_chars(mantissa, end, magnitude).ec == std::errc::result_out_of_range) {
        const bool overflow = DecimalOrder(mantissa, mantissaEnd, end) >= 0;
        if (overflow && tooLarge != nullptr) {
            *tooLarge = true;
        }
        magnitude = overflow ? DBL_MAX : 0.0;
    }
    return negative ? -magnitude : magnitude;
}
