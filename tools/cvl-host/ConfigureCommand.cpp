// cvl-host configure: opens the driver's configuration dialog for a camera
// configuration and reports what the user saved.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>

#include "tools/cvl-host/Commands.h"

namespace {

using Settings = std::map<std::string, std::map<std::string, std::string>>;

// A plain reading of the settings file, enough to show what changed.
Settings ReadSettings(const std::filesystem::path& path) {
    Settings settings;
    std::ifstream file(path);
    std::string line;
    std::string section;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '[' && line.find(']') != std::string::npos) {
            section = line.substr(1, line.rfind(']') - 1);
        } else if (line.find('=') != std::string::npos) {
            const size_t equals = line.find('=');
            settings[section][line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return settings;
}

void PrintChanges(const Settings& before, const Settings& after) {
    int changes = 0;
    for (const auto& [section, keys] : after) {
        for (const auto& [key, value] : keys) {
            const auto oldSection = before.find(section);
            std::string old = "(none)";
            if (oldSection != before.end() && oldSection->second.count(key) != 0) {
                old = oldSection->second.at(key);
            }
            if (old != value) {
                std::cout << "  [" << section << "] " << key << ": " << old << " -> " << value
                          << "\n";
                ++changes;
            }
        }
    }
    if (changes == 0) {
        std::cout << "  (no value changed)\n";
    }
}

bool IsOffered(HostLibrary& driver, const std::string& camera) {
    const char** names = driver.getCVLCameraConfigNames();
    for (size_t i = 0; names != nullptr && names[i] != nullptr; ++i) {
        if (camera == names[i]) {
            return true;
        }
    }
    return false;
}

}  // namespace

int RunConfigure(HostSession& session, const CommandOptions& options,
                 const std::string& systemDir) {
    HostLibrary& driver = session.Driver();
    std::string camera = options.camera;
    // A camera reached by address joins the list only when a port opens it,
    // so the list is asked only about names it should offer.
    const bool offered = camera.empty() || options.openFirst || IsOffered(driver, camera);
    if (camera.empty()) {
        const char** names = driver.getCVLCameraConfigNames();
        if (names == nullptr || names[0] == nullptr) {
            throw std::runtime_error("no camera found on the network");
        }
        camera = names[0];
    }
    if (options.openFirst) {
        int size[2] = {0, 0};
        if (driver.openCVLPort(0, options.port, camera.c_str(), size) != 1) {
            throw std::runtime_error("cannot open " + camera + " on port " +
                                     std::to_string(options.port) +
                                     " (see VaveZAZ.log or run with --verbose)");
        }
        std::cout << "opened " << camera << " on port " << options.port << "\n";
    } else if (!offered) {
        throw std::runtime_error("the driver offers no camera configuration " + camera +
                                 " (see cvl-host list; a camera reached by address needs --open)");
    }
    const std::filesystem::path settingsFile = std::filesystem::path(systemDir) / "VaveZAZ.ini";
    const Settings before = ReadSettings(settingsFile);
    std::cout << "configuring " << camera << ": close the dialog to go on\n" << std::flush;
    HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(options.parentWindow));
    const int result = driver.configureCamera(parent, camera.c_str());
    if (options.openFirst) {
        driver.closeCVLPort(0, options.port);
    }
    if (result != 0) {
        std::cout << "nothing saved: the dialog was cancelled, could not be shown, or could not "
                     "write the settings file (see VaveZAZ.log or run with --verbose)\n";
        return 1;
    }
    std::cout << "saved to " << settingsFile.string() << ":\n";
    PrintChanges(before, ReadSettings(settingsFile));
    return 0;
}
