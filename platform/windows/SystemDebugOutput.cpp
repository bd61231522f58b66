#include <windows.h>

// The system's headers name their text functions by macros; the driver's own
// functions of the same names are meant here.
#undef OutputDebugString

#include "platform/DebugOutput.h"

namespace platform {

void WriteSystemDebugOutput(const char* message) {
    ::OutputDebugStringA(message);
}

}  // namespace platform
