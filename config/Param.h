#pragma once

#include <string>

#include "config/Param_.h"

// A parameter holding a value of type T with an optional range: the range
// exists only when min < max. Made for int, unsigned int, double, bool and
// std::string.
template <typename T>
class Param : public Param_ {
  public:
    // No range: min, max and the default are all `value`.
    Param(const std::string& category, const std::string& name, const T& value = T());
    // `step`: for integers, value - min must be a multiple of it; 0 means any.
    Param(const std::string& category, const std::string& name, const T& value, const T& min,
          const T& max, const T& step);

    void Assign(const Param_& other) override;
    void FromString(const std::string& text, bool clamp) override;
    const std::string& ToString() override;
    bool IsValid() const override;
    void Write(std::ostream& stream) override;
    void WriteRange(std::ostream& stream) const override;
    bool IsDefault() const override { return value == defaultValue; }
    void ResetToDefault() override { value = defaultValue; }
    std::unique_ptr<Param_> Clone() const override;

    T value;
    T max;
    T min;
    T defaultValue;
    T step;
    std::string text;

  protected:
    Param(const Param&) = default;
    void Clamp();
};

// The atoi rule: leading white space, an optional sign, the leading digits;
// 0 without digits. Numbers beyond int saturate instead of overflowing.
int ParseInteger(const std::string& text);

extern template class Param<int>;
extern template class Param<unsigned int>;
extern template class Param<double>;
extern template class Param<bool>;
extern template class Param<std::string>;
