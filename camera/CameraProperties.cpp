// The host's named integer properties of an open port.

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "camera/Camera.h"
#include "camera/HostNames.h"
#include "config/Param.h"
#include "config/ParamEnum.h"

namespace {

bool IsContinuous(const std::string& name) {
    return NamesEqual(name, "continuous") || NamesEqual(name, "continous");
}

int32_t Truncated(double value) {
    return static_cast<int32_t>(std::trunc(value));
}

bool ReadParam(const Param_& param, int32_t* value) {
    if (auto* integer = dynamic_cast<const Param<int>*>(&param)) {
        *value = integer->value;
    } else if (auto* real = dynamic_cast<const Param<double>*>(&param)) {
        *value = Truncated(real->value);
    } else if (auto* flag = dynamic_cast<const Param<bool>*>(&param)) {
        *value = flag->value ? 1 : 0;
    } else if (auto* choice = dynamic_cast<const ParamEnum*>(&param)) {
        *value = choice->ValueOf(choice->value);
    } else {
        return false;
    }
    return true;
}

template <typename T>
bool InRange(const Param<T>& param, int32_t value) {
    const T asked = static_cast<T>(value);
    return param.min >= param.max || (param.min <= asked && asked <= param.max);
}

// Why a value is refused, as the settings file's checks put it: a scan count
// or buffer size out of range would make every later open fail, where only an
// open port could mend it.
std::string RangeRefusal(const Param_& param, int32_t value) {
    std::ostringstream text;
    text << param.category << ": " << param.name << ": out of range ";
    param.WriteRange(text);
    text << ", " << value << " refused";
    return text.str();
}

// False, with the reason in `refusal`, for a value outside the range.
bool WriteParam(Param_& param, int32_t value, std::string* refusal) {
    if (auto* integer = dynamic_cast<Param<int>*>(&param)) {
        if (!InRange(*integer, value)) {
            *refusal = RangeRefusal(param, value);
            return false;
        }
        integer->value = value;
    } else if (auto* real = dynamic_cast<Param<double>*>(&param)) {
        if (!InRange(*real, value)) {
            *refusal = RangeRefusal(param, value);
            return false;
        }
        real->value = value;
    } else if (auto* flag = dynamic_cast<Param<bool>*>(&param)) {
        flag->value = value != 0;
    } else if (auto* choice = dynamic_cast<ParamEnum*>(&param)) {
        choice->SelectByValue(value);
    } else {
        return false;
    }
    return true;
}

bool ParamRange(const Param_& param, int32_t* minimum, int32_t* maximum) {
    if (auto* integer = dynamic_cast<const Param<int>*>(&param)) {
        *minimum = integer->min;
        *maximum = integer->max;
    } else if (auto* real = dynamic_cast<const Param<double>*>(&param)) {
        *minimum = Truncated(real->min);
        *maximum = Truncated(real->max);
    } else if (dynamic_cast<const Param<bool>*>(&param) != nullptr) {
        *minimum = 0;
        *maximum = 1;
    } else if (auto* choice = dynamic_cast<const ParamEnum*>(&param)) {
        *minimum = choice->values.empty()
                       ? 0
                       : *std::min_element(choice->values.begin(), choice->values.end());
        *maximum = choice->values.empty()
                       ? 0
                       : *std::max_element(choice->values.begin(), choice->values.end());
    } else {
        return false;
    }
    return true;
}

}  // namespace

RowAccess Camera::GetRow(int32_t port, int32_t row) {
    return registry_.ReadRow(port, row);
}

RowAccess Camera::GetRowInsideGate(int32_t port, int32_t row) const {
    return registry_.ReadRowInsideGate(port, row);
}

void Camera::SetCompleteCallback(int32_t port, CompleteCallback callback) {
    registry_.FindByPort(port)->SetCompleteCallback(callback);
}

bool Camera::GetProperty(int32_t port, const std::string& property, int32_t* value) {
    WriteLog(context_, 3, "Camera::GetProperty: prop=%s \n", property.c_str());
    if (NamesEqual(property, "PixelSize")) {
        *value = registry_.FindByPort(port)->GetBitsPerPixel();
    } else if (NamesEqual(property, "Height")) {
        *value = registry_.FindByPort(port)->GetHeight();
    } else if (NamesEqual(property, "Width")) {
        *value = registry_.FindByPort(port)->GetWidth();
    } else if (IsContinuous(property)) {
        *value = continuousMode_ ? 1 : 0;
    } else {
        std::lock_guard<DriverMutex> lock(parametersLock_);
        return state_.parameters.HasParam(property) &&
               ReadParam(state_.parameters.GetParam(property), value);
    }
    return true;
}

bool Camera::SetProperty(int32_t port, const std::string& property, int32_t value) {
    WriteLog(context_, 3, "Camera::SetProperty: prop=%s value=%d \n", property.c_str(), value);
    if (IsContinuous(property)) {
        SetContinuousGrab(value != 0);
        return true;
    }
    std::string refusal;
    {
        std::lock_guard<DriverMutex> lock(parametersLock_);
        if (state_.parameters.HasParam(property)) {
            if (WriteParam(state_.parameters.GetParam(property), value, &refusal)) {
                return true;
            }
        }
    }
    if (!refusal.empty()) {
        WriteLog(context_, 1, "Camera::SetProperty: ERROR: %s on camera %s\n", refusal.c_str(),
                 state_.name.c_str());
        return false;
    }
    if (NamesEqual(property, "PrintStats")) {
        PrintStats(port);
        return true;
    }
    if (NamesEqual(property, "ResetStats")) {
        ResetStats(port);
        return true;
    }
    return false;
}

bool Camera::GetRange(int32_t, const std::string& property, int32_t* minimum, int32_t* maximum) {
    WriteLog(context_, 2, "Camera::GetRange: entering prop=%s \n", property.c_str());
    {
        std::lock_guard<DriverMutex> lock(parametersLock_);
        if (!state_.parameters.HasParam(property) ||
            !ParamRange(state_.parameters.GetParam(property), minimum, maximum)) {
            return false;
        }
    }
    WriteLog(context_, 2, "Camera::GetRange: leaving prop=%s min=%d   max=%d \n", property.c_str(),
             *minimum, *maximum);
    return true;
}
