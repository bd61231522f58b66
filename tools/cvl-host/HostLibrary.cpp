#include "tools/cvl-host/HostLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "tools/cvl-host/ExitCode.h"

// The system's loader: LoadLibrary on Windows, dlopen elsewhere. Each answers
// null on failure, with the loader's reason from LoaderError.
namespace {

#ifdef _WIN32
void* OpenLibrary(const std::string& path) {
    return reinterpret_cast<void*>(::LoadLibraryA(path.c_str()));
}
void* FindSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle), name));
}
void CloseLibrary(void* handle) {
    ::FreeLibrary(static_cast<HMODULE>(handle));
}
std::string LoaderError() {
    char text[512] = "";
    const DWORD error = ::GetLastError();
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                     text, sizeof text, nullptr);
    std::string reason(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return reason.empty() ? "error " + std::to_string(error) : reason;
}
#else
void* OpenLibrary(const std::string& path) {
    return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* FindSymbol(void* handle, const char* name) {
    return ::dlsym(handle, name);
}
void CloseLibrary(void* handle) {
    ::dlclose(handle);
}
std::string LoaderError() {
    return ::dlerror();
}
#endif

}  // namespace

template <typename Function>
void HostLibrary::Resolve(Function& function, const char* name) {
    void* symbol = FindSymbol(handle_, name);
    if (symbol == nullptr) {
        throw ToolError(ExitCode::kDriver,
                        std::string("the driver does not export the entry point ") + name);
    }
    function = reinterpret_cast<Function>(symbol);
}

HostLibrary::HostLibrary(const std::string& path) {
    handle_ = OpenLibrary(path);
    if (handle_ == nullptr) {
        throw ToolError(ExitCode::kDriver, "cannot load the driver: " + LoaderError());
    }
    try {
        Resolve(initialize, "initialize");
        Resolve(finalize, "finalize");
        Resolve(setSystemPath, "setSystemPath");
        Resolve(setDebugMsgProc, "setDebugMsgProc");
        Resolve(getCVLMaxNoOfGrabbers, "getCVLMaxNoOfGrabbers");
        Resolve(getCVLMaxNoOfPorts, "getCVLMaxNoOfPorts");
        Resolve(getCVLNoOfSupportedCameras, "getCVLNoOfSupportedCameras");
        Resolve(getCVLCameraConfigNames, "getCVLCameraConfigNames");
        Resolve(openCVLPort, "openCVLPort");
        Resolve(closeCVLPort, "closeCVLPort");
        Resolve(doCVLGrab, "doCVLGrab");
        Resolve(getCVLGrabRow, "getCVLGrabRow");
        Resolve(setHWTrigger, "setHWTrigger");
        Resolve(setCompleteCallback, "setCompleteCallback");
        Resolve(getProperty, "getProperty");
        Resolve(getPropertyRange, "getPropertyRange");
        Resolve(setProperty, "setProperty");
        Resolve(configureCamera, "configureCamera");
    } catch (...) {
        CloseLibrary(handle_);
        throw;
    }
}

HostLibrary::~HostLibrary() {
    CloseLibrary(handle_);
}
