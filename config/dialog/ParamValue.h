#pragma once

#include <string>
#include <typeinfo>

#include "config/Param_.h"

// Typed access to a parameter's value for the dialog's adapters: reads and
// writes `value` directly, without range checks or clamping.

// Thrown when a parameter is not of the type asked for.
class WrongParamType : public std::bad_cast {
  public:
    explicit WrongParamType(const std::string& name)
        : message_("Wrong parameter '" + name + "' type") {}
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// T is bool, int, unsigned int, double or std::string; the text form also
// serves ParamString and ParamEnum. Throw WrongParamType for another type.
template <typename T>
T GetValue(const Param_& param);
template <typename T>
void SetValue(Param_& param, const T& value);
