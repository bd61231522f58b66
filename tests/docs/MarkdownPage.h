#pragma once

#include <set>
#include <string>
#include <vector>

// A page of the documentation, read by the tests that keep it true to the
// code: its sections, tables, fenced code blocks, links and headings.
class MarkdownPage {
  public:
    struct Table {
        std::vector<std::string> header;
        std::vector<std::vector<std::string>> rows;

        // The cell of `row` under the column headed `column`; fails the
        // test and answers "" when the table has no such column.
        std::string Cell(const std::vector<std::string>& row, const std::string& column) const;
    };

    struct CodeBlock {
        std::string language;  // the word after the opening fence
        std::string text;      // the lines between the fences, each with its line feed
    };

    // `path` relative to the source tree. A missing page fails the test.
    explicit MarkdownPage(const std::string& path);

    const std::string& Path() const { return path_; }
    // The first table in the section under the heading `heading`; empty
    // when there is none.
    Table TableIn(const std::string& heading) const;
    // The fenced code blocks in the section under `heading`, in order.
    std::vector<CodeBlock> CodeBlocksIn(const std::string& heading) const;
    // The targets of every [text](target) link outside code blocks.
    std::vector<std::string> Links() const;
    // The anchors a Markdown renderer gives the headings.
    std::set<std::string> Anchors() const;

  private:
    // Lines of the section under `heading`, down to the next heading of the
    // same or a higher level; fences are left in.
    std::vector<std::string> Section(const std::string& heading) const;

    std::string path_;
    std::vector<std::string> lines_;
};

// The text of the first `code span` in `cell`; "" when it has none.
std::string FirstCode(const std::string& cell);

// The full path of a file of the source tree.
std::string SourcePath(const std::string& relative);
