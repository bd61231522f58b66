#include "tools/cvl-host/HelpText.h"

#include <algorithm>
#include <sstream>

#include "tools/cvl-host/ExitCode.h"
#include "tools/cvl-host/OptionCatalog.h"

namespace {

constexpr size_t kWidth = 80;

// Writes `text` after `lead` in lines of at most kWidth columns; the lines
// after the first start at column `indent`. A line feed in `text` starts a new
// paragraph at that column.
void Wrap(std::ostream& out, const std::string& lead, const std::string& text, size_t indent) {
    std::istringstream paragraphs(text);
    std::string paragraph;
    out << lead;
    size_t column = lead.size();
    bool first = true;
    while (std::getline(paragraphs, paragraph)) {
        if (!first) {
            out << "\n" << std::string(indent, ' ');
            column = indent;
        }
        first = false;
        std::istringstream words(paragraph);
        std::string word;
        bool lineEmpty = true;
        while (words >> word) {
            if (!lineEmpty && column + 1 + word.size() > kWidth) {
                out << "\n" << std::string(indent, ' ');
                column = indent;
                lineEmpty = true;
            }
            out << (lineEmpty ? "" : " ") << word;
            column += (lineEmpty ? 0 : 1) + word.size();
            lineEmpty = false;
        }
    }
    out << "\n";
}

std::string Padded(const std::string& text, size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 1, ' ');
}

// A titled list of options, their texts in one column past the longest usage.
void PrintOptions(std::ostream& out, const std::string& title,
                  const std::vector<OptionHelp>& options) {
    size_t width = 0;
    for (const OptionHelp& option : options) {
        width = std::max(width, option.usage.size());
    }
    const size_t column = 2 + width + 2;
    out << title << ":\n";
    for (const OptionHelp& option : options) {
        Wrap(out, "  " + Padded(option.usage, width + 2), option.text, column);
    }
}

void PrintCommands(std::ostream& out) {
    out << "commands:\n";
    for (const CommandInfo& command : CommandTable()) {
        Wrap(out, "  " + Padded(command.name, 11), command.summary, 13);
    }
}

void PrintExitCodes(std::ostream& out) {
    out << "exit status:\n";
    for (const ExitCodeInfo& code : ExitCodes()) {
        Wrap(out, "  " + Padded(std::to_string(Status(code.code)), 5) + Padded(code.name, 13),
             code.meaning, 20);
    }
}

}  // namespace

void PrintToolHelp(std::ostream& out, const std::string& defaultLibrary) {
    CommandLine unused;
    const OptionCatalog catalog(unused, defaultLibrary);
    out << "usage: cvl-host [OPTIONS] [COMMAND] [ARGUMENTS]\n\n";
    Wrap(out, "",
         "Plays the host application: loads the VaveZAZ camera driver as a host does and drives "
         "the cameras through its 18 entry points. Without a command it grabs.",
         0);
    out << "\n";
    PrintCommands(out);
    out << "\n";
    PrintOptions(out, "options of every command", catalog.Global());
    out << "\n";
    PrintExitCodes(out);
    out << "\n'cvl-host help COMMAND' shows a command's options and examples.\n";
}

void PrintCommandHelp(std::ostream& out, const CommandInfo& command,
                      const std::string& defaultLibrary) {
    CommandLine unused;
    const OptionCatalog catalog(unused, defaultLibrary);
    out << "usage: cvl-host " << command.name << " [OPTIONS]";
    if (*command.arguments != '\0') {
        out << " " << command.arguments;
    }
    out << "\n\n";
    Wrap(out, "", command.description, 0);
    out << "\n";
    if (!command.options.empty()) {
        PrintOptions(out, std::string(command.name) + " options", catalog.ForCommand(command));
        out << "\n";
    }
    PrintOptions(out, "options of every command", catalog.Global());
    out << "\n";
    out << "examples:\n";
    for (const CommandExample& example : command.examples) {
        out << "  " << example.commandLine << "\n";
        Wrap(out, "      ", example.what, 6);
    }
}
