#pragma once

#include <boost/program_options.hpp>
#include <map>
#include <string>
#include <vector>

#include "tools/cvl-host/CommandLine.h"
#include "tools/cvl-host/CommandTable.h"

// Every option of cvl-host, described once and bound to the fields of one
// CommandLine: the parser uses all of them, each command's help the ones it
// takes.
class OptionCatalog {
  public:
    OptionCatalog(CommandLine& target, const std::string& defaultLibrary);

    boost::program_options::options_description Global() const;
    boost::program_options::options_description ForCommand(const CommandInfo& command) const;
    // Every option, the positional command and its arguments included.
    boost::program_options::options_description All() const;
    boost::program_options::positional_options_description Positional() const;

    bool IsGlobal(const std::string& name) const;
    // Long names of the visible options.
    std::vector<std::string> Names() const;

  private:
    using Option = boost::shared_ptr<boost::program_options::option_description>;

    void Add(const char* name, const boost::program_options::value_semantic* value,
             const char* text, bool global);

    std::map<std::string, Option> options_;
    std::vector<std::string> globalNames_;
    std::vector<Option> hidden_;
};
