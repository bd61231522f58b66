#include "image/ImageAdapterGrayscale.h"

#include "camera/CameraState.h"

ImageAdapterGrayscale::ImageAdapterGrayscale(int32_t port, const std::string& imageName,
                                             const CameraState& camera,
                                             const CameraParameters& parameters,
                                             const ImageSource& source)
    : ImageAdapter(port, imageName, camera, parameters, source) {
    const icon::DataFormat& format = *camera.dataFormat;
    width_ = source.FindSubComponent(format).getWidth();
    height_ = camera.scansPerBuffer;
    imageBuffer_ = std::make_unique<ImageBuffer>(8, width_, static_cast<uint32_t>(height_));
    helper_ = CreateExtractionHelper(format, source, camera.scansPerBuffer);
}

ImageAdapterGrayscale::~ImageAdapterGrayscale() = default;

void ImageAdapterGrayscale::ProcessBuffer(boost::shared_ptr<const icon::IconBuffer> buffer) {
    helper_->Extract(*buffer);
    helper_->FillGrayscale(*imageBuffer_);
    NotifyCorvaneImageComplete();
}
