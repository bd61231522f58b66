#include "config/dialog/CPropertyGeneral.h"

#include <memory>
#include <sstream>
#include <stdexcept>

#include "config/CameraParameters.h"
#include "config/Param.h"
#include "config/ParamString.h"
#include "config/dialog/CSheet1.h"
#include "config/dialog/PropertyControlAdapter.h"
#include "driver/DriverContext.h"
#include "driver/Log.h"

namespace {

const char* const kLastFocused = "LastFocusedItemName";

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
        const auto found = nameOfItem_.find(item);
        if (found != nameOfItem_.end() && HasParam(found->second)) {
            Param_& param = FindParam(found->second);
            AdapterFor(param)->GetControl(param, grid_, item);
        }
        std::string message;
        const bool valid = cameraSet_.Validate(message) && imageSet_.Validate(message);
        sheet_.SetValid(valid);
        if (!valid) {
            sheet_.ShowMessage(*this, message);
        }
        // Constraints may have switched parameters on or off: every item
        // follows at once.
        for (const auto& [shown, name] : nameOfItem_) {
            grid_.EnableItem(shown, FindParam(name).enabled);
        }
    } catch (const std::exception& e) {
        WriteLog(DriverContext::Instance(), 1, "CPropertyGeneral::OnItemChanged: ERROR: %s",
                 e.what());
    }
    return 0;
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
