// A camera's and a port's parameter sets loaded from any settings file, as
// the first open and the building of a port's adapter load them. Beyond not
// crashing: what was loaded, once saved, loads back the same.

#include <boost/make_shared.hpp>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/DriverContext.h"
#include "config/CameraDefaults.h"
#include "config/CameraParameters.h"
#include "icon/Simulation.h"
#include "image/CameraState.h"
#include "image/ImageAdapter.h"
#include "image/ImageList.h"
#include "tests/fuzz/ScratchDirectory.h"

namespace {

constexpr const char* kCamera = "192.168.0.10";
constexpr const char* kImageSuffix = "1";

icon::sim::DeviceConfig SmallDevice() {
    icon::sim::DeviceConfig device;
    device.sensor = icon::sim::SensorGeometry::standard(64, 32, 300.0, 150.0, 0.0005);
    return device;
}

// The text form of every enabled, persistent parameter, in list order.
std::vector<std::string> Stored(CameraParameters& set) {
    std::vector<std::string> values;
    for (Param_& param : set.Params()) {
        if (param.enabled && param.persistent) {
            values.push_back(param.name + "=" + param.ToString());
        }
    }
    return values;
}

void CheckSameAfterSave(const char* what, const std::vector<std::string>& loaded,
                        const std::vector<std::string>& reloaded) {
    if (loaded != reloaded) {
        std::string both;
        for (size_t i = 0; i < loaded.size() || i < reloaded.size(); ++i) {
            both += (i < loaded.size() ? loaded[i] : "-") + " | " +
                    (i < reloaded.size() ? reloaded[i] : "-") + "\n";
        }
        FuzzFailure(std::string(what) + " settings do not load back as saved:\n" + both);
    }
}

CameraParameters LoadCameraSet() {
    CameraParameters set(kCamera);
    CreateDefaultParameters(set);
    set.Load();
    std::string message;
    set.Validate(message);
    return set;
}

// The port's image settings as its adapter took them; none when the
// settings make no adapter (which the open reports to the host).
std::optional<CameraParameters> LoadImageSet(const ImageList& images) {
    try {
        return images.CreateImageAdapter(1, kImageSuffix)->GetParameters();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    DriverContext::Instance()->SetSystemPath(ScratchDirectory());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string settingsPath = DriverContext::Instance()->SettingsFilePath();
    WriteScratchFile("VaveZAZ.ini", std::string(reinterpret_cast<const char*>(data), size));

    static const icon::sim::DeviceConfig device = SmallDevice();
    CameraState camera(kCamera);
    camera.dataFormat =
        boost::make_shared<icon::DataFormat>(icon::sim::defaultDataFormat(device, "Measurement"));
    camera.scansPerBuffer = 8;
    camera.readUserData = [](std::string& text) {
        text = icon::sim::calibrationText(device.sensor);
    };
    ImageList images(camera);
    images.BuildImageList();

    CameraParameters cameraSet = LoadCameraSet();
    std::optional<CameraParameters> imageSet = LoadImageSet(images);

    // Saved into a file of their own, the sets must load back the same.
    std::remove(settingsPath.c_str());
    if (!cameraSet.Save() || (imageSet && !imageSet->Save())) {
        FuzzFailure("the settings could not be saved");
    }
    CameraParameters cameraReloaded = LoadCameraSet();
    CheckSameAfterSave("camera", Stored(cameraSet), Stored(cameraReloaded));
    if (imageSet) {
        std::optional<CameraParameters> imageReloaded = LoadImageSet(images);
        if (!imageReloaded) {
            FuzzFailure("image settings that built an adapter build none once saved");
        }
        CheckSameAfterSave("image", Stored(*imageSet), Stored(*imageReloaded));
    }
    return 0;
}
