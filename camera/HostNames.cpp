#include "camera/HostNames.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Network.h"
#include "platform/Strings.h"

std::string StripImageSuffix(const std::string& hostName) {
    size_t dot = hostName.rfind('.');
    return dot == std::string::npos ? hostName : hostName.substr(0, dot);
}

std::string GetImageSuffix(const std::string& hostName) {
    size_t dot = hostName.rfind('.');
    if (dot == std::string::npos) {
        throw std::runtime_error("Camera name doesn't contain image suffix");
    }
    return hostName.substr(dot + 1);
}

bool NamesEqual(const std::string& a, const std::string& b) {
    return a.size() == b.size() && platform::CompareNoCase(a.c_str(), b.c_str()) == 0;
}

bool HasIpCameraShape(const std::string& hostName) {
    return !hostName.empty() && std::count(hostName.begin(), hostName.end(), '.') == 4;
}

bool IsIpv4Address(const std::string& address) {
    return platform::InetAddr(address.c_str()) != platform::kNoAddress;
}
