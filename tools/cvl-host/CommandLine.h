#pragma once

#include <string>
#include <vector>

#include "tools/cvl-host/Commands.h"

// The options every command takes.
struct GlobalOptions {
    std::string library;
    std::string systemDir;
    bool verbose = false;
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// A checked command line: a known command with only options it takes, each
// value within its range.
struct CommandLine {
    std::string command;
    GlobalOptions global;
    CommandOptions options;
    std::vector<std::string> arguments;  // the positional words after the command
};

// Parses the words after the program's name. Throws ToolError with
// ExitCode::kUsage naming what is wrong, with the nearest known name when
// there is one. `defaultLibrary` is the driver loaded without --library.
CommandLine ParseCommandLine(const std::vector<std::string>& words,
                             const std::string& defaultLibrary);
