#include "tools/cvl-host/ExitCode.h"

const std::vector<ExitCodeInfo>& ExitCodes() {
    static const std::vector<ExitCodeInfo> codes = {
        {ExitCode::kOk, "ok", "the command did what it was asked"},
        {ExitCode::kFailed, "failed",
         "the command ran but did not succeed: fewer images than asked, a property not stored, "
         "nothing saved, a file not written"},
        {ExitCode::kUsage, "usage",
         "the command line is wrong: unknown command or option, a bad value, a missing argument"},
        {ExitCode::kDriver, "driver",
         "the driver cannot be loaded, lacks an entry point, or its initialize failed"},
        {ExitCode::kCamera, "camera",
         "no camera found, an unknown camera name, or the camera cannot be opened on the port"},
        {ExitCode::kTimeout, "timeout", "no image arrived within --timeout-ms"},
        {ExitCode::kInterrupted, "interrupted",
         "stopped by Ctrl-C or SIGTERM; a stream still closes the port and prints its summary"},
    };
    return codes;
}
