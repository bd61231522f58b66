#include "config/dialog/PropertyControlAdapterString.h"

#include "config/Param_.h"
#include "config/dialog/ParamValue.h"
#include "config/propertygrid/CPropertyGrid.h"

int32_t PropertyControlAdapterString::AddItem(Param_& param, CPropertyGrid& grid, int32_t section) {
    return grid.AddStringItem(section, param.name, GetValue<std::string>(param), param.enabled);
}

void PropertyControlAdapterString::SetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    if (!grid.SetItemValue(item, GetValue<std::string>(param))) {
        ThrowSetControlFailed(param);
    }
}

void PropertyControlAdapterString::GetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    std::string value;
    if (!grid.GetItemValue(item, value)) {
        ThrowGetControlFailed(param);
    }
    SetValue<std::string>(param, value);
}
