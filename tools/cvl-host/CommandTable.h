#pragma once

#include <string>
#include <vector>

// What cvl-host can do: each command with the options it takes and the
// examples its help shows. The help and the command-line checks are made
// from this table, so they cannot disagree.

struct CommandExample {
    const char* commandLine;  // as typed, starting with "cvl-host"
    const char* what;
};

struct CommandInfo {
    const char* name;
    const char* arguments;             // what follows the options in its usage line; "" for none
    int maxArguments;                  // positional arguments it takes; -1 for any number
    const char* summary;               // one line, for the list of commands
    const char* description;           // a paragraph, for its own help
    std::vector<std::string> options;  // long names of its own options
    std::vector<CommandExample> examples;
};

const std::vector<CommandInfo>& CommandTable();

// The command of that name; null when there is none.
const CommandInfo* FindCommand(const std::string& name);

// The command run when none is named.
constexpr const char* kDefaultCommand = "grab";
