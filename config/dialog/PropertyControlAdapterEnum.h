#pragma once

#include "config/dialog/PropertyControlAdapterString.h"

// A ParamEnum as a drop-down list of its labels; reads back the chosen label.
class PropertyControlAdapterEnum : public PropertyControlAdapterString {
  public:
    int32_t AddItem(Param_& param, CPropertyGrid& grid, int32_t section) override;
};
