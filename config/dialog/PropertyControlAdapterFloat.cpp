#include "config/dialog/PropertyControlAdapterFloat.h"

#include "config/Param_.h"
#include "config/dialog/ParamValue.h"
#include "config/propertygrid/CPropertyGrid.h"

int32_t PropertyControlAdapterFloat::AddItem(Param_& param, CPropertyGrid& grid, int32_t section) {
    return grid.AddDoubleItem(section, param.name, GetValue<double>(param), "", param.enabled);
}

void PropertyControlAdapterFloat::SetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    if (!grid.SetItemValue(item, GetValue<double>(param))) {
        ThrowSetControlFailed(param);
    }
}

void PropertyControlAdapterFloat::GetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    double value = 0.0;
    if (!grid.GetItemValue(item, value)) {
        ThrowGetControlFailed(param);
    }
    SetValue<double>(param, value);
}
