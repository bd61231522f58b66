#pragma once

#include <ostream>

// Where the commands write. Progress is what a person watching needs (the
// driver loaded, the port opened, each file written, the live status);
// results are what the command was asked for (the names listed, the
// properties, a summary). --quiet keeps the results and the errors only.
// Bound to the host's main thread.
class Console {
  public:
    explicit Console(bool quiet);

    bool Quiet() const { return quiet_; }
    std::ostream& Progress();
    std::ostream& Result();

  private:
    bool quiet_;
};
