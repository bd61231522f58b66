#include "config/dialog/ParamValue.h"

#include "config/Param.h"

namespace {

template <typename T>
Param<T>& Typed(Param_& param) {
    auto* typed = dynamic_cast<Param<T>*>(&param);
    if (typed == nullptr) {
        throw WrongParamType(param.name);
    }
    return *typed;
}

}  // namespace

template <typename T>
T GetValue(const Param_& param) {
    return Typed<T>(const_cast<Param_&>(param)).value;
}

template <typename T>
void SetValue(Param_& param, const T& value) {
    Typed<T>(param).value = value;
}

template bool GetValue<bool>(const Param_&);
template int GetValue<int>(const Param_&);
template unsigned int GetValue<unsigned int>(const Param_&);
template double GetValue<double>(const Param_&);
template std::string GetValue<std::string>(const Param_&);
template void SetValue<bool>(Param_&, const bool&);
template void SetValue<int>(Param_&, const int&);
template void SetValue<unsigned int>(Param_&, const unsigned int&);
template void SetValue<double>(Param_&, const double&);
template void SetValue<std::string>(Param_&, const std::string&);
