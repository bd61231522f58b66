#include "platform/ModuleState.h"

#include <windows.h>

namespace platform {

namespace {

// The module this code was linked into: the driver's DLL inside a host.
HMODULE OwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&OwnModule), &module);
    return module;
}

thread_local void* current = nullptr;

}  // namespace

ModuleStateScope::ModuleStateScope() : previous_(current) {
    current = OwnModule();
}

ModuleStateScope::~ModuleStateScope() {
    current = previous_;
}

void* CurrentResourceModule() {
    return current;
}

}  // namespace platform
