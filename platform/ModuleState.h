#pragma once

namespace platform {

// Makes the driver library's own resources and module state current for the
// windows it shows from inside the host, and restores the previous state when
// it goes out of scope. The driver lives in the host's process: without the
// switch, a window would look for its templates and classes in the host's
// program. Bound to the thread that opens it; scopes nest.
class ModuleStateScope {
  public:
    ModuleStateScope();
    ~ModuleStateScope();
    ModuleStateScope(const ModuleStateScope&) = delete;
    ModuleStateScope& operator=(const ModuleStateScope&) = delete;

  private:
    // Read back only where a module state is switched.
    [[maybe_unused]] void* previous_;
};

// The module whose resources the driver's windows load on this thread: the
// driver library's own while a scope is open, else null. Always null where
// windows carry no module resources.
void* CurrentResourceModule();

}  // namespace platform
