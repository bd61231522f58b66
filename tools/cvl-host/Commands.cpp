#include "tools/cvl-host/Commands.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "tools/cvl-host/CameraChoice.h"
#include "tools/cvl-host/DriverStatistics.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/PointCloudGrab.h"
#include "tools/cvl-host/StreamCommand.h"

namespace {

constexpr const char* kPropertyNames[] = {
    "Width",       "Height",          "PixelSize",         "continuous",    "LogLevel",
    "LogIntoFile", "DebugViewOutput", "ConfigurationType", "NumberOfScans", "BufferSize"};

std::vector<unsigned char> ReadImage(HostLibrary& driver, int port, int width, int height,
                                     int bytesPerPixel) {
    const size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(bytesPerPixel);
    std::vector<unsigned char> image(rowBytes * static_cast<size_t>(height));
    for (int row = 0; row < height; ++row) {
        if (driver.getCVLGrabRow(0, port, image.data() + rowBytes * static_cast<size_t>(row), row,
                                 0, width - 1) != 1) {
            throw std::runtime_error("cannot read row " + std::to_string(row));
        }
    }
    return image;
}

void WritePgm(const std::filesystem::path& path, int width, int height,
              const std::vector<unsigned char>& pixels) {
    std::ofstream file(path, std::ios::binary);
    file << "P5\n" << width << " " << height << "\n255\n";
    file.write(reinterpret_cast<const char*>(pixels.data()),
               static_cast<std::streamsize>(pixels.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void PrintStatistics(HostSession& session, int port) {
    const DriverStatistics statistics = ReadStatistics(session, port);
    session.Out().Progress() << (statistics.known ? statistics.text
                                                  : "no driver statistics (its LogLevel is 0)\n");
}

bool GrabOne(HostSession& session, const CommandOptions& options, int image) {
    if (!options.continuous) {
        session.Capture(true);
        const bool accepted = session.Driver().doCVLGrab(0, options.port) == 1;
        session.Capture(false);
        if (!accepted) {
            throw session.Failure(ExitCode::kFailed, "the driver refused the grab on port " +
                                                         std::to_string(options.port));
        }
    }
    return session.WaitForImages(options.port, image, options.timeoutMs);
}

struct ImageShape {
    int width;
    int height;
    int pixelBits;
};

// Grabs and writes the images; returns how many arrived before one did not.
int GrabImages(HostSession& session, const CommandOptions& options, const std::string& camera,
               const ImageShape& shape) {
    HostLibrary& driver = session.Driver();
    const bool pointCloud = IsPointCloud(shape.pixelBits);
    // What the points are is fixed when the port opens.
    const std::string note =
        pointCloud ? PointsNote(ReadStatistics(session, options.port)) : std::string();
    for (int image = 1; image <= options.count; ++image) {
        if (!GrabOne(session, options, image)) {
            return image - 1;
        }
        // In continuous mode the next buffer may already be on its way into the
        // image; the tool reads it anyway, as a host polling rows would.
        const auto path = std::filesystem::path(options.outputDir) /
                          ("image-" + std::to_string(image) + (pointCloud ? ".ply" : ".pgm"));
        if (pointCloud) {
            SavePointCloud(driver, camera, options.port, shape.pixelBits, path, note,
                           session.Out().Progress());
        } else {
            WritePgm(path, shape.width, shape.height,
                     ReadImage(driver, options.port, shape.width, shape.height, 1));
            session.Out().Progress() << "wrote " << path.string() << "\n";
        }
    }
    return options.count;
}

// The --set values, checked before the port is opened.
std::vector<std::pair<std::string, int>> PropertyWrites(const std::vector<std::string>& settings) {
    std::vector<std::pair<std::string, int>> writes;
    for (const std::string& setting : settings) {
        const size_t equals = setting.find('=');
        char* end = nullptr;
        const long value =
            equals == std::string::npos ? 0 : std::strtol(setting.c_str() + equals + 1, &end, 10);
        if (equals == std::string::npos || equals == 0 || end == setting.c_str() + equals + 1 ||
            *end != '\0' || value < INT32_MIN || value > INT32_MAX) {
            throw ToolError(ExitCode::kUsage,
                            "--set takes NAME=VALUE with a whole number, not '" + setting + "'");
        }
        writes.emplace_back(setting.substr(0, equals), static_cast<int>(value));
    }
    return writes;
}

void PrintProperty(std::ostream& out, HostLibrary& driver, int port, const char* name) {
    int value = 0;
    int minimum = 0;
    int maximum = 0;
    out << name << " = ";
    if (driver.getProperty(0, port, name, &value) == 1) {
        out << value;
    } else {
        out << "(not readable)";
    }
    if (driver.getPropertyRange(0, port, name, &minimum, &maximum) == 1) {
        out << "  range " << minimum << " .. " << maximum;
    }
    out << "\n";
}

}  // namespace

int RunInfo(HostSession& session) {
    session.Out().Result() << "grabbers: " << session.Driver().getCVLMaxNoOfGrabbers() << "\n"
                           << "ports:    " << session.Driver().getCVLMaxNoOfPorts() << "\n";
    return 0;
}

int RunList(HostSession& session) {
    Console& out = session.Out();
    session.Capture(true);
    const int count = session.Driver().getCVLNoOfSupportedCameras();
    session.Capture(false);
    const char** names = session.Driver().getCVLCameraConfigNames();
    if (count == 0 || names == nullptr || names[0] == nullptr) {
        throw session.Failure(ExitCode::kCamera, NoCameraFound());
    }
    out.Progress() << count << " configurations\n";
    std::string camera;
    for (size_t i = 0; names[i] != nullptr; ++i) {
        if (!out.Quiet() && CameraPart(names[i]) != camera) {
            camera = CameraPart(names[i]);
            out.Progress() << DescribeCamera(camera) << "\n";
        }
        out.Result() << (out.Quiet() ? "" : "  ") << names[i] << "\n";
    }
    return Status(ExitCode::kOk);
}

int RunGrab(HostSession& session, const CommandOptions& options) {
    if (options.durationSeconds > 0.0) {
        return RunStream(session, options);
    }
    HostLibrary& driver = session.Driver();
    const std::string camera = ChooseCamera(driver, options.camera);
    const auto [width, height] = OpenPort(session, camera, options.port);
    const ScopedPort opened(driver, options.port);
    int pixelBits = 0;
    driver.getProperty(0, options.port, "PixelSize", &pixelBits);
    session.Out().Progress() << "opened " << camera << " on port " << options.port << ": " << width
                             << " x " << height << ", " << pixelBits << " bits per pixel\n";
    if (pixelBits != 8 && !IsPointCloud(pixelBits)) {
        throw ToolError(ExitCode::kFailed,
                        "images of " + std::to_string(pixelBits) +
                            " bits per pixel can be written neither as PGM nor as PLY");
    }
    std::filesystem::create_directories(options.outputDir);
    if (options.continuous) {
        driver.setProperty(0, options.port, "continuous", 1);
    }
    const int written = GrabImages(session, options, camera, {width, height, pixelBits});
    if (options.continuous) {
        driver.setProperty(0, options.port, "continuous", 0);
    }
    PrintStatistics(session, options.port);
    session.Out().Result() << "grabbed " << written << " of " << options.count << " images from "
                           << camera << " on port " << options.port << " into " << options.outputDir
                           << "\n";
    if (written < options.count) {
        throw ToolError(ExitCode::kTimeout, "image " + std::to_string(written + 1) +
                                                " did not arrive within " +
                                                std::to_string(options.timeoutMs) + " ms");
    }
    return Status(ExitCode::kOk);
}

int RunProps(HostSession& session, const CommandOptions& options) {
    HostLibrary& driver = session.Driver();
    const std::vector<std::pair<std::string, int>> writes = PropertyWrites(options.settings);
    const std::string camera = ChooseCamera(driver, options.camera);
    OpenPort(session, camera, options.port);
    const ScopedPort opened(driver, options.port);
    std::ostream& out = session.Out().Result();
    int failures = 0;
    for (const auto& [name, value] : writes) {
        session.Capture(true);
        const bool stored = driver.setProperty(0, options.port, name.c_str(), value) == 1;
        session.Capture(false);
        out << "set " << name << "=" << value << (stored ? "" : " FAILED" + session.WarningLines())
            << "\n";
        failures += stored ? 0 : 1;
    }
    for (const char* name : kPropertyNames) {
        PrintProperty(out, driver, options.port, name);
    }
    return Status(failures == 0 ? ExitCode::kOk : ExitCode::kFailed);
}
