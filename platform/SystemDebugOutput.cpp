#include <unistd.h>

#include <cstring>

#include "platform/DebugOutput.h"

namespace platform {

void WriteSystemDebugOutput(const char* message) {
    size_t left = std::strlen(message);
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, message, left);
        if (written <= 0) {
            return;
        }
        message += written;
        left -= static_cast<size_t>(written);
    }
}

}  // namespace platform
