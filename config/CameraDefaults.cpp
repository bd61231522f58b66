#include "config/CameraDefaults.h"

#include "config/CameraParameters.h"
#include "config/ParamEnum.h"

namespace {

std::unique_ptr<Param_> LogSetting(std::unique_ptr<Param_> param, bool persistent, bool visible) {
    param->general = true;
    param->persistent = persistent;
    param->visible = visible;
    return param;
}

std::unique_ptr<Param_> Described(std::unique_ptr<Param_> param, const char* description) {
    param->description = description;
    return param;
}

std::unique_ptr<Param_> Hidden(std::unique_ptr<Param_> param) {
    param->visible = false;
    return param;
}

}  // namespace

void CreateDefaultParameters(CameraParameters& parameters) {
    if (parameters.HasParam("ConfigurationFile")) {
        return;
    }
    parameters.AddParam(
        LogSetting(std::make_unique<Param<int>>("General", "LogLevel", 1, 0, 4, 0), true, true));
    // Set only through the host's property call; never stored.
    parameters.AddParam(
        LogSetting(std::make_unique<Param<bool>>("General", "LogIntoFile"), false, true));
    parameters.AddParam(LogSetting(
        std::make_unique<Param<int>>("General", "DebugViewOutput", 0, 0, 4, 0), true, false));
    parameters.AddParam(Described(std::make_unique<ParamString>("Camera", "ConfigurationFile", ""),
                                  "Camera parameter file"));
    parameters.AddParam(Hidden(std::make_unique<ParamEnum>(
        "Camera", "ConfigurationType", "Measurement",
        std::vector<ParamEnum::Entry>{{"Measurement", 0}, {"Image", 1}})));
    parameters.AddParam(
        Described(std::make_unique<Param<int>>("Camera", "NumberOfScans", 512, 1, 65535, 0),
                  "Number of scans delivered per buffer"));
    parameters.AddParam(
        Described(std::make_unique<Param<int>>("Camera", "BufferSize", 20, 1, 3000, 0),
                  "Frame grabber buffer size in megabytes"));
}
