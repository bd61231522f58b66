// Host camera names and IPv4 address texts, as openCVLPort takes them apart.
// Beyond not crashing: the name splits into camera and suffix without losing
// a byte, a name taken for a manual camera finds the camera made from it, and
// plain dotted quads give their address.

#include <arpa/inet.h>

#include <cctype>
#include <stdexcept>
#include <string>

#include "camera/CameraList.h"
#include "camera/HostNames.h"
#include "platform/Network.h"
#include "tests/fuzz/ScratchDirectory.h"

namespace {

void CheckSplit(const std::string& name) {
    const bool hasDot = name.find('.') != std::string::npos;
    try {
        const std::string suffix = GetImageSuffix(name);
        if (!hasDot || StripImageSuffix(name) + "." + suffix != name) {
            FuzzFailure("camera name and suffix do not make up the host name '" + name + "'");
        }
    } catch (const std::runtime_error&) {
        if (hasDot || StripImageSuffix(name) != name) {
            FuzzFailure("a host name with a dot has no suffix: '" + name + "'");
        }
    }
}

void CheckComparison(const std::string& a, const std::string& b) {
    if (NamesEqual(a, b) != NamesEqual(b, a) || !NamesEqual(a, a)) {
        FuzzFailure("name comparison is not symmetric or not reflexive");
    }
    std::string upper = a;
    bool ascii = true;
    for (char& c : upper) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (ascii && !NamesEqual(a, upper)) {
        FuzzFailure("names differing only in letter case do not match: '" + a + "'");
    }
}

// "a.b.c.d", each part 0..255 in plain decimal: the address everyone agrees on.
bool PlainDottedQuad(const std::string& text, uint32_t& address) {
    unsigned parts[4];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                    &tail) != 4) {
        return false;
    }
    char canonical[16];
    std::snprintf(canonical, sizeof canonical, "%u.%u.%u.%u", parts[0], parts[1], parts[2],
                  parts[3]);
    if (canonical != text || parts[0] > 255 || parts[1] > 255 || parts[2] > 255 || parts[3] > 255) {
        return false;
    }
    address = htonl(parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3]);
    return true;
}

void CheckAddress(const std::string& text) {
    uint32_t expected = 0;
    if (PlainDottedQuad(text, expected) && platform::InetAddr(text.c_str()) != expected) {
        FuzzFailure("the address of '" + text + "' is read wrongly");
    }
}

// The manual-camera path of openCVLPort on a fresh list.
void CheckManualCamera(const std::string& name) {
    {
        CameraList::Hold list = CameraList::GetInstance();
        if (list->isIpAddress(name)) {
            if (!HasIpCameraShape(name) || !IsIpv4Address(StripImageSuffix(name))) {
                FuzzFailure("'" + name + "' taken for a manual camera's name");
            }
            list->Create(StripImageSuffix(name));
            if (!list->IsCameraAvailable(name) ||
                list->GetByName(name)->GetName() != StripImageSuffix(name)) {
                FuzzFailure("the manual camera made from '" + name + "' is not found by it");
            }
        } else if (list->IsCameraAvailable(name)) {
            FuzzFailure("an empty list knows camera '" + name + "'");
        }
    }
    // The list is destroyed only once this thread no longer holds it.
    CameraList::DestroyInstance();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Host names are C strings: they end at the first zero byte.
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.find('\0');
    const std::string name = bytes.substr(0, split);
    const std::string other =
        split == std::string::npos ? std::string() : std::string(bytes.c_str() + split + 1);
    CheckSplit(name);
    CheckComparison(name, other);
    CheckAddress(name);
    CheckAddress(StripImageSuffix(name));
    CheckManualCamera(name);
    return 0;
}
