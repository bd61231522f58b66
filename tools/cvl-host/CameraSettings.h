#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "config/CameraParameters.h"

// A camera's own settings (its section, named for the camera) and the log
// settings of [General], as the driver's parameter set defines, checks and
// stores them, so the tool takes exactly the values the driver takes. Bound
// to the host's main thread.
class CameraSettings {
  public:
    CameraSettings(const std::string& settingsFile, const std::string& camera);

    bool Has(const std::string& key) const;
    // The names of the keys, for a message.
    std::string Names() const;

    // Checks `value` as the driver does and keeps it for Write. Throws
    // ToolError with ExitCode::kUsage naming the key and what it takes.
    void Set(const std::string& key, const std::string& value);
    // Writes every value Set took, saying each on `out`. Throws ToolError
    // with ExitCode::kFailed naming the key, the file and the reason.
    void Write(std::ostream& out);

    void Show(std::ostream& out);

  private:
    std::string Section(const Param_& param) const;

    std::string file_;
    CameraParameters parameters_;
    std::vector<Param_*> set_;
};
