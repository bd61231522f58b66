#include "base/VaveZAZError.h"

#include <boost/format.hpp>

namespace {

struct CodeEntry {
    int32_t code;
    const char* name;
};

constexpr CodeEntry kCodeNames[] = {
    {0, "icon::Camera::E_ALL_OK"},
    {1, "icon::Camera::E_CAMERA_NOT_INITED"},
    {2, "icon::Camera::E_INVALID_PRM_PATH"},
    {3, "icon::Camera::E_CAMERA_NOT_RESPONDING"},
    {4, "icon::Camera::E_INVALID_CAMERA_REPLY"},
    {5, "icon::Camera::E_INVALID_PRM_FILE"},
    {6, "icon::Camera::E_FILE_ERROR"},
    {7, "icon::Camera::E_PARAMETER_NOT_FOUND"},
    {8, "icon::Camera::E_ALREADY_INITED"},
    {9, "icon::Camera::E_PARAMETER_ERROR"},
    {10, "icon::Camera::E_MEASURE_ALREADY_RUNNING"},
    {11, "icon::Camera::E_MEASURE_NOT_RUNNING"},
    {12, "icon::Camera::E_LOOP_GENERATION_FAILED"},
    {13, "icon::Camera::E_CAMERA_PARAMETER_ERROR"},
    {14, "icon::Camera::E_CAMERA_STATUS_NOT_OK"},
    {15, "icon::Camera::E_ERROR"},
    {16, "icon::Camera::E_CAMERA_DENIED_REQUEST_CONTROL"},
    {17, "icon::Camera::E_CAMERA_USER_DATA_ERROR"},
    {18, "icon::Camera::E_NO_PARAMETERS_IN_FLASH"},
    {19, "icon::Camera::E_FLASH_APPLICATION"},
    {20, "icon::Camera::E_NETWORK"},
    {5001, "icon::IconBuffer::E_FILE_ERROR"},
    {5002, "icon::IconBuffer::E_COMPONENT_NOT_FOUND"},
    {5003, "icon::IconBuffer::E_SUBCOMPONENT_NOT_FOUND"},
    {5004, "icon::IconBuffer::E_INCOMPATIBLE_TYPE"},
    {5005, "icon::IconBuffer::E_UNSUPPORTED_LAYOUT"},
    {5006, "icon::IconBuffer::E_SPACE_UNAVAILABLE"},
    {6001, "icon::FrameGrabber::E_FG_CONNECTED"},
    {6002, "icon::FrameGrabber::E_FG_NOT_CONNECTED"},
    {6003, "icon::FrameGrabber::E_FG_START_GRAB"},
    {6004, "icon::FrameGrabber::E_FG_STOP_GRAB"},
    {6005, "icon::FrameGrabber::E_FG_WRONG_CALLBACK_TYPE"},
    {6100, "icon::FrameGrabber::E_FG_BUFFER_SIZE"},
    {6101, "icon::FrameGrabber::E_FG_DATAFORMAT"},
    {6102, "icon::FrameGrabber::E_FG_FIFO_FULL"},
    {6103, "icon::FrameGrabber::E_FG_INCORRECT_MODE"},
    {6104, "icon::FrameGrabber::E_FG_PACKET"},
    {6105, "icon::FrameGrabber::E_FG_WINSOCK"},
    {6106, "icon::FrameGrabber::E_FG_INTERNAL"},
    {6107, "icon::FrameGrabber::E_FG_PLEORA"},
    {6108, "icon::FrameGrabber::E_FG_NOT_IMPLEMENTED"},
};

}  // namespace

VaveZAZError::VaveZAZError(const std::string& label, int32_t code)
    : std::runtime_error(label), code_(code) {}

const char* VaveZAZError::what() const noexcept {
    try {
        if (code_ == 0) {
            rendered_ = std::runtime_error::what();
        } else {
            rendered_ = (boost::format("%s -- VaveZAZ API error code: %d(%s)") %
                         std::runtime_error::what() % code_ % CodeName(code_))
                            .str();
        }
        return rendered_.c_str();
    } catch (...) {
        // Out of memory while rendering: the label alone still says which step failed.
        return std::runtime_error::what();
    }
}

const char* VaveZAZError::CodeName(int32_t code) {
    for (const CodeEntry& entry : kCodeNames) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return "";
}
