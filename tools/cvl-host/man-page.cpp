// Writes cvl-host's manual page to standard output; the build installs what
// it writes.

#include <iostream>

#include "tools/cvl-host/ManPage.h"

int main() {
    PrintManPage(std::cout, VAVEZAZ_TOOL_VERSION);
    return std::cout.good() ? 0 : 1;
}
