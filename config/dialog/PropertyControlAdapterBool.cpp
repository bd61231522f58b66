#include "config/dialog/PropertyControlAdapterBool.h"

#include "config/Param_.h"
#include "config/dialog/ParamValue.h"
#include "config/propertygrid/CPropertyGrid.h"

int32_t PropertyControlAdapterBool::AddItem(Param_& param, CPropertyGrid& grid, int32_t section) {
    return grid.AddBoolItem(section, param.name, GetValue<bool>(param), param.enabled);
}

void PropertyControlAdapterBool::SetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    if (!grid.SetItemValue(item, GetValue<bool>(param))) {
        ThrowSetControlFailed(param);
    }
}

void PropertyControlAdapterBool::GetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    bool value = false;
    if (!grid.GetItemValue(item, value)) {
        ThrowGetControlFailed(param);
    }
    SetValue<bool>(param, value);
}
