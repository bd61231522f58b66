#include "config/dialog/PropertyControlAdapterFile.h"

#include "base/DriverContext.h"
#include "config/Param_.h"
#include "config/dialog/ParamValue.h"
#include "config/propertygrid/CPropertyGrid.h"

namespace {

const char* const kParameterFileFilter = "Parameter files (*.prm)|*.prm||";

// No file chosen stays no file: resolving an empty name would show the
// system directory itself as the parameter file.
std::string Shown(const Param_& param) {
    const std::string stored = GetValue<std::string>(param);
    return stored.empty() ? stored : DriverContext::Instance()->ResolvePath(stored);
}

}  // namespace

int32_t PropertyControlAdapterFile::AddItem(Param_& param, CPropertyGrid& grid, int32_t section) {
    return grid.AddFileItem(section, param.name, Shown(param), kParameterFileFilter, param.enabled);
}

void PropertyControlAdapterFile::SetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    if (!grid.SetItemValue(item, Shown(param))) {
        ThrowSetControlFailed(param);
    }
}

void PropertyControlAdapterFile::GetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    std::string path;
    if (!grid.GetItemValue(item, path)) {
        ThrowGetControlFailed(param);
    }
    SetValue<std::string>(param, DriverContext::Instance()->MakeRelativePath(path));
}
