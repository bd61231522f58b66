#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>

#include "config/CameraParameters.h"
#include "icon/DataFormat.h"

// What the image adapters of an open camera read of it: its name, its
// parameter set and the format of the buffers it delivers.
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
};
