#include <cstring>

#include "Simulator.h"
#include "icon/ExtractionFilter.h"

namespace icon {
namespace {

int planeBytes(const IconBuffer& buffer, const std::string& component, const std::string& sub) {
    const Component* c = buffer.getDataFormat()->getNamedComponent(component);
    const SubComponent* s = c == nullptr ? nullptr : c->getNamedSubComponent(sub);
    return s == nullptr ? -1 : s->getWidth() * s->getElementSize();
}

}  // namespace

Filter::~Filter() = default;

ExtractionFilter::ExtractionFilter(const std::string& component, const std::string& subComponent)
    : component_(component), subComponent_(subComponent) {}

int ExtractionFilter::setInput(const DataFormat& format, int scans) {
    if (int code = detail::Simulator::instance().globalFault("ExtractionFilter::setInput")) {
        return code;
    }
    const Component* component = format.getNamedComponent(component_);
    if (component == nullptr) {
        return IconBuffer::E_COMPONENT_NOT_FOUND;
    }
    const SubComponent* sub = component->getNamedSubComponent(subComponent_);
    if (sub == nullptr) {
        return IconBuffer::E_SUBCOMPONENT_NOT_FOUND;
    }
    if (scans <= 0) {
        return IconBuffer::E_SPACE_UNAVAILABLE;
    }
    Component extracted(component->getName(), component->getValueType());
    extracted.addSubComponent(*sub);
    output_ = DataFormat();
    output_.addComponent(extracted);
    scans_ = scans;
    bytesPerScan_ = sub->getWidth() * sub->getElementSize();
    return IconBuffer::E_ALL_OK;
}

int ExtractionFilter::prepareResult(IconBuffer& result) {
    if (int code = detail::Simulator::instance().globalFault("ExtractionFilter::prepareResult")) {
        return code;
    }
    return result.init(output_, scans_);
}

int ExtractionFilter::apply(const IconBuffer& input, IconBuffer& output) {
    if (int code = detail::Simulator::instance().globalFault("ExtractionFilter::apply")) {
        return code;
    }
    if (input.getHeight() != scans_ || output.getHeight() != scans_ ||
        planeBytes(input, component_, subComponent_) != bytesPerScan_ ||
        planeBytes(output, component_, subComponent_) != bytesPerScan_) {
        return IconBuffer::E_UNSUPPORTED_LAYOUT;
    }
    const void* from = nullptr;
    void* to = nullptr;
    if (int code = input.getRawReadPointer(component_, subComponent_, from)) {
        return code;
    }
    if (int code = output.getRawWritePointer(component_, subComponent_, to)) {
        return code;
    }
    std::memcpy(to, from, static_cast<size_t>(bytesPerScan_) * static_cast<size_t>(scans_));
    return IconBuffer::E_ALL_OK;
}

}  // namespace icon
