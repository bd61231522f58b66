#include "tools/cvl-host/Version.h"

#include <filesystem>
#include <system_error>

#include "tools/cvl-host/Console.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/HostSession.h"

namespace {

constexpr const char* kVersionMark = "VaveZAZ camera driver V";

// The version text of the initialize line: up to the comma before "refcount".
std::string DriverVersion(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const size_t start = line.find(kVersionMark);
        if (start != std::string::npos) {
            const size_t end = line.find(", refcount", start);
            return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
        }
    }
    return "its initialize logged no version";
}

}  // namespace

int PrintVersion(std::ostream& out, const std::string& library) {
    HostLibrary driver(library);
    Console console(true);
    // No system directory: asking the version reads and writes no file.
    HostSession session(driver, console, false, "");
    session.Capture(true);
    const bool initialized = driver.initialize("", &HostSession::OnDebugMessage) == 1;
    session.Capture(false);
    if (!initialized) {
        throw session.Failure(ExitCode::kDriver, "the driver's initialize failed");
    }
    driver.finalize();
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(library, error);
    out << "cvl-host " << VAVEZAZ_TOOL_VERSION << "\n"
        << "driver: " << (error ? library : file.string()) << " ("
        << DriverVersion(session.Captured()) << ")\n";
    return Status(ExitCode::kOk);
}
