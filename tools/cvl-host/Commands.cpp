#include "tools/cvl-host/Commands.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "tools/cvl-host/PointCloudGrab.h"

namespace {

constexpr const char* kPropertyNames[] = {
    "Width",       "Height",          "PixelSize",         "continuous",    "LogLevel",
    "LogIntoFile", "DebugViewOutput", "ConfigurationType", "NumberOfScans", "BufferSize"};

std::string ChooseCamera(HostSession& session, const std::string& requested) {
    if (!requested.empty()) {
        return requested;
    }
    const char** names = session.Driver().getCVLCameraConfigNames();
    if (names == nullptr || names[0] == nullptr) {
        throw std::runtime_error("no camera found on the network");
    }
    return names[0];
}

// Opens the camera on the port and installs the completion callback; returns
// the image size.
std::pair<int, int> OpenPort(HostSession& session, const std::string& camera, int port) {
    HostLibrary& driver = session.Driver();
    int size[2] = {0, 0};
    if (driver.openCVLPort(0, port, camera.c_str(), size) != 1) {
        throw std::runtime_error("cannot open " + camera + " on port " + std::to_string(port) +
                                 " (see VaveZAZ.log or run with --verbose)");
    }
    if (driver.setCompleteCallback(0, port, &HostSession::OnImageComplete) != 1) {
        driver.closeCVLPort(0, port);
        throw std::runtime_error("cannot set the completion callback");
    }
    return {size[0], size[1]};
}

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
    session.Capture(true);
    session.Driver().setProperty(0, port, "PrintStats", 1);
    session.Capture(false);
    for (const std::string& line : session.Captured()) {
        if (line.find("statistics") != std::string::npos || line.find(":\t") != std::string::npos) {
            std::cout << line;
        }
    }
}

bool GrabOne(HostSession& session, const CommandOptions& options, int image) {
    if (!options.continuous && session.Driver().doCVLGrab(0, options.port) != 1) {
        throw std::runtime_error("the driver refused the grab");
    }
    return session.WaitForImages(options.port, image, options.timeoutMs);
}

}  // namespace

int RunInfo(HostSession& session) {
    std::cout << "grabbers: " << session.Driver().getCVLMaxNoOfGrabbers() << "\n"
              << "ports:    " << session.Driver().getCVLMaxNoOfPorts() << "\n";
    return 0;
}

int RunList(HostSession& session) {
    std::cout << session.Driver().getCVLNoOfSupportedCameras() << " configurations\n";
    const char** names = session.Driver().getCVLCameraConfigNames();
    for (size_t i = 0; names != nullptr && names[i] != nullptr; ++i) {
        std::cout << "  " << names[i] << "\n";
    }
    return 0;
}

int RunGrab(HostSession& session, const CommandOptions& options) {
    HostLibrary& driver = session.Driver();
    const std::string camera = ChooseCamera(session, options.camera);
    const auto [width, height] = OpenPort(session, camera, options.port);
    int pixelBits = 0;
    driver.getProperty(0, options.port, "PixelSize", &pixelBits);
    std::cout << "opened " << camera << " on port " << options.port << ": " << width << " x "
              << height << ", " << pixelBits << " bits per pixel\n";
    const bool pointCloud = IsPointCloud(pixelBits);
    if (pixelBits != 8 && !pointCloud) {
        driver.closeCVLPort(0, options.port);
        throw std::runtime_error("images of " + std::to_string(pixelBits) +
                                 " bits per pixel can be written neither as PGM nor as PLY");
    }
    std::filesystem::create_directories(options.outputDir);
    if (options.continuous) {
        driver.setProperty(0, options.port, "continuous", 1);
    }
    int written = 0;
    for (int image = 1; image <= options.count; ++image) {
        if (!GrabOne(session, options, image)) {
            std::cerr << "cvl-host: no image within " << options.timeoutMs << " ms\n";
            break;
        }
        // In continuous mode the next buffer may already be on its way into the
        // image; the tool reads it anyway, as a host polling rows would.
        const auto path = std::filesystem::path(options.outputDir) /
                          ("image-" + std::to_string(image) + (pointCloud ? ".ply" : ".pgm"));
        if (pointCloud) {
            SavePointCloud(driver, camera, options.port, pixelBits, path);
        } else {
            WritePgm(path, width, height, ReadImage(driver, options.port, width, height, 1));
            std::cout << "wrote " << path.string() << "\n";
        }
        ++written;
    }
    if (options.continuous) {
        driver.setProperty(0, options.port, "continuous", 0);
    }
    PrintStatistics(session, options.port);
    driver.closeCVLPort(0, options.port);
    return written == options.count ? 0 : 1;
}

int RunProps(HostSession& session, const CommandOptions& options) {
    HostLibrary& driver = session.Driver();
    const std::string camera = ChooseCamera(session, options.camera);
    OpenPort(session, camera, options.port);
    int failures = 0;
    for (const std::string& setting : options.settings) {
        const size_t equals = setting.find('=');
        if (equals == std::string::npos) {
            throw std::runtime_error("a setting is NAME=VALUE: " + setting);
        }
        const std::string name = setting.substr(0, equals);
        const int value = std::stoi(setting.substr(equals + 1));
        const bool stored = driver.setProperty(0, options.port, name.c_str(), value) == 1;
        std::cout << "set " << name << "=" << value << (stored ? "" : " FAILED") << "\n";
        failures += stored ? 0 : 1;
    }
    for (const char* name : kPropertyNames) {
        int value = 0;
        int minimum = 0;
        int maximum = 0;
        std::cout << name << " = ";
        if (driver.getProperty(0, options.port, name, &value) == 1) {
            std::cout << value;
        } else {
            std::cout << "(not readable)";
        }
        if (driver.getPropertyRange(0, options.port, name, &minimum, &maximum) == 1) {
            std::cout << "  range " << minimum << " .. " << maximum;
        }
        std::cout << "\n";
    }
    driver.closeCVLPort(0, options.port);
    return failures == 0 ? 0 : 1;
}
