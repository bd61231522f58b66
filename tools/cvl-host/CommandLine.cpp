#include "tools/cvl-host/CommandLine.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/OptionCatalog.h"
#include "tools/cvl-host/Suggest.h"

namespace {

constexpr int kPorts = 20;
// A stream longer than a year is a typing slip.
constexpr double kLongestDuration = 366.0 * 24 * 3600;

[[noreturn]] void Usage(const std::string& message) {
    throw ToolError(ExitCode::kUsage, message);
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const CommandInfo& command : CommandTable()) {
        names.push_back(command.name);
    }
    return names;
}

std::string DidYouMean(const std::string& nearest, const std::string& before,
                       const std::string& after) {
    return nearest.empty() ? "" : "; did you mean " + before + nearest + after + "?";
}

std::string UnknownCommand(const std::string& name) {
    return "unknown command '" + name + "'" + DidYouMean(Nearest(name, CommandNames()), "'", "'") +
           "\nThe commands: " + JoinNames(CommandNames()) + " (cvl-host --help says more)";
}

std::string UnknownOption(const std::string& given, const OptionCatalog& catalog) {
    const std::string bare = given.substr(given.find_first_not_of('-'));
    return "unknown option " + given + DidYouMean(Nearest(bare, catalog.Names()), "--", "") +
           "\n(cvl-host help COMMAND lists a command's options)";
}

void Parse(const std::vector<std::string>& words, OptionCatalog& catalog) {
    std::vector<std::string> unknown;
    try {
        unknown = catalog.Parse(words);
    } catch (const CLI::ParseError& e) {
        Usage(e.what());
    }
    for (const std::string& word : unknown) {
        if (word.size() > 1 && word[0] == '-') {
            Usage(UnknownOption(word, catalog));
        }
    }
}

bool Takes(const CommandInfo& command, const std::string& option) {
    return std::find(command.options.begin(), command.options.end(), option) !=
           command.options.end();
}

void CheckOptionsBelong(const OptionCatalog& catalog, const CommandInfo& command) {
    for (const std::string& name : catalog.Names()) {
        if (!catalog.Given(name) || catalog.IsGlobal(name) || Takes(command, name)) {
            continue;
        }
        std::vector<std::string> takers;
        for (const CommandInfo& other : CommandTable()) {
            if (Takes(other, name)) {
                takers.push_back(other.name);
            }
        }
        Usage("--" + name + " is not an option of " + command.name + ", but of " +
              JoinNames(takers) + " (see cvl-host help " + command.name + ")");
    }
}

void CheckArguments(const CommandLine& line, const CommandInfo& command) {
    if (command.maxArguments < 0 ||
        line.arguments.size() <= static_cast<size_t>(command.maxArguments)) {
        return;
    }
    const std::string extra = line.arguments[static_cast<size_t>(command.maxArguments)];
    if (command.maxArguments == 0) {
        Usage(std::string(command.name) + " takes no argument, not '" + extra +
              "' (options start with --)");
    }
    Usage(std::string(command.name) + " takes " + command.arguments + ", not also '" + extra + "'");
}

void CheckStream(const CommandOptions& options, const OptionCatalog& catalog) {
    if (!catalog.Given("duration")) {
        return;
    }
    if (!options.continuous) {
        Usage("--duration streams, so it needs --continuous");
    }
    if (catalog.Given("count")) {
        Usage("--count and --duration cannot both be given: a stream writes no image");
    }
    if (!std::isfinite(options.durationSeconds) || options.durationSeconds <= 0.0 ||
        options.durationSeconds > kLongestDuration) {
        std::ostringstream given;
        given << options.durationSeconds;
        Usage("--duration must be a number of seconds above 0 and below a year, not " +
              given.str());
    }
}

void CheckValues(const CommandLine& line, const OptionCatalog& catalog) {
    const CommandOptions& options = line.options;
    if (options.port < 0 || options.port >= kPorts) {
        Usage("--port must be 0 to 19, not " + std::to_string(options.port));
    }
    if (options.count < 1) {
        Usage("--count must be at least 1, not " + std::to_string(options.count));
    }
    if (options.timeoutMs < 1) {
        Usage("--timeout-ms must be at least 1, not " + std::to_string(options.timeoutMs));
    }
    if (line.global.quiet && line.global.verbose) {
        Usage("--quiet and --verbose cannot both be given");
    }
    CheckStream(options, catalog);
    if (catalog.Given("close-after") &&
        (!std::isfinite(options.closeAfterSeconds) || options.closeAfterSeconds <= 0.0 ||
         options.closeAfterSeconds > kLongestDuration)) {
        std::ostringstream given;
        given << options.closeAfterSeconds;
        Usage("--close-after must be a number of seconds above 0 and below a year, not " +
              given.str());
    }
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& words,
                             const std::string& defaultLibrary) {
    CommandLine line;
    OptionCatalog catalog(line, defaultLibrary);
    Parse(words, catalog);
    if (line.global.version) {
        return line;
    }
    // "--help" alone is "help"; "help --help" is the help of help.
    if (line.global.help && !catalog.Given("command")) {
        line.command = "help";
        line.global.help = false;
    }
    const CommandInfo* command = FindCommand(line.command);
    if (command == nullptr) {
        Usage(UnknownCommand(line.command));
    }
    if (line.command == "help" && !line.arguments.empty() &&
        FindCommand(line.arguments.front()) == nullptr) {
        Usage(UnknownCommand(line.arguments.front()));
    }
    if (line.global.help) {
        return line;
    }
    CheckOptionsBelong(catalog, *command);
    CheckArguments(line, *command);
    CheckValues(line, catalog);
    return line;
}
