// docs/host-tool.md against the built tool's own help: every command, every
// option of every command, every exit status and every column of the live
// status on the page is one the tool has, and the tool has no other.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "tests/docs/MarkdownPage.h"
#include "tests/tools/ToolRun.h"

namespace {

// The lines of the help's section that starts with the line `title`, up to
// the blank line that ends it.
std::vector<std::string> HelpSection(const std::string& help, const std::string& title) {
    std::vector<std::string> lines;
    const size_t start = help.find("\n" + title + "\n");
    EXPECT_NE(std::string::npos, start) << "no section '" << title << "' in\n" << help;
    if (start == std::string::npos) {
        return lines;
    }
    std::istringstream section(help.substr(start + title.size() + 2));
    for (std::string line; std::getline(section, line) && !line.empty();) {
        lines.push_back(line);
    }
    return lines;
}

// The first word of each line that starts with two blanks and a word
// matching `word` (continuation lines are indented further).
std::set<std::string> FirstWords(const std::vector<std::string>& lines, const std::regex& word) {
    std::set<std::string> words;
    std::smatch match;
    for (const std::string& line : lines) {
        if (std::regex_search(line, match, word)) {
            words.insert(match[1]);
        }
    }
    return words;
}

std::set<std::string> HelpOptions(const std::vector<std::string>& lines) {
    return FirstWords(lines, std::regex(R"(^  (?:-\w, )?(--[a-z-]+))"));
}

// The option names of the page's table under `heading` ("—" rows hold none).
std::set<std::string> PageOptions(const MarkdownPage& page, const std::string& heading) {
    std::set<std::string> options;
    const MarkdownPage::Table table = page.TableIn(heading);
    for (const auto& row : table.rows) {
        const std::string code = FirstCode(table.Cell(row, "Option"));
        if (code.rfind("--", 0) == 0) {
            options.insert(code.substr(0, code.find(' ')));
        } else {
            EXPECT_EQ("—", table.Cell(row, "Option")) << heading << ": not an option";
        }
    }
    return options;
}

class HostToolPage : public HostTool {
  protected:
    std::string Help(const std::string& arguments) {
        ToolRun run = RunTool(arguments);
        EXPECT_EQ(0, run.status) << run.output;
        return "\n" + run.output;
    }

    const MarkdownPage page_{"docs/host-tool.md"};
};

}  // namespace

TEST_F(HostToolPage, TheCommandsAreTheToolsCommands) {
    const std::set<std::string> tool =
        FirstWords(HelpSection(Help("--help"), "commands:"), std::regex("^  ([a-z]+)"));
    ASSERT_GE(tool.size(), 6u);
    std::set<std::string> page;
    const MarkdownPage::Table table = page_.TableIn("Commands");
    for (const auto& row : table.rows) {
        page.insert(FirstCode(table.Cell(row, "Command")));
    }
    EXPECT_EQ(tool, page);
}

TEST_F(HostToolPage, EachCommandsOptionsAreTheOnesItsHelpLists) {
    const std::string help = Help("--help");
    EXPECT_EQ(HelpOptions(HelpSection(help, "options of every command:")),
              PageOptions(page_, "Options of every command"));
    const std::set<std::string> commands =
        FirstWords(HelpSection(help, "commands:"), std::regex("^  ([a-z]+)"));
    for (const std::string& command : commands) {
        const std::string own = Help("help " + command);
        const std::set<std::string> tool =
            own.find("\n" + command + " options:\n") == std::string::npos
                ? std::set<std::string>{}
                : HelpOptions(HelpSection(own, command + " options:"));
        EXPECT_EQ(tool, PageOptions(page_, command)) << "the options of " << command;
    }
}

TEST_F(HostToolPage, TheExitStatusesAreTheToolsTable) {
    std::set<std::pair<std::string, std::string>> tool;
    std::smatch match;
    for (const std::string& line : HelpSection(Help("--help"), "exit status:")) {
        if (std::regex_search(line, match, std::regex(R"(^  (\d+) +([a-z]+) )"))) {
            tool.emplace(match[1], match[2]);
        }
    }
    ASSERT_GE(tool.size(), 5u);
    std::set<std::pair<std::string, std::string>> page;
    const MarkdownPage::Table table = page_.TableIn("Exit status");
    for (const auto& row : table.rows) {
        page.emplace(table.Cell(row, "Code"), FirstCode(table.Cell(row, "Name")));
    }
    EXPECT_EQ(tool, page);
}

TEST_F(HostToolPage, TheLiveStatusColumnsAreTheOnesAStreamPrints) {
    ToolRun run = RunShell(
        OnTestCameras("--system-dir " + dir_.string() + " grab --continuous --duration 0.5"));
    // The header comes first, whether or not an image arrives in the time.
    std::istringstream lines(run.output);
    std::string header;
    while (std::getline(lines, header) && header.find("announced") == std::string::npos) {
    }
    ASSERT_FALSE(header.empty()) << run.output;
    std::istringstream words(header);
    std::vector<std::string> tool;
    for (std::string word; words >> word;) {
        tool.push_back(word);
    }
    std::vector<std::string> page;
    const MarkdownPage::Table table = page_.TableIn("Live status");
    for (const auto& row : table.rows) {
        page.push_back(FirstCode(table.Cell(row, "Column")));
    }
    EXPECT_EQ(tool, page);
    // The page's example shows the header as the tool prints it.
    const auto blocks = page_.CodeBlocksIn("Live status");
    ASSERT_FALSE(blocks.empty());
    EXPECT_NE(std::string::npos, blocks.back().text.find("\n" + header + "\n"))
        << "the example's header is not\n"
        << header;
}
