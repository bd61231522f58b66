#include "config/dialog/PropertyControlAdapterUInt.h"

#include <limits>
#include <string>

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
    // A number the type cannot hold is refused rather than moved to its
    // nearest end: "-5" stored as 0 would be a value nobody typed.
    const int64_t highest = std::numeric_limits<unsigned int>::max();
    if (typed < 0 || typed > highest) {
        throw RefusedValue(param.name + ": " + std::to_string(typed) +
                           " is not a number from 0 to " + std::to_string(highest));
    }
    SetValue<unsigned int>(param, static_cast<unsigned int>(typed));
}
