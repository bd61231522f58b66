#include "image/ImageAdapterGrayscale.h"

#include "image/CameraState.h"
#include "image/ExtractionHelperDirect.h"

namespace {

// Mark records are no image, also those of a centre-of-gravity component (two
// words per scan, not a value per column): the direct helper refuses their
// value type, so the port fails to open rather than failing every grab.
// Every other source takes the helper a 3D coordinate would.
std::unique_ptr<ExtractionHelper> CreateGrayscaleHelper(const icon::DataFormat& format,
                                                        const ImageSource& source, int32_t scans) {
    if (source.subComponentName == "Mark") {
        return std::make_unique<ExtractionHelperDirect>(format, source, scans);
    }
    return CreateExtractionHelper(format, source, scans);
}

}  // namespace

ImageAdapterGrayscale::ImageAdapterGrayscale(int32_t port, const std::string& imageName,
                                             const CameraState& camera,
                                             const CameraParameters& parameters,
                                             const ImageSource& source)
    : ImageAdapter(port, imageName, camera, parameters, source) {
    const icon::DataFormat& format = *camera.dataFormat;
    width_ = source.FindSubComponent(format).getWidth();
    height_ = camera.scansPerBuffer;
    CreateImages(8, width_, static_cast<uint32_t>(height_));
    helper_ = CreateGrayscaleHelper(format, source, camera.scansPerBuffer);
}

ImageAdapterGrayscale::~ImageAdapterGrayscale() = default;

ImageRow ImageAdapterGrayscale::RowWithoutHold(int32_t row) const {
    ImageRow view;
    const ImageBuffer& image = FrontImage();
    view.data = image.FindLine(row);
    view.bytes = image.GetRowBytes();
    return view;
}

void ImageAdapterGrayscale::ProcessBuffer(boost::shared_ptr<const icon::IconBuffer> buffer) {
    helper_->Extract(*buffer);
    helper_->FillGrayscale(BackImage());
    NotifyCorvaneImageComplete();
}
