#include "config/Param_.h"

Param_::Param_(const std::string& category, const std::string& name, bool enabled)
    : name(name), category(category), enabled(enabled) {}

void Param_::Assign(const Param_& other) {
    name = other.name;
    category = other.category;
    enabled = other.enabled;
    general = other.general;
    persistent = other.persistent;
    visible = other.visible;
    description = other.description;
}
