#pragma once

#include "config/dialog/PropertyControlAdapter.h"

// A Param<double> as a real item in the default format.
class PropertyControlAdapterFloat : public PropertyControlAdapter {
  public:
    int32_t AddItem(Param_& param, CPropertyGrid& grid, int32_t section) override;
    void SetControl(Param_& param, CPropertyGrid& grid, int32_t item) override;
    void GetControl(Param_& param, CPropertyGrid& grid, int32_t item) override;
};
