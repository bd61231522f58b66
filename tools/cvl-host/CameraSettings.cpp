#include "tools/cvl-host/CameraSettings.h"

#include <cerrno>
#include <cstdlib>

#include "config/CameraDefaults.h"
#include "config/ParamEnum.h"
#include "config/SettingsFile.h"
#include "tools/cvl-host/ExitCode.h"

namespace {

// The driver reads a whole number as the C library's atoi does, so "two" is
// 0 to it; the tool asks for the number in full instead.
bool IsWholeNumber(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0;
}

std::string Choices(const ParamEnum& choice) {
    std::string choices;
    for (const std::string& label : choice.labels) {
        choices += (choices.empty() ? "\"" : ", \"") + label + "\"";
    }
    return choices;
}

[[noreturn]] void Refuse(const std::string& message) {
    throw ToolError(ExitCode::kUsage, message);
}

}  // namespace

CameraSettings::CameraSettings(const std::string& settingsFile, const std::string& camera)
    : file_(settingsFile), parameters_(camera) {
    CreateDefaultParameters(parameters_);
}

bool CameraSettings::Has(const std::string& key) const {
    return parameters_.HasParam(key);
}

std::string CameraSettings::Names() const {
    std::string names;
    for (const Param_& param : parameters_.Params()) {
        names += (names.empty() ? "" : ", ") + param.name;
    }
    return names;
}

std::string CameraSettings::Section(const Param_& param) const {
    return param.general ? "General" : parameters_.Name();
}

void CameraSettings::Set(const std::string& key, const std::string& value) {
    Param_& param = parameters_.GetParam(key);
    if (!param.persistent) {
        Refuse(param.name +
               " is never stored: the host sets it through its property of that name (cvl-host "
               "props --set " +
               param.name + "=1)");
    }
    if (dynamic_cast<const Param<int>*>(&param) != nullptr && !IsWholeNumber(value)) {
        Refuse(param.name + " must be a whole number, not '" + value + "'");
    }
    param.FromString(value, false);
    const auto* choice = dynamic_cast<const ParamEnum*>(&param);
    if (choice != nullptr && !choice->IsValid()) {
        Refuse(param.name + " must be one of " + Choices(*choice) + ", not '" + value + "'");
    }
    std::string message;
    if (!parameters_.Validate(message)) {
        Refuse(message + ", not '" + value + "'");
    }
    set_.push_back(&param);
}

void CameraSettings::Write(std::ostream& out) {
    for (Param_* param : set_) {
        std::string reason;
        if (!SettingsFile(file_, Section(*param)).Write(param->name, param->ToString(), &reason)) {
            throw ToolError(ExitCode::kFailed,
                            "cannot write " + param->name + " to " + file_ + ": " + reason);
        }
        out << "set " << param->name << "=" << param->ToString() << "\n";
    }
}

void CameraSettings::Show(std::ostream& out) {
    for (const std::string& section : {parameters_.Name(), std::string("General")}) {
        out << "[" << section << "] in " << file_ << "\n";
        for (Param_& param : parameters_.Params()) {
            if (param.persistent && Section(param) == section) {
                out << "  " << param.name << " = "
                    << SettingsFile(file_, section).Read(param.name, "(not set)") << "\n";
            }
        }
    }
}
