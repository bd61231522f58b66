#include "image/ImageAdapter.h"

#include "driver/DriverContext.h"
#include "driver/Log.h"

ImageAdapter::ImageAdapter(int32_t port, const std::string& imageName, const CameraState& camera,
                           const CameraParameters& parameters, const ImageSource& source)
    : port_(port),
      imageName_(imageName),
      parameters_(parameters),
      source_(source),
      camera_(camera) {}

ImageAdapter::~ImageAdapter() = default;

void ImageAdapter::NotifyCorvaneImageComplete() {
    const CompleteCallback callback = completeCallback_.load();
    if (callback == nullptr) {
        WriteLog(DriverContext::Instance(), 1, "ERROR: callback is not assigned, port=%d\n", port_);
        return;
    }
    completedCount_.Increment();
    WriteLog(DriverContext::Instance(), 3,
             "ImageAdapter::NotifyCorvaneImageComplete: grab succesful. calling CB, port=%d\n",
             port_);
    callback(0, port_);
}
