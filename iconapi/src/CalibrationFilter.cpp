#include "icon/CalibrationFilter.h"

#include "Calibration.h"
#include "CalibrationKernels.h"
#include "Simulator.h"
#include "icon/Camera.h"

namespace icon {

// The components to calibrate and, per column, the coefficients of
// x = (a0 + a1 row) / (w0 + w1 row) and z = (b0 + b1 row) / (w0 + w1 row).
struct CalibrationFilter::Source {
    struct Entry {
        std::string name;
        bool cog;
    };
    std::vector<Entry> entries;
    int scans = 0;
    std::vector<double> a0, b0, w0;
    double a1 = 0.0, b1 = 0.0, w1 = 0.0;
    DataFormat output;
    detail::KernelPath path = detail::KernelPath::PLAIN;
};

namespace {

int fault(const char* operation) {
    return detail::Simulator::instance().globalFault(operation);
}

bool hasWidth(const Component& c, const char* sub, int columns) {
    const SubComponent* s = c.getNamedSubComponent(sub);
    return s != nullptr && s->getWidth() == columns;
}

// The planes a scan's row positions come from: Sum and XSum of a COG
// component, or Range.
struct RowSource {
    const uint16_t* sum = nullptr;
    const uint16_t* xsum = nullptr;
    const uint16_t* range = nullptr;

    int bind(const IconBuffer& input, const std::string& name, bool cog) {
        if (cog) {
            int code = input.getReadPointer(name, "Sum", sum);
            return code != 0 ? code : input.getReadPointer(name, "XSum", xsum);
        }
        return input.getReadPointer(name, "Range", range);
    }

    void calibrate(detail::KernelPath path, const detail::ColumnCoefficients& k, size_t first,
                   int columns, float* xs, float* zs) const {
        if (range != nullptr) {
            detail::calibrateRange(path, k, range + first, columns, xs + first, zs + first);
        } else {
            detail::calibrateCog(path, k, sum + first, xsum + first, columns, xs + first,
                                 zs + first);
        }
    }
};

}  // namespace

CalibrationFilter::CalibrationFilter(const std::string& name) : name_(name) {}

CalibrationFilter::~CalibrationFilter() = default;

int CalibrationFilter::initFromData(const std::string& data, const DataFormat& format, int scans) {
    if (int code = fault("CalibrationFilter::initFromData")) {
        return code;
    }
    auto calibration = detail::parseCalibration(data);
    if (!calibration) {
        return Camera::E_CAMERA_USER_DATA_ERROR;
    }
    calibration_ = calibration;
    return setInput(format, scans);
}

int CalibrationFilter::setInput(const DataFormat& format, int scans) {
    if (int code = fault("CalibrationFilter::setInput")) {
        return code;
    }
    if (!calibration_) {
        return Camera::E_CAMERA_USER_DATA_ERROR;
    }
    if (scans <= 0) {
        return IconBuffer::E_SPACE_UNAVAILABLE;
    }
    const detail::Calibration& cal = *calibration_;
    auto source = std::make_unique<Source>();
    for (int i = 0; i < format.numComponents(); ++i) {
        const Component& c = *format.getComponent(i);
        const bool cog = c.getValueType() == "COG" && hasWidth(c, "Sum", cal.columns) &&
                         hasWidth(c, "XSum", cal.columns);
        const bool range = c.getValueType() == "RANGE" && hasWidth(c, "Range", cal.columns);
        if (!cog && !range) {
            continue;
        }
        source->entries.push_back({c.getName(), cog});
        Component out(c.getName(), "FLOAT");
        out.addSubComponent(SubComponent("Range X", "FLOAT", cal.columns));
        out.addSubComponent(SubComponent("Range R", "FLOAT", cal.columns));
        out.setXRange(cal.xMin, cal.xMax);
        source->output.addComponent(out);
    }
    if (source->entries.empty()) {
        return Camera::E_CAMERA_USER_DATA_ERROR;
    }
    const auto& m = cal.toPlane;
    for (int col = 0; col < cal.columns; ++col) {
        source->a0.push_back(m[0] * col + m[2]);
        source->b0.push_back(m[3] * col + m[5]);
        source->w0.push_back(m[6] * col + m[8]);
    }
    source->a1 = m[1];
    source->b1 = m[4];
    source->w1 = m[7];
    source->scans = scans;
    source->path = detail::widestPath();
    source_ = std::move(source);
    return IconBuffer::E_ALL_OK;
}

int CalibrationFilter::prepareResult(IconBuffer& result) {
    if (int code = fault("CalibrationFilter::prepareResult")) {
        return code;
    }
    if (!source_) {
        return IconBuffer::E_UNSUPPORTED_LAYOUT;
    }
    return result.init(source_->output, source_->scans);
}

int CalibrationFilter::apply(const IconBuffer& input, IconBuffer& output) {
    if (int code = fault("CalibrationFilter::apply")) {
        return code;
    }
    if (!source_ || input.getHeight() != source_->scans || output.getHeight() != source_->scans) {
        return IconBuffer::E_UNSUPPORTED_LAYOUT;
    }
    const Source& src = *source_;
    const int columns = static_cast<int>(src.a0.size());
    const detail::ColumnCoefficients coefficients{src.a0.data(), src.b0.data(), src.w0.data(),
                                                  src.a1,        src.b1,        src.w1};
    for (const Source::Entry& entry : src.entries) {
        const Component* in = input.getDataFormat()->getNamedComponent(entry.name);
        if (in == nullptr || !hasWidth(*in, entry.cog ? "Sum" : "Range", columns) ||
            (entry.cog && !hasWidth(*in, "XSum", columns))) {
            return IconBuffer::E_UNSUPPORTED_LAYOUT;
        }
        RowSource rowSource;
        float* xs = nullptr;
        float* zs = nullptr;
        if (rowSource.bind(input, entry.name, entry.cog) != 0 ||
            output.getWritePointer(entry.name, "Range X", xs) != 0 ||
            output.getWritePointer(entry.name, "Range R", zs) != 0) {
            return IconBuffer::E_UNSUPPORTED_LAYOUT;
        }
        for (int scan = 0; scan < src.scans; ++scan) {
            const size_t first = static_cast<size_t>(scan) * static_cast<size_t>(columns);
            rowSource.calibrate(src.path, coefficients, first, columns, xs, zs);
        }
    }
    return IconBuffer::E_ALL_OK;
}

}  // namespace icon
