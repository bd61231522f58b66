#include "platform/ModuleState.h"

namespace platform {

// The dialogs here carry no module resources: there is nothing to switch.
ModuleStateScope::ModuleStateScope() : previous_(nullptr) {}

ModuleStateScope::~ModuleStateScope() = default;

void* CurrentResourceModule() {
    return nullptr;
}

}  // namespace platform
