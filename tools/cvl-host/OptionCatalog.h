#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <string>
#include <vector>

#include "tools/cvl-host/CommandLine.h"
#include "tools/cvl-host/CommandTable.h"

// One option as the help shows it.
struct OptionHelp {
    std::string usage;  // "-h, --help" or "--port N"
    std::string text;   // what it does, with its default when it has one
};

// Every option of cvl-host, described once and bound to the fields of one
// CommandLine: the parser takes all of them, each command's help the ones it
// takes. The defaults are written to the CommandLine at once.
class OptionCatalog {
  public:
    OptionCatalog(CommandLine& target, const std::string& defaultLibrary);

    OptionCatalog(const OptionCatalog&) = delete;
    OptionCatalog& operator=(const OptionCatalog&) = delete;

    // Fills the CommandLine from `words`. Throws CLI::ParseError for a value
    // that does not convert or is missing; answers the words that name no
    // option.
    std::vector<std::string> Parse(const std::vector<std::string>& words);
    // Whether the command line named the option (or the positional "command").
    bool Given(const std::string& name) const;

    std::vector<OptionHelp> Global() const;
    std::vector<OptionHelp> ForCommand(const CommandInfo& command) const;

    bool IsGlobal(const std::string& name) const;
    // Long names of every option the tool has.
    std::vector<std::string> Names() const;

  private:
    struct Entry {
        CLI::Option* option;
        OptionHelp help;
        bool global;
    };

    template <typename Value>
    void AddValue(const char* name, Value& field, const char* valueName, const char* text,
                  bool global);
    void AddFlag(const char* name, char shortName, bool& field, const char* text, bool global);
    void Remember(const std::string& name, CLI::Option* option, OptionHelp help, bool global);

    CLI::App parser_;
    std::map<std::string, Entry> options_;
    std::vector<std::string> globalNames_;
    CLI::Option* command_ = nullptr;
};
