#include "platform/Strings.h"

#include <string.h>

namespace platform {

int CompareNoCase(const char* a, const char* b) {
    return ::_stricmp(a, b);
}

}  // namespace platform
