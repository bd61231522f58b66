#include "camera/HostNames.h"

#include <arpa/inet.h>
#include <strings.h>

#include <algorithm>
#include <stdexcept>

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
    return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool IsIpCameraName(const std::string& hostName) {
    if (hostName.empty() || std::count(hostName.begin(), hostName.end(), '.') != 4) {
        return false;
    }
    std::string address = StripImageSuffix(hostName);
    return ::inet_addr(address.c_str()) != INADDR_NONE;
}
