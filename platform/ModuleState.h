#pragma once

namespace platform {

// Makes the driver library's own resources and module state current for the
// windows it shows from inside the host, and restores the host's when it goes
// out of scope. A Windows build switches the state here; on this platform
// the dialogs carry no module resources, so there is nothing to switch.
class ModuleStateScope {
  public:
    ModuleStateScope() {}
    ~ModuleStateScope() {}
    ModuleStateScope(const ModuleStateScope&) = delete;
    ModuleStateScope& operator=(const ModuleStateScope&) = delete;
};

}  // namespace platform
