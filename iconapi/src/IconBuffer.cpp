#include "icon/IconBuffer.h"

#include <limits>

namespace icon {
namespace {

// Buffers larger than this are refused rather than attempted.
constexpr size_t kMaxBufferBytes = size_t{1} << 31;

size_t roundUpToWords(size_t bytes) {
    return (bytes + 3) / 4 * 4;
}

}  // namespace

int IconBuffer::init(const DataFormat& format, int scans) {
    if (!format.isValid()) {
        return E_UNSUPPORTED_LAYOUT;
    }
    if (scans <= 0) {
        return E_SPACE_UNAVAILABLE;
    }
    std::vector<Plane> planes;
    size_t bytes = 0;
    for (int c = 0; c < format.numComponents(); ++c) {
        const Component* component = format.getComponent(c);
        for (int s = 0; s < component->numSubComponents(); ++s) {
            const SubComponent* sub = component->getSubComponent(s);
            if (sub->getElementSize() == 0) {
                return E_UNSUPPORTED_LAYOUT;
            }
            planes.push_back({component->getName(), sub->getName(), sub->getValueType(), bytes});
            bytes += roundUpToWords(static_cast<size_t>(sub->getWidth()) *
                                    static_cast<size_t>(sub->getElementSize()) *
                                    static_cast<size_t>(scans));
            if (bytes > kMaxBufferBytes) {
                return E_SPACE_UNAVAILABLE;
            }
        }
    }
    storage_.assign(bytes / 4, 0);
    planes_ = std::move(planes);
    lostPackets_.assign(static_cast<size_t>(scans), 0);
    format_ = format;
    height_ = scans;
    return E_ALL_OK;
}

int32_t IconBuffer::getLostPackets(int scan) const {
    if (scan < 0 || scan >= height_) {
        return 0;
    }
    return lostPackets_[static_cast<size_t>(scan)];
}

void IconBuffer::setLostPackets(int scan, int32_t count) {
    if (scan >= 0 && scan < height_) {
        lostPackets_[static_cast<size_t>(scan)] = count;
    }
}

int IconBuffer::findPlane(const std::string& component, const std::string& subComponent,
                          const char* valueType, size_t& offset) const {
    bool componentFound = false;
    for (const Plane& plane : planes_) {
        if (plane.component != component) {
            continue;
        }
        componentFound = true;
        if (plane.subComponent == subComponent) {
            if (valueType != nullptr && plane.valueType != valueType) {
                return E_INCOMPATIBLE_TYPE;
            }
            offset = plane.offset;
            return E_ALL_OK;
        }
    }
    if (!componentFound && format_.getNamedComponent(component) == nullptr) {
        return E_COMPONENT_NOT_FOUND;
    }
    return E_SUBCOMPONENT_NOT_FOUND;
}

namespace {

template <typename T>
int pointerAt(const std::vector<uint32_t>& storage, int result, size_t offset, T*& data) {
    if (result == IconBuffer::E_ALL_OK) {
        const unsigned char* base = reinterpret_cast<const unsigned char*>(storage.data());
        data = static_cast<T*>(static_cast<void*>(const_cast<unsigned char*>(base + offset)));
    }
    return result;
}

}  // namespace

#define ICON_BUFFER_POINTERS(READ, WRITE, TYPE, VALUE_TYPE)                                       \
    int IconBuffer::READ(const std::string& component, const std::string& sub, const TYPE*& data) \
        const {                                                                                   \
        size_t offset = 0;                                                                        \
        const int result = findPlane(component, sub, VALUE_TYPE, offset);                         \
        return pointerAt(storage_, result, offset, data);                                         \
    }                                                                                             \
    int IconBuffer::WRITE(const std::string& component, const std::string& sub, TYPE*& data) {    \
        size_t offset = 0;                                                                        \
        const int result = findPlane(component, sub, VALUE_TYPE, offset);                         \
        return pointerAt(storage_, result, offset, data);                                         \
    }

ICON_BUFFER_POINTERS(getReadPointer, getWritePointer, uint8_t, "BYTE")
ICON_BUFFER_POINTERS(getReadPointer, getWritePointer, uint16_t, "WORD")
ICON_BUFFER_POINTERS(getReadPointer, getWritePointer, uint32_t, "MARK")
ICON_BUFFER_POINTERS(getReadPointer, getWritePointer, int32_t, "MARK")
ICON_BUFFER_POINTERS(getReadPointer, getWritePointer, float, "FLOAT")
ICON_BUFFER_POINTERS(getRawReadPointer, getRawWritePointer, void, nullptr)

#undef ICON_BUFFER_POINTERS

}  // namespace icon
