#pragma once

#include "config/dialog/PropertyControlAdapter.h"

// The parameter file setting as a file item: shown as a full path, stored relative to the system
// directory when it lies in or just beside it.
class PropertyControlAdapterFile : public PropertyControlAdapter {
  public:
    int32_t AddItem(Param_& param, CPropertyGrid& grid, int32_t section) override;
    void SetControl(Param_& param, CPropertyGrid& grid, int32_t item) override;
    void GetControl(Param_& param, CPropertyGrid& grid, int32_t item) override;
};
