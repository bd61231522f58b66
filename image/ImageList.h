#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/ImageAdapter.h"
#include "image/ImageSource.h"

struct CameraState;

// The images an open camera's data format can deliver, and the building of a
// port's adapter from the choices stored for it.
// Reentrant: its camera uses it under its open/close mutex.
class ImageList {
  public:
    explicit ImageList(const CameraState& camera) : camera_(camera) {}

    // Rebuilds the list from the camera's data format.
    void BuildImageList();

    // The adapter for `port`, configured by the image parameter set named
    // "<camera name>.<imageSuffix>" as stored in the settings file.
    std::unique_ptr<ImageAdapter> CreateImageAdapter(int32_t port,
                                                     const std::string& imageSuffix) const;

    const std::vector<ImageSource>& Sources() const { return sources_; }

  private:
    const CameraState& camera_;
    std::vector<ImageSource> sources_;
};
