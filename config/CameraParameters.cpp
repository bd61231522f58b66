#include "config/CameraParameters.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "config/SettingsFile.h"

namespace {

const char* const kGeneralSection = "General";

// Until the host names its system directory there is no settings file: the
// bare file name would put it in the root or the working directory.
bool HasSystemDirectory() {
    return !DriverContext::Instance()->GetSystemPath().empty();
}

bool IsStored(const Param_& param) {
    return param.persistent && param.enabled;
}

std::string RangeMessage(const Param_& param) {
    std::ostringstream message;
    message << param.category << ": " << param.name << ": out of range ";
    param.WriteRange(message);
    return message.str();
}

// The remainder is taken in 64 bits: value - min may not fit an int.
bool IsOffStep(const Param<int>& param) {
    return param.step != 0 && (static_cast<int64_t>(param.value) - param.min) % param.step != 0;
}

// Every parameter is tried, so that one that cannot be written does not cost
// the others their place in the file.
bool Store(const SettingsFile& file, Param_& param) {
    std::string reason;
    if (file.Write(param.name, param.ToString(), &reason)) {
        return true;
    }
    WriteLog(DriverContext::Instance(), 1,
             "CameraParameters::Save: ERROR: %s of section [%s] not written to %s: %s\n",
             param.name.c_str(), file.Section().c_str(), file.Path().c_str(), reason.c_str());
    return false;
}

}  // namespace

bool CameraParameters::NameLess::operator()(const std::string& a, const std::string& b) const {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const int difference = lower(a[i]) - lower(b[i]);
        if (difference != 0) {
            return difference < 0;
        }
    }
    return a.size() < b.size();
}

CameraParameters::CameraParameters(const std::string& name) : name_(name) {}

CameraParameters::CameraParameters(const CameraParameters& other)
    : name_(other.name_), params_(other.params_), constraints_(other.constraints_) {
    RebuildIndex();
}

CameraParameters& CameraParameters::operator=(const CameraParameters& other) {
    CameraParameters copy(other);
    Swap(copy);
    return *this;
}

void CameraParameters::Swap(CameraParameters& other) noexcept {
    name_.swap(other.name_);
    params_.swap(other.params_);
    index_.swap(other.index_);
    constraints_.swap(other.constraints_);
}

void CameraParameters::RebuildIndex() {
    index_.clear();
    for (Param_& param : params_) {
        index_[param.name] = &param;
    }
}

void CameraParameters::AddParam(std::unique_ptr<Param_> param) {
    Param_& added = *param;
    params_.push_back(param.release());
    index_[added.name] = &added;
}

Param_& CameraParameters::GetParam(const std::string& name) {
    const auto found = index_.find(name);
    if (found == index_.end()) {
        throw std::runtime_error("CameraParameters::GetParam: Parameter '" + name +
                                 "' does not exist");
    }
    return *found->second;
}

const Param_& CameraParameters::GetParam(const std::string& name) const {
    return const_cast<CameraParameters*>(this)->GetParam(name);
}

bool CameraParameters::HasParam(const std::string& name) const {
    return index_.count(name) != 0;
}

void CameraParameters::AddConstraint(std::unique_ptr<Constraint> constraint) {
    Constraint& added = *constraint;
    constraints_.push_back(constraint.release());
    added.Attach(*this);
}

bool CameraParameters::Validate(std::string& message, std::string* invalid) {
    for (Constraint& constraint : constraints_) {
        constraint.Apply(*this);
    }
    for (const Param_& param : params_) {
        if (!param.enabled || dynamic_cast<const Param<bool>*>(&param) != nullptr) {
            continue;
        }
        std::string problem;
        const auto* integer = dynamic_cast<const Param<int>*>(&param);
        if (!param.IsValid()) {
            problem = RangeMessage(param);
        } else if (integer != nullptr && IsOffStep(*integer)) {
            problem = param.category + ": " + param.name + ": must be multiple of " +
                      std::to_string(integer->step);
        }
        if (!problem.empty()) {
            message = problem;
            if (invalid != nullptr) {
                *invalid = param.name;
            }
            return false;
        }
    }
    return true;
}

bool CameraParameters::Load() {
    if (!HasSystemDirectory()) {
        return true;
    }
    const std::string path = DriverContext::Instance()->SettingsFilePath();
    const SettingsFile own(path, name_);
    const SettingsFile general(path, kGeneralSection);
    for (Param_& param : params_) {
        if (!IsStored(param)) {
            continue;
        }
        // The current value is the default, so a missing key keeps it.
        const std::string current = param.ToString();
        if (param.general) {
            param.FromString(general.Read(param.name, current), true);
        } else {
            param.FromString(own.Read(param.name, current), false);
        }
    }
    return true;
}

bool CameraParameters::Save() {
    if (!HasSystemDirectory()) {
        return true;
    }
    const std::string path = DriverContext::Instance()->SettingsFilePath();
    const SettingsFile own(path, name_);
    const SettingsFile general(path, kGeneralSection);
    bool allWritten = true;
    for (Param_& param : params_) {
        if (IsStored(param) && !Store(param.general ? general : own, param)) {
            allWritten = false;
        }
    }
    return allWritten;
}
