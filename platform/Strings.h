#pragma once

namespace platform {

// Compares two texts without regard to the case of their letters, as the
// system's case-blind comparison does: negative, 0 or positive as `a` sorts
// before, equal to or after `b`.
int CompareNoCase(const char* a, const char* b);

}  // namespace platform
