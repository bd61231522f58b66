#include "config/dialog/PropertyControlAdapterEnum.h"

#include "config/ParamEnum.h"
#include "config/dialog/ParamValue.h"
#include "config/propertygrid/CPropertyGrid.h"

int32_t PropertyControlAdapterEnum::AddItem(Param_& param, CPropertyGrid& grid, int32_t section) {
    auto* choice = dynamic_cast<ParamEnum*>(&param);
    if (choice == nullptr) {
        throw WrongParamType(param.name);
    }
    // The last label carrying the current label's value is shown selected.
    const int32_t current = choice->ValueOf(choice->value);
    int32_t selected = 0;
    for (size_t position = 0; position < choice->values.size(); ++position) {
        if (choice->values[position] == current) {
            selected = static_cast<int32_t>(position);
        }
    }
    return grid.AddComboItem(section, param.name, choice->labels, selected, param.enabled);
}
