#pragma once

#include <string>
#include <vector>

#include "tools/cvl-host/Console.h"

// `cvl-host settings NAME.N [KEY=VALUE ...]`: shows or writes the image
// settings of a camera configuration, the settings of its camera and the log
// settings in the settings file, as the driver reads them when the
// configuration is opened. Needs no driver and no camera.
// Returns the process's exit status.
int RunSettings(const std::string& settingsFile, const std::string& configuration,
                const std::vector<std::string>& assignments, Console& console);
