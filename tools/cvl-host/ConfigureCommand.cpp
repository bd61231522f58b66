// cvl-host configure: opens the driver's configuration dialog for a camera
// configuration and reports what the user saved.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <string>

#include "tools/cvl-host/CameraChoice.h"
#include "tools/cvl-host/Commands.h"
#include "tools/cvl-host/ExitCode.h"

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

void PrintChanges(std::ostream& out, const Settings& before, const Settings& after) {
    int changes = 0;
    for (const auto& [section, keys] : after) {
        for (const auto& [key, value] : keys) {
            const auto oldSection = before.find(section);
            std::string old = "(none)";
            if (oldSection != before.end() && oldSection->second.count(key) != 0) {
                old = oldSection->second.at(key);
            }
            if (old != value) {
                out << "  [" << section << "] " << key << ": " << old << " -> " << value << "\n";
                ++changes;
            }
        }
    }
    if (changes == 0) {
        out << "  (no value changed)\n";
    }
}

}  // namespace

int RunConfigure(HostSession& session, const CommandOptions& options,
                 const std::string& systemDir) {
    HostLibrary& driver = session.Driver();
    Console& out = session.Out();
    // A camera reached by address joins the list only when a port opens it,
    // so the list is asked only about names it should offer.
    if (!options.camera.empty() && !options.openFirst) {
        if (IsAddressName(options.camera)) {
            throw ToolError(ExitCode::kCamera,
                            options.camera +
                                " names a camera by address, which the driver knows only once a "
                                "port opens it: add --open");
        }
        if (!IsOffered(driver, options.camera)) {
            ThrowNotOffered(driver, options.camera);
        }
    }
    const std::string camera = ChooseCamera(driver, options.camera);
    std::unique_ptr<ScopedPort> opened;
    if (options.openFirst) {
        OpenPort(session, camera, options.port);
        opened = std::make_unique<ScopedPort>(driver, options.port);
        out.Progress() << "opened " << camera << " on port " << options.port << "\n";
    }
    const std::filesystem::path settingsFile = std::filesystem::path(systemDir) / "VaveZAZ.ini";
    const Settings before = ReadSettings(settingsFile);
    out.Progress() << "configuring " << camera << ": close the dialog to go on\n" << std::flush;
    HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(options.parentWindow));
    session.Capture(true);
    const int result = driver.configureCamera(parent, camera.c_str());
    session.Capture(false);
    opened.reset();
    if (result != 0) {
        throw session.Failure(ExitCode::kFailed,
                              "nothing saved: the dialog was cancelled, could not be shown, or "
                              "could not write the settings file");
    }
    out.Result() << "saved to " << settingsFile.string() << ":\n";
    PrintChanges(out.Result(), before, ReadSettings(settingsFile));
    return Status(ExitCode::kOk);
}
