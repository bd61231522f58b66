#pragma once

#include <cstdint>
#include <string>

#include "icon/ErrorHandler.h"

// Routes the camera API's own messages into the driver log.
// Thread-safe: the camera API calls it on any of its threads; it only logs.
class ApiErrorHandler : public icon::ErrorHandler {
  public:
    void message(int32_t level, const std::string& text) override;
};

// The process's one handler, created on first use.
ApiErrorHandler* ErrorHandlerInstance();
