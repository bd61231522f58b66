#include "image/ImageAdapter.h"

#include "base/DriverContext.h"
#include "base/Log.h"
#include "image/ExtractionHelperScanMarks.h"

ImageAdapter::ImageAdapter(int32_t port, const std::string& imageName, const CameraState& camera,
                           const CameraParameters& parameters, const ImageSource& source)
    : port_(port),
      imageName_(imageName),
      parameters_(parameters),
      source_(source),
      camera_(camera) {}

ImageAdapter::~ImageAdapter() = default;

void ImageAdapter::CreateImages(int32_t bitsPerPixel, int32_t width, uint32_t rows) {
    for (std::unique_ptr<ImageBuffer>& image : images_) {
        image = std::make_unique<ImageBuffer>(bitsPerPixel, width, rows);
    }
}

void ImageAdapter::ShowBackImage() {
    front_.store(1 - front_.load());
}

// The count goes up before the image changes: whoever sees the new image
// also sees it counted.
void ImageAdapter::NotifyCorvaneImageComplete() {
    const CompleteCallback callback = completeCallback_.load();
    if (callback == nullptr) {
        ShowBackImage();
        WriteLog(DriverContext::Instance(), 1, "ERROR: callback is not assigned, port=%d\n", port_);
        return;
    }
    completedCount_.Increment();
    WriteLog(DriverContext::Instance(), 3,
             "ImageAdapter::NotifyCorvaneImageComplete: grab succesful. calling CB, port=%d\n",
             port_);
    ShowBackImage();
    callback(0, port_);
}

ImageRow ImageAdapter::GetRow(int32_t row) {
    ImageRow view;
    ImageBuffer& image = GetImageBuffer();
    view.data = image.LineOrProblem(row, &view.problem);
    view.bytes = image.GetRowBytes();
    return view;
}

ImageRow ImageAdapter::RowWithoutHold(int32_t) const {
    return ImageRow();
}

void ImageAdapter::CountOvertrigs(const ExtractionHelper& yHelper) {
    const auto* marks = dynamic_cast<const ExtractionHelperScanMarks*>(&yHelper);
    if (marks == nullptr) {
        return;
    }
    const int32_t overtrigs = marks->OvertrigCount();
    if (overtrigs > 0) {
        overtrigCount_.Add(overtrigs);
        WriteLog(DriverContext::Instance(), 1, "WARNING: Overtrigs: %d", overtrigs);
    }
}
