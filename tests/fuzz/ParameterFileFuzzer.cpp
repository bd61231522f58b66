// The stand-in's camera parameter files (.prm). A file it accepts gives data
// formats that must parse back to themselves, and that the driver must be able
// to turn into a port's image with the default image settings.

#include <boost/make_shared.hpp>
#include <map>
#include <stdexcept>
#include <string>

#include "icon/Camera.h"
#include "icon/DataFormat.h"
#include "iconapi/src/Simulator.h"
#include "image/CameraState.h"
#include "image/ImageAdapter.h"
#include "image/ImageList.h"
#include "tests/fuzz/ScratchDirectory.h"

namespace {

void CheckFormat(const std::string& configuration, const std::string& text) {
    auto format = boost::make_shared<icon::DataFormat>(text);
    if (!format->isValid() || format->toString() != text) {
        FuzzFailure("the " + configuration + " format of an accepted file does not parse back:\n" +
                    text);
    }
    CameraState camera("192.168.0.10");
    camera.dataFormat = format;
    camera.scansPerBuffer = 4;
    ImageList images(camera);
    images.BuildImageList();
    try {
        images.CreateImageAdapter(1, "1");
    } catch (const std::exception& e) {
        FuzzFailure("no image from the " + configuration +
                    " format of an accepted file: " + e.what() + "\n" + text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static icon::sim::DeviceConfig device = [] {
        icon::sim::DeviceConfig small;
        small.sensor = icon::sim::SensorGeometry::standard(32, 16, 300.0, 150.0, 0.0005);
        return small;
    }();
    const std::string path =
        WriteScratchFile("camera.prm", std::string(reinterpret_cast<const char*>(data), size));
    std::map<std::string, std::string> formats;
    const int result = icon::detail::loadParameterFile(path, device, formats);
    if (result != icon::Camera::E_ALL_OK && result != icon::Camera::E_INVALID_PRM_FILE) {
        FuzzFailure("a readable parameter file answered " + std::to_string(result));
    }
    if (result != icon::Camera::E_ALL_OK) {
        return 0;
    }
    if (formats.count("Measurement") == 0 || formats.count("Image") == 0) {
        FuzzFailure("an accepted parameter file left a configuration without a format");
    }
    for (const auto& [configuration, text] : formats) {
        CheckFormat(configuration, text);
    }
    return 0;
}
