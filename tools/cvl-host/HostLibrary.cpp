#include "tools/cvl-host/HostLibrary.h"

#include <dlfcn.h>

#include "tools/cvl-host/ExitCode.h"

template <typename Function>
void HostLibrary::Resolve(Function& function, const char* name) {
    void* symbol = ::dlsym(handle_, name);
    if (symbol == nullptr) {
        throw ToolError(ExitCode::kDriver,
                        std::string("the driver does not export the entry point ") + name);
    }
    function = reinterpret_cast<Function>(symbol);
}

HostLibrary::HostLibrary(const std::string& path) {
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        throw ToolError(ExitCode::kDriver, "cannot load the driver: " + std::string(::dlerror()));
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
        ::dlclose(handle_);
        throw;
    }
}

HostLibrary::~HostLibrary() {
    ::dlclose(handle_);
}
