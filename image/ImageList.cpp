#include "image/ImageList.h"

#include <boost/format.hpp>
#include <set>
#include <stdexcept>
#include <vector>

#include "base/DriverContext.h"
#include "base/Log.h"
#include "config/ConstraintEnumOff.h"
#include "config/ParamEnum.h"
#include "image/CameraState.h"
#include "image/ImageAdapter3D.h"
#include "image/ImageAdapterGrayscale.h"

namespace {

const char* const kCategory = "Image";

// "ImageFormat" values.
constexpr int32_t kXyz = 1;
constexpr int32_t kXyzci = 2;

std::unique_ptr<ParamEnum> Choice(const char* name, const char* description, bool storeByValue,
                                  const std::vector<ParamEnum::Entry>& entries) {
    auto param = std::make_unique<ParamEnum>(kCategory, name, "", entries);
    param->description = description;
    param->storeByValue = storeByValue;
    return param;
}

std::unique_ptr<ParamEnum> OnOff(const char* name, const char* description) {
    return Choice(name, description, true, {{"Disabled", 0}, {"Enabled", 1}});
}

std::unique_ptr<Param<double>> Real(const char* name, double value, const char* description) {
    auto param = std::make_unique<Param<double>>(kCategory, name, value);
    param->description = description;
    return param;
}

std::unique_ptr<ConstraintEnumOff> OffWhen(const char* control,
                                           const std::set<std::string>& offLabels,
                                           const std::set<std::string>& dependents) {
    auto constraint = std::make_unique<ConstraintEnumOff>(control, offLabels);
    constraint->dependents = dependents;
    return constraint;
}

// "Image" offers every image but mark records; contrast and intensity may
// also come from the marks.
void AddSourceChoices(CameraParameters& set, const std::vector<ImageSource>& sources) {
    auto image = Choice("Image", "SubComponent to be used for the image", true, {});
    auto contrast = Choice("Contrast", "SubComponent to be used for the contrast value", true, {});
    auto intensity =
        Choice("Intensity", "SubComponent to be used for the intensity value", true, {});
    for (size_t index = 0; index < sources.size(); ++index) {
        const std::string name = sources[index].DisplayName();
        const auto value = static_cast<int32_t>(index);
        if (sources[index].subComponentName != "Mark") {
            image->AddValue(name, value);
        }
        contrast->AddValue(name, value);
        intensity->AddValue(name, value);
    }
    set.AddParam(std::move(image));
    set.AddParam(std::move(contrast));
    set.AddParam(std::move(intensity));
}

void AddProcessingChoices(CameraParameters& set) {
    set.AddParam(
        Choice("ImageFormat", "", false, {{"Grayscale", 0}, {"3D (XYZ)", 1}, {"3D (XYZCI)", 2}}));
    set.AddParam(
        OnOff("CalibrationFilter", "Translate sensor positions into real-world coordinates"));
    set.AddParam(OnOff("RectificationFilter", "Resample X-axis coordinates onto a regular grid"));
    set.AddParam(Real("PulsesPerMillimeter", 1.0, "The resolution of the encoder counter"));
    set.AddParam(OnOff("LaserPlaneCompensation", "Compensate for the skewed coordinate system"));
    auto angle =
        std::make_unique<Param<double>>(kCategory, "LaserPlaneAngle", 0.0, -90.0, 90.0, 0.0);
    angle->description = "The angle between Laser and XZ plane";
    set.AddParam(std::move(angle));
    set.AddParam(Real("MinHeight", 1.0, "Minimum acceptable height value"));
    set.AddParam(Real("MaxHeight", 1000.0, "Maximum acceptable height value"));
}

void AddConstraints(CameraParameters& set) {
    set.AddConstraint(OffWhen("ImageFormat", {"Grayscale"},
                              {"Contrast", "Intensity", "CalibrationFilter", "RectificationFilter",
                               "LaserPlaneCompensation", "LaserPlaneAngle", "PulsesPerMillimeter",
                               "MinHeight", "MaxHeight"}));
    set.AddConstraint(OffWhen("ImageFormat", {"Grayscale", "3D (XYZ)"}, {"Contrast", "Intensity"}));
    set.AddConstraint(OffWhen("CalibrationFilter", {"Disabled"}, {"RectificationFilter"}));
    set.AddConstraint(OffWhen("LaserPlaneCompensation", {"Disabled"}, {"LaserPlaneAngle"}));
}

// The value of the current label; a label that is not offered counts as 0.
int32_t ChosenValue(const CameraParameters& set, const char* name) {
    const auto& choice = dynamic_cast<const ParamEnum&>(set.GetParam(name));
    return choice.ValueOf(choice.value);
}

}  // namespace

void ImageList::BuildImageList() {
    sources_.clear();
    const icon::DataFormat& format = *camera_.dataFormat;
    for (int32_t i = 0; i < format.numComponents(); ++i) {
        const icon::Component& component = *format.getComponent(i);
        const std::string& name = component.getName();
        if (component.getValueType() == "COG") {
            const bool marked = component.getNamedSubComponent("Mark") != nullptr;
            if (marked) {
                sources_.push_back({name, "Mark", i, 0, true});
            }
            const int32_t k = marked ? 1 : 0;
            sources_.push_back({name, "Range", i, k, true});
            sources_.push_back({name, "Intensity", i, k + 1, true});
            continue;
        }
        for (int32_t s = 0; s < component.numSubComponents(); ++s) {
            sources_.push_back({name, component.getSubComponent(s)->getName(), i, s, false});
        }
    }
}

std::unique_ptr<ImageAdapter> ImageList::CreateImageAdapter(int32_t port,
                                                            const std::string& imageSuffix) const {
    CameraParameters set((boost::format("%s.%s") % camera_.name % imageSuffix).str());
    if (sources_.empty()) {
        throw std::runtime_error((boost::format("No images on camera '%s'") % set.Name()).str());
    }
    AddSourceChoices(set, sources_);
    AddProcessingChoices(set);
    AddConstraints(set);
    set.Load();
    std::string message;
    if (!set.Validate(message)) {
        WriteLog(DriverContext::Instance(), 2, "WARNING: Configuration not valid: %s, camera: %s\n",
                 message.c_str(), set.Name().c_str());
    }
    auto chosen = [&](const char* name) -> const ImageSource& {
        return sources_.at(static_cast<size_t>(ChosenValue(set, name)));
    };
    switch (ChosenValue(set, "ImageFormat")) {
        case kXyz:
            return std::make_unique<ImageAdapter3D>(port, imageSuffix, camera_, set,
                                                    chosen("Image"));
        case kXyzci:
            return std::make_unique<ImageAdapter3D>(port, imageSuffix, camera_, set,
                                                    chosen("Image"), chosen("Contrast"),
                                                    chosen("Intensity"));
        default:
            return std::make_unique<ImageAdapterGrayscale>(port, imageSuffix, camera_, set,
                                                           chosen("Image"));
    }
}
