#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <functional>
#include <string>

#include "config/CameraParameters.h"
#include "icon/DataFormat.h"

// What the image adapters of an open camera read of it: its name, its
// parameter set, the format of the buffers it delivers and the user data in
// its flash.
// Written by the camera while it opens (under its open/close mutex), read by its adapters
// afterwards; the parameter set itself is guarded by the camera.
struct CameraState {
    explicit CameraState(const std::string& cameraName)
        : name(cameraName), parameters(cameraName) {}

    std::string name;
    CameraParameters parameters;
    boost::shared_ptr<icon::DataFormat> dataFormat;
    // Scans per delivered buffer, as the frame grabber was set up at the first
    // open. Adapters size their images by it rather than by "NumberOfScans",
    // which the host may change while the camera streams.
    int32_t scansPerBuffer = 0;
    // Reads the user data kept in the camera's flash (the calibration text)
    // into its argument; throws VaveZAZError when the camera refuses. Set by
    // the camera, called on the host's thread while a port's adapter is built.
    std::function<void(std::string&)> readUserData;
};
