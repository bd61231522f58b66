#include "config/dialog/PropertyControlAdapterInt.h"

#include <algorithm>
#include <limits>

#include "config/Param_.h"
#include "config/dialog/ParamValue.h"
#include "config/propertygrid/CPropertyGrid.h"

int32_t PropertyControlAdapterInt::AddItem(Param_& param, CPropertyGrid& grid, int32_t section) {
    return grid.AddIntegerItem(section, param.name, GetValue<int>(param), "", param.enabled);
}

void PropertyControlAdapterInt::SetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    if (!grid.SetItemValue(item, static_cast<int32_t>(GetValue<int>(param)))) {
        ThrowSetControlFailed(param);
    }
}

void PropertyControlAdapterInt::GetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    int64_t typed = 0;
    if (!grid.GetItemValue(item, typed)) {
        ThrowGetControlFailed(param);
    }
    // A number beyond the type is held at its nearest end, so the range check
    // rejects it; its low 32 bits could pass for a valid, different value.
    const int64_t lowest = std::numeric_limits<int>::min();
    const int64_t highest = std::numeric_limits<int>::max();
    SetValue<int>(param, static_cast<int>(std::clamp(typed, lowest, highest)));
}
