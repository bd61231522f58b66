#include "driver/ApiErrorHandler.h"

#include "base/DriverContext.h"
#include "base/Log.h"

void ApiErrorHandler::message(int32_t level, const std::string& text) {
    // Logs whatever the API's level: its messages are rare and always worth
    // seeing. Called on the API's threads; it must never throw back into them.
    try {
        LogWithoutWaiting apiThread;
        WriteLog(DriverContext::Instance(), 1, "VaveZAZ API Message(lvl=%d): %s", level,
                 text.c_str());
    } catch (...) {
    }
}

ApiErrorHandler* ErrorHandlerInstance() {
    static ApiErrorHandler handler;
    return &handler;
}
