#pragma once

#include <cstdint>
#include <string>

#include "icon/ErrorHandler.h"

namespace icon {

// Installs the handler that receives the API's messages; null removes it. The
// API does not own the handler.
void setErrorHandler(ErrorHandler* handler);

// Removes the installed handler. Returns once no message is being delivered to
// it any more, so the caller may destroy the handler afterwards.
void removeErrorHandler();

// Releases everything the API holds process-wide. The API may be used again
// afterwards; it starts afresh.
void closeApi();

// Sends a message to the installed handler, if any. Used by the API's own
// components; exposed so that tests and the simulation can report from any
// thread.
void reportMessage(int32_t level, const std::string& text);

}  // namespace icon
