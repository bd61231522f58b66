#include "config/dialog/CPropertyGeneral.h"

#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "config/CameraParameters.h"
#include "config/Param.h"
#include "config/ParamString.h"
#include "config/dialog/CSheet1.h"
#include "config/dialog/PropertyControlAdapter.h"

namespace {

const char* const kLastFocused = "LastFocusedItemName";

// The unit a description ends on ("... in megabytes"), written short.
std::string UnitOf(const std::string& description) {
    static const std::pair<const char*, const char*> kUnits[] = {
        {"megabytes", "MB"},    {"kilobytes", "kB"},    {"bytes", "bytes"},
        {"millimeters", "mm"},  {"millimetres", "mm"},  {"degrees", "deg"},
        {"milliseconds", "ms"}, {"microseconds", "us"}, {"seconds", "s"}};
    const size_t in = description.rfind(" in ");
    if (in == std::string::npos) {
        return "";
    }
    const std::string word = description.substr(in + 4);
    for (const auto& [name, symbol] : kUnits) {
        if (word == name) {
            return symbol;
        }
    }
    return "";
}

// What a row shows beside its value: the range and the unit, when known.
std::string Hint(const Param_& param) {
    std::ostringstream hint;
    param.WriteRange(hint);
    const std::string unit = UnitOf(param.description);
    if (!unit.empty()) {
        hint << (hint.tellp() > 0 ? " " : "") << unit;
    }
    return hint.str();
}

std::string NameLine(const Param_& param) {
    std::ostringstream line;
    line << param.name;
    if (dynamic_cast<const Param<int>*>(&param) != nullptr ||
        dynamic_cast<const Param<double>*>(&param) != nullptr) {
        line << " ";
        param.WriteRange(line);
    }
    return line.str();
}

}  // namespace

CPropertyGeneral::CPropertyGeneral(CameraParameters& cameraSet, CameraParameters& imageSet,
                                   CSheet1& sheet)
    : cameraSet_(cameraSet), imageSet_(imageSet), sheet_(sheet) {
    grid_.SetOwner(this);
    // A parameter file named "./name" lies in the system directory, so a
    // chooser with no file yet starts there.
    grid_.SetDefaultFolder(DriverContext::Instance()->GetSystemPath());
}

void CPropertyGeneral::OnInitDialog() {
    std::string lastFocused;
    if (cameraSet_.HasParam(kLastFocused)) {
        lastFocused = cameraSet_.GetParameter<std::string>(kLastFocused);
    }
    Populate(cameraSet_, lastFocused);
    Populate(imageSet_, lastFocused);
    OnFocusChanged(-1);
}

void CPropertyGeneral::Populate(CameraParameters& set, const std::string& lastFocused) {
    for (Param_& param : set.Params()) {
        if (!param.visible) {
            continue;
        }
        auto section = sectionMap_.find(param.category);
        if (section == sectionMap_.end()) {
            section = sectionMap_.emplace(param.category, grid_.AddSection(param.category)).first;
        }
        const int32_t item = AdapterFor(param)->AddItem(param, grid_, section->second);
        if (item < 0) {
            continue;
        }
        nameOfItem_[item] = param.name;
        itemOfName_[param.name] = item;
        grid_.SetItemHelp(item, Hint(param), param.description);
        grid_.SetItemDiffersFromDefault(item, !param.IsDefault());
        if (!lastFocused.empty() && param.name == lastFocused) {
            grid_.SetFocusedItem(item);
        }
    }
}

int32_t CPropertyGeneral::OnGridNotify(int32_t message, int32_t item) {
    if (message == kGridFocusChanged) {
        return OnFocusChanged(item);
    }
    if (message == kGridItemChanged) {
        return OnItemChanged(item);
    }
    return 0;
}

int32_t CPropertyGeneral::OnFocusChanged(int32_t item) {
    try {
        std::string name;
        std::string description;
        const auto found = nameOfItem_.find(item);
        if (found != nameOfItem_.end()) {
            const Param_& param = FindParam(found->second);
            name = NameLine(param);
            description = param.description;
            RememberFocus(param.name);
        }
        SetLabels(name, description);
        if (view_ != nullptr) {
            view_->EnableReset(CanResetFocused());
        }
    } catch (const std::exception& e) {
        WriteLog(DriverContext::Instance(), 1, "CPropertyGeneral::OnFocusChanged: ERROR: %s",
                 e.what());
    }
    return 0;
}

void CPropertyGeneral::RememberFocus(const std::string& name) {
    if (cameraSet_.HasParam(kLastFocused)) {
        dynamic_cast<Param<std::string>&>(cameraSet_.GetParam(kLastFocused)).value = name;
        return;
    }
    // Never shown, validated or stored: it lives as long as this working copy.
    auto remembered = std::make_unique<ParamString>("Internal", kLastFocused, name);
    remembered->general = true;
    remembered->persistent = false;
    remembered->visible = false;
    remembered->enabled = false;
    cameraSet_.AddParam(std::move(remembered));
}

int32_t CPropertyGeneral::OnItemChanged(int32_t item) {
    try {
        if (TakeEdit(item)) {
            ValidateBoth();
        }
    } catch (const std::exception& e) {
        WriteLog(DriverContext::Instance(), 1, "CPropertyGeneral::OnItemChanged: ERROR: %s",
                 e.what());
    }
    return 0;
}

bool CPropertyGeneral::TakeEdit(int32_t item) {
    const auto found = nameOfItem_.find(item);
    if (found == nameOfItem_.end() || !HasParam(found->second)) {
        return true;
    }
    Param_& param = FindParam(found->second);
    try {
        AdapterFor(param)->GetControl(param, grid_, item);
    } catch (const RefusedValue& refused) {
        // The parameter kept its value: the item shows it again, and the
        // user reads why.
        AdapterFor(param)->SetControl(param, grid_, item);
        sheet_.ShowMessage(*this, refused.what());
        return false;
    }
    return true;
}

void CPropertyGeneral::ValidateBoth() {
    std::string message;
    std::string invalid;
    const bool valid =
        cameraSet_.Validate(message, &invalid) && imageSet_.Validate(message, &invalid);
    sheet_.SetValid(valid);
    if (!valid) {
        sheet_.ShowMessage(*this, message);
    }
    // Constraints may have switched parameters on or off: every item
    // follows at once.
    for (const auto& [shown, name] : nameOfItem_) {
        const Param_& param = FindParam(name);
        grid_.EnableItem(shown, param.enabled);
        grid_.SetItemDiffersFromDefault(shown, !param.IsDefault());
    }
    grid_.SetInvalidItem(valid ? -1 : ItemOf(invalid));
    if (view_ != nullptr) {
        view_->EnableReset(CanResetFocused());
    }
}

const Param_* CPropertyGeneral::FindShown(int32_t item) const {
    const auto found = nameOfItem_.find(item);
    if (found == nameOfItem_.end()) {
        return nullptr;
    }
    if (cameraSet_.HasParam(found->second)) {
        return &cameraSet_.GetParam(found->second);
    }
    return imageSet_.HasParam(found->second) ? &imageSet_.GetParam(found->second) : nullptr;
}

bool CPropertyGeneral::CanResetFocused() const {
    const Param_* param = FindShown(grid_.GetFocusedItem());
    return param != nullptr && param->enabled && !param->IsDefault();
}

bool CPropertyGeneral::ResetFocused() {
    if (!CanResetFocused()) {
        return false;
    }
    const int32_t item = grid_.GetFocusedItem();
    Param_& param = FindParam(nameOfItem_.at(item));
    param.ResetToDefault();
    AdapterFor(param)->SetControl(param, grid_, item);
    // As an edit of the item: read back, validated, marked.
    OnItemChanged(item);
    return true;
}

Param_& CPropertyGeneral::FindParam(const std::string& name) {
    if (cameraSet_.HasParam(name)) {
        return cameraSet_.GetParam(name);
    }
    return imageSet_.GetParam(name);
}

bool CPropertyGeneral::HasParam(const std::string& name) const {
    return cameraSet_.HasParam(name) || imageSet_.HasParam(name);
}

int32_t CPropertyGeneral::ItemOf(const std::string& name) const {
    const auto found = itemOfName_.find(name);
    return found != itemOfName_.end() ? found->second : -1;
}

void CPropertyGeneral::SetLabels(const std::string& name, const std::string& description) {
    nameText_ = name;
    descriptionText_ = description;
    if (view_ != nullptr) {
        view_->SetLabels(name, description);
    }
}
