#include "tools/cvl-host/Console.h"

#include <iostream>

namespace {

// A stream that takes everything and writes nothing.
std::ostream& Discard() {
    static std::ostream discard(nullptr);
    return discard;
}

}  // namespace

Console::Console(bool quiet) : quiet_(quiet) {}

std::ostream& Console::Progress() {
    return quiet_ ? Discard() : std::cout;
}

std::ostream& Console::Result() {
    return std::cout;
}
