#pragma once

#include <string>

#include "config/Param.h"

// Free text: any value is valid.
class ParamString : public Param<std::string> {
  public:
    ParamString(const std::string& category, const std::string& name, const std::string& value);

    bool IsValid() const override;
    std::unique_ptr<Param_> Clone() const override;

  protected:
    ParamString(const ParamString&) = default;
};
