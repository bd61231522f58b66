#include "platform/Strings.h"

#include <strings.h>

namespace platform {

int CompareNoCase(const char* a, const char* b) {
    return ::strcasecmp(a, b);
}

}  // namespace platform
