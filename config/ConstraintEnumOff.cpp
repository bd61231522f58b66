#include "config/ConstraintEnumOff.h"

#include <algorithm>
#include <iterator>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "config/CameraParameters.h"
#include "config/ParamEnum.h"

ConstraintEnumOff::ConstraintEnumOff(const std::string& controlName, const char* offLabel)
    : controlName(controlName), offLabels{offLabel} {}

ConstraintEnumOff::ConstraintEnumOff(const std::string& controlName, const char* const* offLabels)
    : controlName(controlName) {
    for (; *offLabels != nullptr; ++offLabels) {
        this->offLabels.insert(*offLabels);
    }
}

ConstraintEnumOff::ConstraintEnumOff(const std::string& controlName,
                                     const std::set<std::string>& offLabels)
    : controlName(controlName), offLabels(offLabels) {}

void ConstraintEnumOff::Attach(CameraParameters& set) {
    CameraParameters::ParamList& params = set.Params();
    const Param_* anchor = nullptr;
    for (const Param_& param : params) {
        if (param.name == controlName) {
            anchor = &param;
        }
    }
    if (anchor == nullptr) {
        return;
    }
    CameraParameters::ParamList taken;
    for (size_t i = 0; i < params.size();) {
        if (&params[i] != anchor && dependents.count(params[i].name) != 0) {
            taken.transfer(taken.end(), params.begin() + i, params);
        } else {
            ++i;
        }
    }
    const auto anchorAt = std::find_if(params.begin(), params.end(),
                                       [anchor](const Param_& param) { return &param == anchor; });
    params.transfer(std::next(anchorAt), taken.begin(), taken.end(), taken);
}

void ConstraintEnumOff::Apply(CameraParameters& set) {
    const Param_& control = set.GetParam(controlName);
    if (!control.enabled) {
        return;
    }
    const ParamEnum* choice = dynamic_cast<const ParamEnum*>(&control);
    if (choice == nullptr) {
        WriteLog(DriverContext::Instance(), 1,
                 "ConstraintEnumOff::Apply: Parameter '%s' is not enumeration\n",
                 controlName.c_str());
        return;
    }
    const bool on = offLabels.count(choice->value) == 0;
    for (const std::string& dependent : dependents) {
        set.GetParam(dependent).enabled = on;
    }
}

std::unique_ptr<Constraint> ConstraintEnumOff::Clone() const {
    auto copy = std::make_unique<ConstraintEnumOff>(controlName, offLabels);
    copy->dependents = dependents;
    return copy;
}
