#pragma once

#include "icon/DeviceCollection.h"

namespace icon {

class EthernetCamera {
public:
    // The type text of every Ethernet camera object.
    static const char* const cameraType;

    // Fills `devices` with every device that answers within `timeoutMs`
    // milliseconds. Returns 0 on success, else a result code.
    static int discoverDevices(DeviceCollection& devices, int timeoutMs);
};

}  // namespace icon
