#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "icon/DataFormat.h"

namespace icon {

// Scans of one data format. Each (component, subcomponent) is stored as one
// plane: value n of the plane is scan n / width, column n % width, so a read
// pointer covers all scans of the buffer. Every scan also carries the number
// of network packets lost while it was received.
class IconBuffer {
  public:
    enum ErrorCode {
        E_ALL_OK = 0,
        E_FILE_ERROR = 5001,
        E_COMPONENT_NOT_FOUND = 5002,
        E_SUBCOMPONENT_NOT_FOUND = 5003,
        E_INCOMPATIBLE_TYPE = 5004,
        E_UNSUPPORTED_LAYOUT = 5005,
        E_SPACE_UNAVAILABLE = 5006
    };

    IconBuffer() = default;
    IconBuffer(const IconBuffer&) = delete;
    IconBuffer& operator=(const IconBuffer&) = delete;

    // Gives the buffer room for `scans` scans of `format`, all zero.
    // E_UNSUPPORTED_LAYOUT for an invalid format or unknown value type,
    // E_SPACE_UNAVAILABLE when the size is not positive or too large.
    int init(const DataFormat& format, int scans);

    int getHeight() const { return height_; }
    const DataFormat* getDataFormat() const { return &format_; }

    // Packets lost while scan `scan` was received; 0 out of range.
    int32_t getLostPackets(int scan) const;
    void setLostPackets(int scan, int32_t count);

    // Read pointers by names. The type must match the subcomponent's value
    // type ("BYTE": 8-bit, "WORD": 16-bit, "MARK": 32-bit integer, "FLOAT":
    // float), else E_INCOMPATIBLE_TYPE. Pointers stay valid until the next
    // `init` or the buffer's end.
    int getReadPointer(const std::string& component, const std::string& subComponent,
                       const uint8_t*& data) const;
    int getReadPointer(const std::string& component, const std::string& subComponent,
                       const uint16_t*& data) const;
    int getReadPointer(const std::string& component, const std::string& subComponent,
                       const uint32_t*& data) const;
    int getReadPointer(const std::string& component, const std::string& subComponent,
                       const int32_t*& data) const;
    int getReadPointer(const std::string& component, const std::string& subComponent,
                       const float*& data) const;

    int getWritePointer(const std::string& component, const std::string& subComponent,
                        uint8_t*& data);
    int getWritePointer(const std::string& component, const std::string& subComponent,
                        uint16_t*& data);
    int getWritePointer(const std::string& component, const std::string& subComponent,
                        uint32_t*& data);
    int getWritePointer(const std::string& component, const std::string& subComponent,
                        int32_t*& data);
    int getWritePointer(const std::string& component, const std::string& subComponent,
                        float*& data);

    // The bytes of a subcomponent's plane, whatever its value type.
    int getRawReadPointer(const std::string& component, const std::string& subComponent,
                          const void*& data) const;
    int getRawWritePointer(const std::string& component, const std::string& subComponent,
                           void*& data);

  private:
    struct Plane {
        std::string component;
        std::string subComponent;
        std::string valueType;
        size_t offset;
    };

    int findPlane(const std::string& component, const std::string& subComponent,
                  const char* valueType, size_t& offset) const;

    DataFormat format_;
    int height_ = 0;
    std::vector<Plane> planes_;
    std::vector<uint32_t> storage_;
    std::vector<int32_t> lostPackets_;
};

}  // namespace icon
