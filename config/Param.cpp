#include "config/Param.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <system_error>

#include "base/DriverContext.h"
#include "base/Log.h"

namespace {

long long LeadingInteger(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

template <typename T>
T Saturate(long long number, T low, T high) {
    if (number < static_cast<long long>(low)) {
        return low;
    }
    return number > static_cast<long long>(high) ? high : static_cast<T>(number);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// White space as the runtime's number readers skip it.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
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

// The atof rule, decimal form only: leading white space, an optional sign,
// digits with an optional point, an optional exponent; 0 when there are no
// digits, so "nan", "inf" and "0x10" read as 0 as the runtime reads them. The
// point is '.' whatever the process's locale. A number too small for a double
// reads as 0; one too large leaves `value` alone and answers false.
bool ParseReal(const std::string& text, double& value) {
    const char* p = text.c_str();
    while (IsSpace(*p)) {
        ++p;
    }
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') {
        ++p;
    }
    const char* const mantissa = p;
    p = SkipDigits(p);
    size_t digits = static_cast<size_t>(p - mantissa);
    if (*p == '.') {
        const char* const fraction = p + 1;
        p = SkipDigits(fraction);
        digits += static_cast<size_t>(p - fraction);
    }
    if (digits == 0) {
        value = 0.0;
        return true;
    }
    const char* const mantissaEnd = p;
    const char* end = mantissaEnd;
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-') {
            ++exponent;
        }
        if (IsDigit(*exponent)) {
            end = SkipDigits(exponent);
        }
    }
    double magnitude = 0.0;
    if (std::from_chars(mantissa, end, magnitude).ec == std::errc::result_out_of_range) {
        if (DecimalOrder(mantissa, mantissaEnd, end) >= 0) {
            return false;
        }
        magnitude = 0.0;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

bool Parse(const std::string& text, int& value) {
    value = ParseInteger(text);
    return true;
}

bool Parse(const std::string& text, unsigned int& value) {
    value = Saturate<unsigned int>(LeadingInteger(text), 0, UINT_MAX);
    return true;
}

bool Parse(const std::string& text, bool& value) {
    value = LeadingInteger(text) != 0;
    return true;
}

bool Parse(const std::string& text, double& value) {
    return ParseReal(text, value);
}

bool Parse(const std::string& text, std::string& value) {
    value = text;
    return true;
}

template <typename T>
bool IsFinite(const T&) {
    return true;
}

bool IsFinite(double value) {
    return std::isfinite(value);
}

}  // namespace

int ParseInteger(const std::string& text) {
    return Saturate<int>(LeadingInteger(text), INT_MIN, INT_MAX);
}

template <typename T>
Param<T>::Param(const std::string& category, const std::string& name, const T& value)
    : Param(category, name, value, value, value, T()) {}

template <typename T>
Param<T>::Param(const std::string& category, const std::string& name, const T& value, const T& min,
                const T& max, const T& step)
    : Param_(category, name), value(value), max(max), min(min), defaultValue(value), step(step) {}

template <typename T>
void Param<T>::Assign(const Param_& other) {
    const Param<T>& source = dynamic_cast<const Param<T>&>(other);
    Param_::Assign(other);
    value = source.value;
    max = source.max;
    min = source.min;
    defaultValue = source.defaultValue;
    step = source.step;
}

// A text whose number does not fit the type leaves the value as it was: a
// damaged settings file must not hand an infinite real to the arithmetic
// that uses it, and the value kept is one the parameter held before.
template <typename T>
void Param<T>::FromString(const std::string& text, bool clamp) {
    if (!Parse(text, value)) {
        WriteLog(DriverContext::Instance(), 1,
                 "WARNING: %s: %s: '%s' is not a finite number; the value stays %s\n",
                 category.c_str(), name.c_str(), text.c_str(), ToString().c_str());
        return;
    }
    if (clamp) {
        Clamp();
    }
}

template <typename T>
void Param<T>::Clamp() {
    if (value < min) {
        value = min;
    }
    if (value > max) {
        value = max;
    }
}

template <typename T>
const std::string& Param<T>::ToString() {
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    text = stream.str();
    return text;
}

// A non-finite real is never valid: NaN would pass every comparison of a
// parameter without a range.
template <typename T>
bool Param<T>::IsValid() const {
    return IsFinite(value) && (min >= max || (min <= value && value <= max));
}

template <typename T>
void Param<T>::Write(std::ostream& stream) {
    stream << name << "=" << ToString() << "\n";
}

template <typename T>
void Param<T>::WriteRange(std::ostream& stream) const {
    if (min < max) {
        stream << "[" << min << ".." << max << "]";
    }
}

template <typename T>
std::unique_ptr<Param_> Param<T>::Clone() const {
    return std::unique_ptr<Param_>(new Param<T>(*this));
}

template class Param<int>;
template class Param<unsigned int>;
template class Param<double>;
template class Param<bool>;
template class Param<std::string>;
