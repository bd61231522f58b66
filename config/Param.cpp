#include "config/Param.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale>
#include <sstream>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "config/NumberText.h"

namespace {

template <typename T>
T Saturate(long long number, T low, T high) {
    if (number < static_cast<long long>(low)) {
        return low;
    }
    return number > static_cast<long long>(high) ? high : static_cast<T>(number);
}

bool Parse(const std::string& text, int& value) {
    value = ParseInteger(text);
    return true;
}

bool Parse(const std::string& text, unsigned int& value) {
    value = Saturate<unsigned int>(ParseLeadingInteger(text), 0, UINT_MAX);
    return true;
}

bool Parse(const std::string& text, bool& value) {
    value = ParseLeadingInteger(text) != 0;
    return true;
}

// A number too large for a double leaves `value` alone and answers false.
bool Parse(const std::string& text, double& value) {
    bool tooLarge = false;
    const double read = ParseLeadingReal(text, &tooLarge);
    if (tooLarge) {
        return false;
    }
    value = read;
    return true;
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
    return Saturate<int>(ParseLeadingInteger(text), INT_MIN, INT_MAX);
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
