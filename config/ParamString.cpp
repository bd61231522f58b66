#include "config/ParamString.h"

ParamString::ParamString(const std::string& category, const std::string& name,
                         const std::string& value)
    : Param<std::string>(category, name, value) {}

bool ParamString::IsValid() const {
    return true;
}

std::unique_ptr<Param_> ParamString::Clone() const {
    return std::unique_ptr<Param_>(new ParamString(*this));
}
