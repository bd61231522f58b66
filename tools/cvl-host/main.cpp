// cvl-host: a small stand-in for the host machine-vision application. It loads
// the driver as a host does and drives it through the 18 entry points.

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <iostream>
#include <string>

#include "tools/cvl-host/CommandLine.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/HelpText.h"
#include "tools/cvl-host/HostLibrary.h"
#include "tools/cvl-host/HostSession.h"
#include "tools/cvl-host/SettingsCommand.h"
#include "tools/cvl-host/Version.h"

namespace {

#ifdef _WIN32
// The driver beside this program, where the build and an installation put it.
std::string DefaultLibraryPath() {
    char exe[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, exe, sizeof exe);
    if (length == 0 || length >= sizeof exe) {
        return "VaveZAZ.dll";
    }
    return (std::filesystem::path(exe).parent_path() / "VaveZAZ.dll").string();
}
#else
// The driver in the library directory beside this program's: where the
// install put it (VAVEZAZ_INSTALLED_LIBRARY is relative to the program's
// directory), else the build tree's lib/. Without either, the dynamic
// loader's own search for the library's SONAME.
std::string DefaultLibraryPath() {
    const std::string soname = std::filesystem::path(VAVEZAZ_INSTALLED_LIBRARY).filename().string();
    char exe[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) {
        return soname;
    }
    exe[length] = '\0';
    const std::filesystem::path bin = std::filesystem::path(exe).parent_path();
    for (const char* relative : {VAVEZAZ_INSTALLED_LIBRARY, "../lib/libvavezaz.so"}) {
        const std::filesystem::path candidate = (bin / relative).lexically_normal();
        if (std::filesystem::exists(candidate)) {
            return candidate.string();
        }
    }
    return soname;
}
#endif

int PrintHelp(const CommandLine& line, const std::string& defaultLibrary) {
    std::string topic = line.command;
    if (line.command == "help") {
        topic = !line.arguments.empty() ? line.arguments.front() : line.global.help ? "help" : "";
    }
    if (topic.empty()) {
        PrintToolHelp(std::cout, defaultLibrary);
    } else {
        PrintCommandHelp(std::cout, *FindCommand(topic), defaultLibrary);
    }
    return Status(ExitCode::kOk);
}

// Ends the driver's session when the command ends, also by an error.
class DriverFinalizer {
  public:
    explicit DriverFinalizer(HostLibrary& driver) : driver_(driver) {}
    ~DriverFinalizer() { driver_.finalize(); }

    DriverFinalizer(const DriverFinalizer&) = delete;
    DriverFinalizer& operator=(const DriverFinalizer&) = delete;

  private:
    HostLibrary& driver_;
};

int RunCommand(HostSession& session, const CommandLine& line, const std::string& systemDir) {
    if (line.command == "list") {
        return RunList(session);
    }
    if (line.command == "props") {
        return RunProps(session, line.options);
    }
    if (line.command == "info") {
        return RunInfo(session);
    }
    if (line.command == "configure") {
        CommandOptions configure = line.options;
        if (configure.camera.empty() && !line.arguments.empty()) {
            configure.camera = line.arguments.front();
        }
        return RunConfigure(session, configure, systemDir);
    }
    if (line.command == "view") {
        CommandOptions view = line.options;
        if (view.camera.empty() && !line.arguments.empty()) {
            view.camera = line.arguments.front();
        }
#ifdef _WIN32
        throw ToolError(ExitCode::kFailed, "view is built for Linux only");
#else
        return RunView(session, view, systemDir);
#endif
    }
    return RunGrab(session, line.options);
}

int RunWithDriver(const CommandLine& line, const std::string& systemDir, Console& console) {
    HostLibrary driver(line.global.library);
    HostSession session(driver, console, line.global.verbose, systemDir);
    session.Capture(true);
    const bool initialized =
        driver.initialize(systemDir.c_str(), &HostSession::OnDebugMessage) == 1;
    session.Capture(false);
    if (!initialized) {
        throw session.Failure(
            ExitCode::kDriver,
            "the driver's initialize failed for the system directory " + systemDir);
    }
    const DriverFinalizer finalizer(driver);
    console.Progress() << "driver: " << line.global.library << "\nsystem: " << systemDir << "\n";
    return RunCommand(session, line, systemDir);
}

// The settings file is edited without the driver: nothing is discovered or
// opened.
int RunSettingsCommand(const CommandLine& line, const std::string& systemDir, Console& console) {
    std::vector<std::string> assignments = line.arguments;
    std::string configuration = line.options.camera;
    if (configuration.empty() && !assignments.empty()) {
        configuration = assignments.front();
        assignments.erase(assignments.begin());
    }
    if (configuration.empty()) {
        throw ToolError(ExitCode::kUsage,
                        "settings: name the configuration, e.g. cvl-host settings NAME.1");
    }
    return RunSettings((std::filesystem::path(systemDir) / "VaveZAZ.ini").string(), configuration,
                       assignments, console);
}

int Run(CommandLine& line) {
    std::filesystem::create_directories(line.global.systemDir);
    const std::string systemDir = std::filesystem::absolute(line.global.systemDir).string();
    if (line.options.outputDir.empty()) {
        line.options.outputDir = (std::filesystem::path(systemDir) / "images").string();
    }
    Console console(line.global.quiet);
    if (line.command == "settings") {
        return RunSettingsCommand(line, systemDir, console);
    }
    return RunWithDriver(line, systemDir, console);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string defaultLibrary = DefaultLibraryPath();
    try {
        CommandLine line = ParseCommandLine({argv + 1, argv + argc}, defaultLibrary);
        if (line.global.version) {
            return PrintVersion(std::cout, line.global.library);
        }
        if (line.global.help || line.command == "help") {
            return PrintHelp(line, defaultLibrary);
        }
        return Run(line);
    } catch (const ToolError& e) {
        std::cerr << "cvl-host: " << e.what() << "\n";
        return Status(e.Code());
    } catch (const std::exception& e) {
        std::cerr << "cvl-host: " << e.what() << "\n";
        return Status(ExitCode::kFailed);
    }
}
