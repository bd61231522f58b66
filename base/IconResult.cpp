#include "base/IconResult.h"

#include "base/DriverContext.h"
#include "base/Log.h"
#include "base/VaveZAZError.h"

void CheckIconResult(int32_t code, const char* label) {
    if (code != 0) {
        throw VaveZAZError(label, code);
    }
}

void IgnoreIconResult(int32_t code, const char* label) {
    if (code != 0) {
        VaveZAZError error(label, code);
        WriteLog(DriverContext::Instance(), 1, "%s. Ingoring this.", error.what());
    }
}
