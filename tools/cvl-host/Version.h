#pragma once

#include <ostream>
#include <string>

// Prints the tool's version and that of the driver at `library`, which says
// its version only in the line its initialize logs.
int PrintVersion(std::ostream& out, const std::string& library);
