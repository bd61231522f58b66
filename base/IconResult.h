#pragma once

#include <cstdint>

// Throws VaveZAZError (label, code) for a failed camera API call.
void CheckIconResult(int32_t code, const char* label);

// Logs a failed camera API call at level 1 and goes on; for steps that must not
// stop the sequence they belong to.
void IgnoreIconResult(int32_t code, const char* label);
