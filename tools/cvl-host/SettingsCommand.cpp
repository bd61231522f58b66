#include "tools/cvl-host/SettingsCommand.h"

#include <strings.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ostream>

#include "platform/ProfileFile.h"
#include "tools/cvl-host/CameraChoice.h"
#include "tools/cvl-host/CameraSettings.h"
#include "tools/cvl-host/ExitCode.h"

namespace {

// How the driver stores a key of a configuration's image section.
enum class Kind {
    Label,         // one of `labels`, stored as the label
    LabelByValue,  // one of `labels`, stored as its position (its value)
    Index,         // a position in the camera's image list
    Real,          // a number within `minimum` .. `maximum`
};

struct Key {
    const char* name;
    Kind kind;
    std::vector<std::string> labels;
    double minimum = -HUGE_VAL;
    double maximum = HUGE_VAL;
};

const std::vector<std::string> kOnOff = {"Disabled", "Enabled"};

const std::vector<Key>& Keys() {
    static const std::vector<Key> keys = {
        {"Image", Kind::Index, {}},
        {"Contrast", Kind::Index, {}},
        {"Intensity", Kind::Index, {}},
        {"ImageFormat", Kind::Label, {"Grayscale", "3D (XYZ)", "3D (XYZCI)"}},
        {"CalibrationFilter", Kind::LabelByValue, kOnOff},
        {"RectificationFilter", Kind::LabelByValue, kOnOff},
        {"PulsesPerMillimeter", Kind::Real, {}},
        {"LaserPlaneCompensation", Kind::LabelByValue, kOnOff},
        {"LaserPlaneAngle", Kind::Real, {}, -90.0, 90.0},
        {"MinHeight", Kind::Real, {}},
        {"MaxHeight", Kind::Real, {}},
    };
    return keys;
}

bool SameName(const std::string& a, const std::string& b) {
    return ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

// The image key of that name; null when there is none.
const Key* FindKey(const std::string& name) {
    for (const Key& key : Keys()) {
        if (SameName(name, key.name)) {
            return &key;
        }
    }
    return nullptr;
}

[[noreturn]] void ThrowUnknownKey(const std::string& name, const CameraSettings& camera) {
    std::string known;
    for (const Key& key : Keys()) {
        known += std::string(known.empty() ? "" : ", ") + key.name;
    }
    throw ToolError(ExitCode::kUsage, "unknown setting '" + name + "' (image settings: " + known +
                                          "; camera and log settings: " + camera.Names() + ")");
}

std::string Choices(const Key& key) {
    std::string choices;
    for (const std::string& label : key.labels) {
        choices += (choices.empty() ? "\"" : ", \"") + label + "\"";
    }
    return choices;
}

// The text the driver reads back as `value`; throws naming the key and the
// values it takes.
std::string StoredText(const Key& key, const std::string& value) {
    switch (key.kind) {
        case Kind::Label:
        case Kind::LabelByValue:
            for (size_t i = 0; i < key.labels.size(); ++i) {
                if (SameName(value, key.labels[i]) || value == std::to_string(i)) {
                    return key.kind == Kind::Label ? key.labels[i] : std::to_string(i);
                }
            }
            throw ToolError(ExitCode::kUsage, std::string(key.name) + " must be one of " +
                                                  Choices(key) + ", not '" + value + "'");
        case Kind::Index: {
            char* end = nullptr;
            errno = 0;
            const long index = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || errno != 0 || index < 0 || index > 1000) {
                throw ToolError(ExitCode::kUsage,
                                std::string(key.name) +
                                    " is a position in the camera's image list (0, 1, ...), "
                                    "not '" +
                                    value + "'");
            }
            return std::to_string(index);
        }
        case Kind::Real: {
            char* end = nullptr;
            const double number = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !std::isfinite(number) || number < key.minimum ||
                number > key.maximum) {
                throw ToolError(ExitCode::kUsage,
                                std::string(key.name) + " must be a number" +
                                    (key.minimum > -HUGE_VAL ? " from -90 to 90" : "") + ", not '" +
                                    value + "'");
            }
            return value;
        }
    }
    return value;
}

void Show(std::ostream& out, const std::string& settingsFile, const std::string& configuration) {
    out << "[" << configuration << "] in " << settingsFile << "\n";
    for (const Key& key : Keys()) {
        out << "  " << key.name << " = "
            << platform::GetPrivateProfileString(configuration, key.name, "(not set)", settingsFile)
            << "\n";
    }
}

}  // namespace

int RunSettings(const std::string& settingsFile, const std::string& configuration,
                const std::vector<std::string>& assignments, Console& console) {
    if (configuration.find('.') == std::string::npos) {
        throw ToolError(
            ExitCode::kUsage,
            "settings: give a configuration name such as NAME.1, not '" + configuration + "'");
    }
    CameraSettings camera(settingsFile, CameraPart(configuration));
    // Every assignment is checked before anything is written.
    std::vector<std::pair<const Key*, std::string>> writes;
    for (const std::string& assignment : assignments) {
        const size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            throw ToolError(ExitCode::kUsage,
                            "settings: an assignment is KEY=VALUE, not '" + assignment + "'");
        }
        const std::string name = assignment.substr(0, equals);
        const std::string value = assignment.substr(equals + 1);
        if (const Key* key = FindKey(name)) {
            writes.emplace_back(key, StoredText(*key, value));
        } else if (camera.Has(name)) {
            camera.Set(name, value);
        } else {
            ThrowUnknownKey(name, camera);
        }
    }
    for (const auto& [key, text] : writes) {
        if (!platform::WritePrivateProfileString(configuration, key->name, text, settingsFile)) {
            throw ToolError(ExitCode::kFailed,
                            "cannot write " + std::string(key->name) + " to " + settingsFile);
        }
        console.Progress() << "set " << key->name << "=" << text << "\n";
    }
    camera.Write(console.Progress());
    Show(console.Result(), settingsFile, configuration);
    camera.Show(console.Result());
    return 0;
}
