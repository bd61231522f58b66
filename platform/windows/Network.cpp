#include "platform/Network.h"

#include <winsock2.h>

namespace platform {

uint32_t InetAddr(const char* text) {
    return ::inet_addr(text);
}

}  // namespace platform
