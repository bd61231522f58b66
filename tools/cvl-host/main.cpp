// cvl-host: a small stand-in for the host machine-vision application. It loads
// the driver as a host does and drives it through the 18 entry points.

#include <limits.h>
#include <unistd.h>

#include <boost/program_options.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "tools/cvl-host/HostLibrary.h"

namespace po = boost::program_options;

namespace {

bool verbose = false;

// The driver's log as the host receives it: a timestamp, then the message.
void HostDebugProc(const char* text) {
    if (verbose) {
        std::fputs(text, stdout);
        std::fflush(stdout);
    }
}

std::string DefaultLibraryPath() {
    char exe[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) {
        return "libvavezaz.so";
    }
    exe[length] = '\0';
    return (std::filesystem::path(exe).parent_path().parent_path() / "lib" / "libvavezaz.so")
        .string();
}

int RunInfo(HostLibrary& driver) {
    std::cout << "grabbers: " << driver.getCVLMaxNoOfGrabbers() << "\n"
              << "ports:    " << driver.getCVLMaxNoOfPorts() << "\n";
    return 0;
}

struct Options {
    std::string command;
    std::string library;
    std::string systemDir;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    po::options_description visible("Options");
    visible.add_options()("help,h", "show this help")(
        "library", po::value(&options.library)->default_value(DefaultLibraryPath()),
        "the driver library to load")(
        "system-dir", po::value(&options.systemDir)->default_value("cvl-host-system"),
        "the host's system directory: VaveZAZ.ini and VaveZAZ.log live here")(
        "verbose,v", po::bool_switch(&verbose), "print the driver's log lines");
    po::options_description hidden;
    hidden.add_options()("command", po::value(&options.command)->default_value("info"));
    po::options_description all;
    all.add(visible).add(hidden);
    po::positional_options_description positional;
    positional.add("command", 1);

    po::variables_map values;
    po::store(po::command_line_parser(argc, argv).options(all).positional(positional).run(),
              values);
    po::notify(values);
    if (values.count("help") != 0) {
        std::cout << "usage: cvl-host [options] [command]\n\n"
                  << "commands:\n"
                  << "  info   initialize the driver, print its constants, finalize\n\n"
                  << visible;
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options;
        if (!ParseOptions(argc, argv, options)) {
            return 0;
        }
        if (options.command != "info") {
            std::cerr << "cvl-host: unknown command '" << options.command << "' (try --help)\n";
            return 2;
        }
        std::filesystem::create_directories(options.systemDir);
        const std::string systemDir = std::filesystem::absolute(options.systemDir).string();

        HostLibrary driver(options.library);
        if (driver.initialize(systemDir.c_str(), &HostDebugProc) != 1) {
            std::cerr << "cvl-host: initialize failed\n";
            return 1;
        }
        std::cout << "driver:   " << options.library << "\n"
                  << "system:   " << systemDir << "\n";
        int result = RunInfo(driver);
        driver.finalize();
        return result;
    } catch (const std::exception& e) {
        std::cerr << "cvl-host: " << e.what() << "\n";
        return 1;
    }
}
