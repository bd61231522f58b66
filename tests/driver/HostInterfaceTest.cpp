// The built driver loaded at run time, as a host loads it.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "tests/support/LogCapture.h"
#include "tools/cvl-host/HostLibrary.h"

namespace {

std::string LibraryPath() {
    const char* path = std::getenv("VAVEZAZ_LIBRARY");
    return path != nullptr ? path : "libvavezaz.so";
}

// The Windows build reads the DLL's export table with objdump on the build
// machine instead (dll_exports).
#ifndef _WIN32
std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
    std::set<std::string> names;
    std::string command = "nm -D --defined-only '" + library + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) {
        return names;
    }
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) {
            names.insert(name);
        }
    }
    return names;
}
#endif

}  // namespace

#ifndef _WIN32
TEST(HostInterface, LibraryExportsExactlyTheEighteenEntryPoints) {
    const std::set<std::string> expected{"initialize",
                                         "finalize",
                                         "setSystemPath",
                                         "setDebugMsgProc",
                                         "getCVLMaxNoOfGrabbers",
                                         "getCVLMaxNoOfPorts",
                                         "getCVLNoOfSupportedCameras",
                                         "getCVLCameraConfigNames",
                                         "openCVLPort",
                                         "closeCVLPort",
                                         "doCVLGrab",
                                         "getCVLGrabRow",
                                         "setHWTrigger",
                                         "setCompleteCallback",
                                         "getProperty",
                                         "getPropertyRange",
                                         "setProperty",
                                         "configureCamera"};
    EXPECT_EQ(expected, DefinedDynamicSymbols(LibraryPath()));
}
#endif

TEST(HostInterface, MissingLibraryIsAClearError) {
    try {
        HostLibrary missing("/nonexistent/libvavezaz.so");
        FAIL() << "loading a missing library must fail";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("cannot load the driver"));
    }
}

TEST(HostInterface, HostDrivesTheLoadedLibraryThroughItsEntryPoints) {
    LogCapture capture;
    HostLibrary driver(LibraryPath());
    const std::filesystem::path systemDir =
        std::filesystem::temp_directory_path() / ("vavezaz-host-" + std::to_string(::getpid()));
    std::filesystem::create_directories(systemDir);

    ASSERT_EQ(1, driver.initialize(systemDir.string().c_str(), LogCapture::Proc()));
    EXPECT_EQ(1, driver.getCVLMaxNoOfGrabbers());
    EXPECT_EQ(20, driver.getCVLMaxNoOfPorts());
    EXPECT_EQ(0, driver.doCVLGrab(0, 4));
    EXPECT_TRUE(
        capture.Contains("doCVLGrab: --EXCEPTION caught  grabberNo=0, portNo=4: "
                         "CameraList::GetByPort: could not find camera on port 4\n"));
    int imageSize[2] = {5, 5};
    EXPECT_EQ(0, driver.openCVLPort(0, 4, "undefined", imageSize));
    EXPECT_EQ(0, imageSize[0]);
    EXPECT_EQ(1, driver.finalize());
    std::filesystem::remove_all(systemDir);
}
