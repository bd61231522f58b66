#include "tools/cvl-host/ManPage.h"

#include <vector>

#include "tools/cvl-host/CommandTable.h"
#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/OptionCatalog.h"

namespace {

// Text as troff takes it: backslashes and hyphens escaped, and no line that
// starts with a control character.
std::string Roff(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\') {
            escaped += "\\e";
        } else if (c == '-') {
            escaped += "\\-";
        } else {
            escaped += c;
        }
        if (c == '\n') {
            escaped += "\\&";
        }
    }
    return escaped.empty() || (escaped[0] != '.' && escaped[0] != '\'') ? escaped : "\\&" + escaped;
}

void Options(std::ostream& out, const std::vector<OptionHelp>& options) {
    for (const OptionHelp& option : options) {
        out << ".TP\n.B " << Roff(option.usage) << "\n" << Roff(option.text) << "\n";
    }
}

void Command(std::ostream& out, const CommandInfo& command, const OptionCatalog& catalog) {
    out << ".SS " << command.name;
    if (*command.arguments != '\0') {
        out << " " << Roff(command.arguments);
    }
    out << "\n" << Roff(command.description) << "\n";
    if (!command.options.empty()) {
        out << ".PP\nIts options:\n.RS\n";
        Options(out, catalog.ForCommand(command));
        out << ".RE\n";
    }
    for (const CommandExample& example : command.examples) {
        out << ".PP\n.nf\n"
            << Roff(example.commandLine) << "\n.fi\n.RS\n"
            << Roff(example.what) << "\n.RE\n";
    }
}

}  // namespace

void PrintManPage(std::ostream& out, const std::string& version) {
    CommandLine unused;
    const OptionCatalog catalog(unused, "the driver in the library directory beside cvl\\-host");
    out << ".TH CVL\\-HOST 1 \"\" \"cvl\\-host " << Roff(version) << "\" \"VaveZAZ\"\n"
        << ".SH NAME\ncvl\\-host \\- drive VaveZAZ cameras as a host application does\n"
        << ".SH SYNOPSIS\n.B cvl\\-host\n[\\fIOPTIONS\\fR] [\\fICOMMAND\\fR] "
           "[\\fIARGUMENTS\\fR]\n"
        << ".SH DESCRIPTION\nPlays the host application: loads the VaveZAZ camera driver as a "
           "host does and drives the cameras through its 18 entry points. Without a command it "
           "grabs.\n"
        << ".SH COMMANDS\n";
    for (const CommandInfo& command : CommandTable()) {
        Command(out, command, catalog);
    }
    out << ".SH OPTIONS\nOptions of every command:\n";
    Options(out, catalog.Global());
    out << ".SH EXIT STATUS\n";
    for (const ExitCodeInfo& code : ExitCodes()) {
        out << ".TP\n.B " << Status(code.code) << "\n"
            << code.name << ": " << Roff(code.meaning) << "\n";
    }
    out << ".SH SEE ALSO\nThe driver's documentation in /usr/share/doc/vavezaz, and\n"
        << ".B cvl\\-host help\n.IR COMMAND .\n";
}
