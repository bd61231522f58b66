#pragma once

#include <ostream>
#include <string>

// The tool's manual page, in troff's man macros, made from the same command
// table, option catalog and exit-code table as its help, so the two cannot
// disagree. `version` goes into the page's title line.
void PrintManPage(std::ostream& out, const std::string& version);
