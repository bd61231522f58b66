// Every relative link of the README and the documentation reaches a file of
// the source tree, and a link to a heading reaches that heading, so pages
// that move or headings that are renamed show up here.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/docs/MarkdownPage.h"

namespace {

std::vector<std::string> Pages() {
    std::vector<std::string> pages{"README.md", "iconapi/README.md"};
    for (const auto& entry : std::filesystem::directory_iterator(SourcePath("docs"))) {
        if (entry.path().extension() == ".md") {
            pages.push_back("docs/" + entry.path().filename().string());
        }
    }
    return pages;
}

}  // namespace

TEST(DocumentationLinks, EveryRelativeLinkReachesItsFileAndHeading) {
    const std::vector<std::string> pages = Pages();
    ASSERT_GT(pages.size(), 5u);
    for (const std::string& path : pages) {
        const MarkdownPage page(path);
        const std::filesystem::path folder = std::filesystem::path(path).parent_path();
        for (const std::string& link : page.Links()) {
            if (link.find("://") != std::string::npos || link.rfind("mailto:", 0) == 0) {
                continue;
            }
            const size_t hash = link.find('#');
            const std::string file = link.substr(0, hash);
            const std::string target =
                file.empty() ? path : (folder / file).lexically_normal().string();
            ASSERT_TRUE(std::filesystem::exists(SourcePath(target)))
                << path << " links to " << link << ", which does not exist";
            if (hash != std::string::npos) {
                EXPECT_EQ(1u, MarkdownPage(target).Anchors().count(link.substr(hash + 1)))
                    << path << " links to " << link << ", a heading " << target << " lacks";
            }
        }
    }
}

// A sample output is copied from a real run; one run in a developer's work
// tree or home shows a path no reader has.
TEST(DocumentationPaths, NoPageShowsADevelopersWorkTreeOrHome) {
    const std::regex developer(R"((^|[\s'"(=:])(/work/|/home/|/root/|[A-Za-z]:\\work\\))");
    for (const std::string& path : Pages()) {
        std::ifstream file(SourcePath(path));
        int number = 0;
        for (std::string line; std::getline(file, line);) {
            ++number;
            EXPECT_FALSE(std::regex_search(line, developer))
                << path << ":" << number << " shows a developer's path: " << line;
        }
    }
}
