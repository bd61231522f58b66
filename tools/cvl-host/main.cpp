// cvl-host: a small stand-in for the host machine-vision application. It loads
// the driver as a host does and drives it through the 18 entry points.

#include <limits.h>
#include <unistd.h>

#include <boost/program_options.hpp>
#include <filesystem>
#include <iostream>
#include <string>

#include "tools/cvl-host/Commands.h"
#include "tools/cvl-host/HostLibrary.h"
#include "tools/cvl-host/HostSession.h"
#include "tools/cvl-host/SettingsCommand.h"

namespace po = boost::program_options;

namespace {

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

struct Options {
    std::string command;
    std::string library;
    std::string systemDir;
    bool verbose = false;
    std::vector<std::string> arguments;  // after the command
    CommandOptions command_options;
};

const char* const kUsage =
    "usage: cvl-host [options] [command]\n\n"
    "commands:\n"
    "  grab   open a camera configuration on a port, grab images, write them as PGM\n"
    "         files (point clouds as PLY files) and print the statistics (the default)\n"
    "  list   print the camera configurations the driver offers\n"
    "  props  print (and with --set, write) the properties of an opened port\n"
    "  configure [NAME.N]  open the driver's configuration dialog for a camera\n"
    "         configuration and print what was saved\n"
    "  info   print the driver's constants\n"
    "  settings NAME.N [KEY=VALUE ...]\n"
    "         show or write the image settings of a configuration in VaveZAZ.ini,\n"
    "         for example ImageFormat=\"3D (XYZ)\" CalibrationFilter=Enabled\n\n";

bool ParseOptions(int argc, char** argv, Options& options) {
    CommandOptions& command = options.command_options;
    po::options_description visible("Options");
    visible.add_options()("help,h", "show this help")(
        "library", po::value(&options.library)->default_value(DefaultLibraryPath()),
        "the driver library to load")(
        "system-dir", po::value(&options.systemDir)->default_value("cvl-host-system"),
        "the host's system directory: VaveZAZ.ini and VaveZAZ.log live here")(
        "camera", po::value(&command.camera), "configuration name (default: the first offered)")(
        "port", po::value(&command.port)->default_value(1), "host port, 0 to 19")(
        "count", po::value(&command.count)->default_value(3), "images to grab")(
        "continuous", po::bool_switch(&command.continuous), "grab in continuous mode")(
        "out", po::value(&command.outputDir), "where images go (default: <system-dir>/images)")(
        "set", po::value(&command.settings)->composing(), "props: write NAME=VALUE first")(
        "timeout-ms", po::value(&command.timeoutMs)->default_value(10000),
        "longest wait for one image")("open", po::bool_switch(&command.openFirst),
                                      "configure: open the camera on --port first, so the "
                                      "dialog shows its image settings too")(
        "parent", po::value(&command.parentWindow),
        "configure: X11 window ID the dialog belongs to")(
        "verbose,v", po::bool_switch(&options.verbose), "print the driver's log lines");
    po::options_description hidden;
    hidden.add_options()("command", po::value(&options.command)->default_value("grab"))(
        "arguments", po::value(&options.arguments));
    po::options_description all;
    all.add(visible).add(hidden);
    po::positional_options_description positional;
    positional.add("command", 1).add("arguments", -1);

    po::variables_map values;
    po::store(po::command_line_parser(argc, argv).options(all).positional(positional).run(),
              values);
    po::notify(values);
    if (values.count("help") != 0) {
        std::cout << kUsage << visible;
        return false;
    }
    if (command.port < 0 || command.port >= 20) {
        throw std::runtime_error("--port must be 0 to 19");
    }
    if (command.count < 1) {
        throw std::runtime_error("--count must be at least 1");
    }
    return true;
}

int RunCommand(HostSession& session, const Options& options, const std::string& systemDir) {
    if (options.command == "grab") {
        return RunGrab(session, options.command_options);
    }
    if (options.command == "list") {
        return RunList(session);
    }
    if (options.command == "props") {
        return RunProps(session, options.command_options);
    }
    if (options.command == "configure") {
        CommandOptions configure = options.command_options;
        if (configure.camera.empty() && !options.arguments.empty()) {
            configure.camera = options.arguments.front();
        }
        return RunConfigure(session, configure, systemDir);
    }
    return RunInfo(session);
}

// The settings file is edited without the driver: nothing is discovered or
// opened.
int RunSettingsCommand(const std::string& systemDir, const Options& options) {
    std::vector<std::string> assignments = options.arguments;
    std::string configuration = options.command_options.camera;
    if (configuration.empty() && !assignments.empty()) {
        configuration = assignments.front();
        assignments.erase(assignments.begin());
    }
    if (configuration.empty()) {
        throw std::runtime_error("settings: name the configuration, e.g. cvl-host settings NAME.1");
    }
    return RunSettings(systemDir + "/VaveZAZ.ini", configuration, assignments);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options;
        if (!ParseOptions(argc, argv, options)) {
            return 0;
        }
        if (options.command != "grab" && options.command != "list" && options.command != "props" &&
            options.command != "configure" && options.command != "info" &&
            options.command != "settings") {
            std::cerr << "cvl-host: unknown command '" << options.command << "' (try --help)\n";
            return 2;
        }
        std::filesystem::create_directories(options.systemDir);
        const std::string systemDir = std::filesystem::absolute(options.systemDir).string();
        if (options.command_options.outputDir.empty()) {
            options.command_options.outputDir = systemDir + "/images";
        }
        if (options.command == "settings") {
            return RunSettingsCommand(systemDir, options);
        }

        HostLibrary driver(options.library);
        HostSession session(driver, options.verbose);
        if (driver.initialize(systemDir.c_str(), &HostSession::OnDebugMessage) != 1) {
            std::cerr << "cvl-host: initialize failed\n";
            return 1;
        }
        std::cout << "driver: " << options.library << "\nsystem: " << systemDir << "\n";
        int result = 1;
        try {
            result = RunCommand(session, options, systemDir);
        } catch (const std::exception& e) {
            std::cerr << "cvl-host: " << e.what() << "\n";
        }
        driver.finalize();
        return result;
    } catch (const std::exception& e) {
        std::cerr << "cvl-host: " << e.what() << "\n";
        return 1;
    }
}
