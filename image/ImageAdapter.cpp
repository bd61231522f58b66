#include "image/ImageAdapter.h"

#include "driver/DriverContext.h"
#include "driver/Log.h"
#include "image/ExtractionHelperScanMarks.h"

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

ImageRow ImageAdapter::GetRow(int32_t row) {
    ImageRow view;
    view.data = imageBuffer_->LineOrProblem(row, &view.problem);
    view.bytes = imageBuffer_->GetRowBytes();
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
