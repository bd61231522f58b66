#pragma once

#include <ostream>
#include <string>

#include "tools/cvl-host/CommandTable.h"

// The tool's help: the commands, the options of every command and the exit
// statuses; and each command's usage, options and examples. Made from the
// command table, the option catalog and the exit-code table.
void PrintToolHelp(std::ostream& out, const std::string& defaultLibrary);
void PrintCommandHelp(std::ostream& out, const CommandInfo& command,
                      const std::string& defaultLibrary);
