#pragma once

#include <string>

#include "vavezaz/CvlDriver.h"

// The driver as a host sees it: a library loaded at run time and its 18 entry
// points resolved by name.
class HostLibrary {
  public:
    // Loads the library and resolves every entry point; throws ToolError
    // with ExitCode::kDriver naming what is missing.
    explicit HostLibrary(const std::string& path);
    ~HostLibrary();

    HostLibrary(const HostLibrary&) = delete;
    HostLibrary& operator=(const HostLibrary&) = delete;

    decltype(&::initialize) initialize = nullptr;
    decltype(&::finalize) finalize = nullptr;
    decltype(&::setSystemPath) setSystemPath = nullptr;
    decltype(&::setDebugMsgProc) setDebugMsgProc = nullptr;
    decltype(&::getCVLMaxNoOfGrabbers) getCVLMaxNoOfGrabbers = nullptr;
    decltype(&::getCVLMaxNoOfPorts) getCVLMaxNoOfPorts = nullptr;
    decltype(&::getCVLNoOfSupportedCameras) getCVLNoOfSupportedCameras = nullptr;
    decltype(&::getCVLCameraConfigNames) getCVLCameraConfigNames = nullptr;
    decltype(&::openCVLPort) openCVLPort = nullptr;
    decltype(&::closeCVLPort) closeCVLPort = nullptr;
    decltype(&::doCVLGrab) doCVLGrab = nullptr;
    decltype(&::getCVLGrabRow) getCVLGrabRow = nullptr;
    decltype(&::setHWTrigger) setHWTrigger = nullptr;
    decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
    decltype(&::getProperty) getProperty = nullptr;
    decltype(&::getPropertyRange) getPropertyRange = nullptr;
    decltype(&::setProperty) setProperty = nullptr;
    decltype(&::configureCamera) configureCamera = nullptr;

  private:
    template <typename Function>
    void Resolve(Function& function, const char* name);

    void* handle_ = nullptr;
};
