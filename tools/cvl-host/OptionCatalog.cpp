#include "tools/cvl-host/OptionCatalog.h"

#include <algorithm>
#include <boost/make_shared.hpp>

namespace po = boost::program_options;

OptionCatalog::OptionCatalog(CommandLine& target, const std::string& defaultLibrary) {
    GlobalOptions& global = target.global;
    CommandOptions& command = target.options;
    Add("help,h", po::bool_switch(&global.help), "show the help of the tool or of the command",
        true);
    Add("library", po::value(&global.library)->default_value(defaultLibrary)->value_name("PATH"),
        "the driver library to load", true);
    Add("system-dir",
        po::value(&global.systemDir)->default_value("cvl-host-system")->value_name("DIR"),
        "the host's system directory: VaveZAZ.ini and VaveZAZ.log live here", true);
    Add("verbose,v", po::bool_switch(&global.verbose), "print the driver's log lines", true);
    Add("quiet,q", po::bool_switch(&global.quiet), "print only errors and the result (for scripts)",
        true);

    Add("camera", po::value(&command.camera)->value_name("NAME.N"),
        "camera configuration (default: the first offered)", false);
    Add("port", po::value(&command.port)->default_value(1)->value_name("N"), "host port, 0 to 19",
        false);
    Add("count", po::value(&command.count)->default_value(3)->value_name("N"), "images to grab",
        false);
    Add("continuous", po::bool_switch(&command.continuous),
        "continuous mode: every buffer becomes an image, without doCVLGrab", false);
    Add("duration", po::value(&command.durationSeconds)->value_name("SECONDS"),
        "with --continuous: stream this long with a status line each second, write no image",
        false);
    Add("out", po::value(&command.outputDir)->value_name("DIR"),
        "where images go (default: <system-dir>/images)", false);
    Add("timeout-ms", po::value(&command.timeoutMs)->default_value(10000)->value_name("MS"),
        "longest wait for one image", false);
    Add("set", po::value(&command.settings)->composing()->value_name("NAME=VALUE"),
        "write a property before printing them (repeatable)", false);
    Add("open", po::bool_switch(&command.openFirst),
        "open the configuration on --port first, so the dialog shows its image settings too",
        false);
    Add("parent", po::value(&command.parentWindow)->value_name("XID"),
        "X11 window ID the dialog belongs to", false);

    hidden_.push_back(boost::make_shared<po::option_description>(
        "command", po::value(&target.command)->default_value(kDefaultCommand), ""));
    hidden_.push_back(
        boost::make_shared<po::option_description>("arguments", po::value(&target.arguments), ""));
}

void OptionCatalog::Add(const char* name, const po::value_semantic* value, const char* text,
                        bool global) {
    auto option = boost::make_shared<po::option_description>(name, value, text);
    options_[option->long_name()] = option;
    if (global) {
        globalNames_.push_back(option->long_name());
    }
}

po::options_description OptionCatalog::Global() const {
    po::options_description description("options of every command");
    for (const std::string& name : globalNames_) {
        description.add(options_.at(name));
    }
    return description;
}

po::options_description OptionCatalog::ForCommand(const CommandInfo& command) const {
    po::options_description description(std::string(command.name) + " options");
    for (const std::string& name : command.options) {
        description.add(options_.at(name));
    }
    return description;
}

po::options_description OptionCatalog::All() const {
    po::options_description all;
    for (const auto& entry : options_) {
        all.add(entry.second);
    }
    for (const Option& option : hidden_) {
        all.add(option);
    }
    return all;
}

po::positional_options_description OptionCatalog::Positional() const {
    po::positional_options_description positional;
    positional.add("command", 1).add("arguments", -1);
    return positional;
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
