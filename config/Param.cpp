#include "config/Param.h"

#include <climits>
#include <cstdlib>
#include <locale>
#include <sstream>

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

void Parse(const std::string& text, int& value) {
    value = ParseInteger(text);
}

void Parse(const std::string& text, unsigned int& value) {
    value = Saturate<unsigned int>(LeadingInteger(text), 0, UINT_MAX);
}

void Parse(const std::string& text, bool& value) {
    value = LeadingInteger(text) != 0;
}

void Parse(const std::string& text, double& value) {
    value = std::strtod(text.c_str(), nullptr);
}

void Parse(const std::string& text, std::string& value) {
    value = text;
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

template <typename T>
void Param<T>::FromString(const std::string& text, bool clamp) {
    Parse(text, value);
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

template <typename T>
bool Param<T>::IsValid() const {
    return min >= max || (min <= value && value <= max);
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
