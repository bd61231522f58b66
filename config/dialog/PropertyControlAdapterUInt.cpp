#include "config/dialog/PropertyControlAdapterUInt.h"

#include <algorithm>
#include <limits>

#include "config/Param_.h"
#include "config/dialog/ParamValue.h"
#include "config/propertygrid/CPropertyGrid.h"

int32_t PropertyControlAdapterUInt::AddItem(Param_& param, CPropertyGrid& grid, int32_t section) {
    return grid.AddIntegerItem(section, param.name, GetValue<unsigned int>(param), "",
                               param.enabled);
}

void PropertyControlAdapterUInt::SetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    if (!grid.SetItemValueUnsigned(item, GetValue<unsigned int>(param))) {
        ThrowSetControlFailed(param);
    }
}

void PropertyControlAdapterUInt::GetControl(Param_& param, CPropertyGrid& grid, int32_t item) {
    int64_t typed = 0;
    if (!grid.GetItemValue(item, typed)) {
        ThrowGetControlFailed(param);
    }
    // Held at the type's nearest end, as for signed integers.
    const int64_t highest = std::numeric_limits<unsigned int>::max();
    SetValue<unsigned int>(param,
                           static_cast<unsigned int>(std::clamp<int64_t>(typed, 0, highest)));
}
