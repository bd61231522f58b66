#include "tools/cvl-host/OptionCatalog.h"

#include <algorithm>
#include <sstream>
#include <type_traits>

namespace {

// A default worth showing: a number that is not 0, a text that is not empty.
template <typename Value>
std::string DefaultText(const Value& value) {
    std::ostringstream text;
    if constexpr (std::is_arithmetic<Value>::value) {
        if (value != Value()) {
            text << " (default: " << value << ")";
        }
    } else if constexpr (std::is_same<Value, std::string>::value) {
        if (!value.empty()) {
            text << " (default: " << value << ")";
        }
    }
    return text.str();
}

}  // namespace

OptionCatalog::OptionCatalog(CommandLine& target, const std::string& defaultLibrary) {
    // The tool prints its own help, and says itself which words it does not
    // know, with the nearest name.
    parser_.set_help_flag();
    parser_.allow_extras();

    GlobalOptions& global = target.global;
    CommandOptions& command = target.options;
    global.library = defaultLibrary;
    global.systemDir = "cvl-host-system";
    target.command = kDefaultCommand;

    AddFlag("help", 'h', global.help, "show the help of the tool or of the command", true);
    AddFlag("version", '\0', global.version, "print the tool's and the driver's version", true);
    AddValue("library", global.library, "PATH", "the driver library to load", true);
    AddValue("system-dir", global.systemDir, "DIR",
             "the host's system directory: VaveZAZ.ini and VaveZAZ.log live here", true);
    AddFlag("verbose", 'v', global.verbose, "print the driver's log lines", true);
    AddFlag("quiet", 'q', global.quiet, "print only errors and the result (for scripts)", true);

    AddValue("camera", command.camera, "NAME.N",
             "camera configuration (default: the first offered)", false);
    AddValue("port", command.port, "N", "host port, 0 to 19", false);
    AddValue("count", command.count, "N", "images to grab", false);
    AddFlag("continuous", '\0', command.continuous,
            "continuous mode: every buffer becomes an image, without doCVLGrab", false);
    AddValue("duration", command.durationSeconds, "SECONDS",
             "with --continuous: stream this long with a status line each second, write no image",
             false);
    AddValue("out", command.outputDir, "DIR", "where images go (default: <system-dir>/images)",
             false);
    AddValue("timeout-ms", command.timeoutMs, "MS", "longest wait for one image", false);
    AddValue("set", command.settings, "NAME=VALUE",
             "write a property before printing them (repeatable)", false);
    AddFlag("open", '\0', command.openFirst,
            "open the configuration on --port first, so the dialog shows its image settings too",
            false);
    AddValue("parent", command.parentWindow, "XID", "X11 window ID the dialog belongs to", false);
    AddValue("snapshot-png", command.snapshotPng, "FILE",
             "on closing, write the last picture drawn as PNG (a cloud's profile beside it, as "
             "FILE-profile.png)",
             false);
    AddValue("close-after", command.closeAfterSeconds, "SECONDS",
             "close the window after this long", false);

    command_ = parser_.add_option("command", target.command);
    parser_.add_option("arguments", target.arguments);
}

template <typename Value>
void OptionCatalog::AddValue(const char* name, Value& field, const char* valueName,
                             const char* text, bool global) {
    CLI::Option* option = parser_.add_option(std::string("--") + name, field);
    // "--set A=1 B=2" sets A only: B=2 is an argument of the command.
    option->allow_extra_args(false);
    if (std::is_same<Value, std::vector<std::string>>::value) {
        option->take_all();
    }
    Remember(name, option, {std::string("--") + name + " " + valueName, text + DefaultText(field)},
             global);
}

void OptionCatalog::AddFlag(const char* name, char shortName, bool& field, const char* text,
                            bool global) {
    const std::string longName = std::string("--") + name;
    const std::string shortPart = shortName != '\0' ? std::string("-") + shortName : "";
    const std::string names = shortPart.empty() ? longName : shortPart + "," + longName;
    const std::string usage = shortPart.empty() ? longName : shortPart + ", " + longName;
    Remember(name, parser_.add_flag(names, field), {usage, text}, global);
}

void OptionCatalog::Remember(const std::string& name, CLI::Option* option, OptionHelp help,
                             bool global) {
    options_[name] = Entry{option, std::move(help), global};
    if (global) {
        globalNames_.push_back(name);
    }
}

std::vector<std::string> OptionCatalog::Parse(const std::vector<std::string>& words) {
    // The parser takes the words last first.
    parser_.parse(std::vector<std::string>(words.rbegin(), words.rend()));
    return parser_.remaining();
}

bool OptionCatalog::Given(const std::string& name) const {
    const CLI::Option* option = name == "command" ? command_ : options_.at(name).option;
    return option->count() > 0;
}

std::vector<OptionHelp> OptionCatalog::Global() const {
    std::vector<OptionHelp> help;
    for (const std::string& name : globalNames_) {
        help.push_back(options_.at(name).help);
    }
    return help;
}

std::vector<OptionHelp> OptionCatalog::ForCommand(const CommandInfo& command) const {
    std::vector<OptionHelp> help;
    for (const std::string& name : command.options) {
        help.push_back(options_.at(name).help);
        // A command whose usage requires the configuration has no default one.
        if (name == "camera" && std::string(command.arguments).rfind("NAME.N", 0) == 0) {
            help.back().text = "camera configuration, instead of the NAME.N argument";
        }
    }
    return help;
}

bool OptionCatalog::IsGlobal(const std::string& name) const {
    return std::find(globalNames_.begin(), globalNames_.end(), name) != globalNames_.end();
}

std::vector<std::string> OptionCatalog::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : options_) {
        names.push_back(entry.first);
    }
    return names;
}
