#include "tests/docs/MarkdownPage.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <regex>

namespace {

bool IsFence(const std::string& line) {
    return line.compare(0, 3, "```") == 0;
}

// The level of a heading line ("## Name" is 2); 0 for any other line.
size_t HeadingLevel(const std::string& line) {
    const size_t hashes = line.find_first_not_of('#');
    return hashes != 0 && hashes != std::string::npos && line[hashes] == ' ' ? hashes : 0;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Splits "| a | `b|c` |" into its cells; a bar inside a code span is text.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    bool inCode = false;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '`') {
            inCode = !inCode;
        }
        if (line[i] == '|' && !inCode) {
            cells.push_back(Trim(cell));
            cell.clear();
        } else {
            cell += line[i];
        }
    }
    return cells;
}

// A heading's anchor as Markdown renderers make it: lower case, letters,
// digits, '-' and '_' kept, blanks turned into '-', everything else dropped.
std::string Anchor(const std::string& heading) {
    std::string anchor;
    for (unsigned char c : heading) {
        if (std::isalnum(c) || c == '-' || c == '_') {
            anchor += static_cast<char>(std::tolower(c));
        } else if (c == ' ') {
            anchor += '-';
        }
    }
    return anchor;
}

}  // namespace

std::string SourcePath(const std::string& relative) {
    return std::string(VAVEZAZ_SOURCE_DIR) + "/" + relative;
}

std::string FirstCode(const std::string& cell) {
    const size_t open = cell.find('`');
    const size_t close = open == std::string::npos ? open : cell.find('`', open + 1);
    return close == std::string::npos ? "" : cell.substr(open + 1, close - open - 1);
}

std::string MarkdownPage::Table::Cell(const std::vector<std::string>& row,
                                      const std::string& column) const {
    for (size_t i = 0; i < header.size() && i < row.size(); ++i) {
        if (header[i] == column) {
            return row[i];
        }
    }
    ADD_FAILURE() << "no column '" << column << "' in the table";
    return "";
}

MarkdownPage::MarkdownPage(const std::string& path) : path_(path) {
    std::ifstream file(SourcePath(path));
    EXPECT_TRUE(file.good()) << "cannot read " << path;
    for (std::string line; std::getline(file, line);) {
        lines_.push_back(line);
    }
}

std::vector<std::string> MarkdownPage::Section(const std::string& heading) const {
    std::vector<std::string> section;
    size_t level = 0;
    bool fenced = false;
    for (const std::string& line : lines_) {
        fenced = IsFence(line) ? !fenced : fenced;
        const size_t lineLevel = fenced ? 0 : HeadingLevel(line);
        if (level == 0) {
            if (lineLevel != 0 && line.substr(lineLevel + 1) == heading) {
                level = lineLevel;
            }
        } else if (lineLevel != 0 && lineLevel <= level) {
            break;
        } else {
            section.push_back(line);
        }
    }
    EXPECT_NE(0u, level) << path_ << " has no heading '" << heading << "'";
    return section;
}

MarkdownPage::Table MarkdownPage::TableIn(const std::string& heading) const {
    Table table;
    bool separatorSeen = false;
    for (const std::string& line : Section(heading)) {
        if (line.empty() || line[0] != '|') {
            if (!table.header.empty()) {
                break;
            }
        } else if (table.header.empty()) {
            table.header = Cells(line);
        } else if (!separatorSeen) {
            separatorSeen = true;
        } else {
            table.rows.push_back(Cells(line));
        }
    }
    EXPECT_FALSE(table.rows.empty()) << path_ << ": no table under '" << heading << "'";
    return table;
}

std::vector<MarkdownPage::CodeBlock> MarkdownPage::CodeBlocksIn(const std::string& heading) const {
    std::vector<CodeBlock> blocks;
    bool fenced = false;
    for (const std::string& line : Section(heading)) {
        if (IsFence(line)) {
            fenced = !fenced;
            if (fenced) {
                blocks.push_back({line.substr(3), ""});
            }
        } else if (fenced) {
            blocks.back().text += line + "\n";
        }
    }
    return blocks;
}

std::vector<std::string> MarkdownPage::Links() const {
    static const std::regex link(R"(\]\(([^)\s]+)\))");
    std::vector<std::string> links;
    bool fenced = false;
    for (const std::string& line : lines_) {
        fenced = IsFence(line) ? !fenced : fenced;
        if (fenced) {
            continue;
        }
        for (std::sregex_iterator match(line.begin(), line.end(), link), end; match != end;
             ++match) {
            links.push_back((*match)[1]);
        }
    }
    return links;
}

std::set<std::string> MarkdownPage::Anchors() const {
    std::set<std::string> anchors;
    bool fenced = false;
    for (const std::string& line : lines_) {
        fenced = IsFence(line) ? !fenced : fenced;
        const size_t level = fenced ? 0 : HeadingLevel(line);
        if (level != 0) {
            anchors.insert(Anchor(line.substr(level + 1)));
        }
    }
    return anchors;
}
