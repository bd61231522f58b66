// docs/settings.md against the code: every key of the camera's and the
// image's parameter sets is listed in the order the file and the dialog use,
// nothing else is, and each row shows the key's section, type, default, range
// and storage as the code defines them. A failure prints the row the code
// expects, so the page is mended by copying it.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/CameraDefaults.h"
#include "config/CameraParameters.h"
#include "image/ImageList.h"
#include "tests/docs/DocumentedParam.h"
#include "tests/docs/MarkdownPage.h"
#include "tests/image/ImageTestSupport.h"

namespace {

std::string ExpectedRow(const DocumentedParam& expected) {
    return "| " + expected.key + " | " + expected.section + " | " + expected.type + " | " +
           expected.defaultValue + " | " + expected.range + " | " + expected.storedAs +
           " | <takes effect> | <meaning> |";
}

// Compares the rows of the table under `heading` with the parameters of
// `set`, key by key and in order.
void CheckTable(const std::string& heading, CameraParameters& set, const std::string& setSection,
                const std::set<std::string>& imageNames) {
    const MarkdownPage page("docs/settings.md");
    const MarkdownPage::Table table = page.TableIn(heading);
    std::vector<std::string> documentedKeys;
    for (const auto& row : table.rows) {
        documentedKeys.push_back(FirstCode(table.Cell(row, "Key")));
    }
    std::vector<std::string> codeKeys;
    for (Param_& param : set.Params()) {
        codeKeys.push_back(param.name);
    }
    EXPECT_EQ(codeKeys, documentedKeys) << heading << ": the keys or their order differ";

    for (Param_& param : set.Params()) {
        const DocumentedParam expected = Document(param, setSection, imageNames);
        for (const auto& row : table.rows) {
            if (FirstCode(table.Cell(row, "Key")) != param.name) {
                continue;
            }
            const std::map<std::string, std::string> cells{
                {"Key", expected.key},     {"Section", expected.section},
                {"Type", expected.type},   {"Default", expected.defaultValue},
                {"Range", expected.range}, {"Stored as", expected.storedAs}};
            for (const auto& [column, cell] : cells) {
                EXPECT_EQ(cell, table.Cell(row, column))
                    << heading << ", " << param.name << ", column " << column
                    << "; the code expects\n"
                    << ExpectedRow(expected);
            }
            EXPECT_FALSE(table.Cell(row, "Takes effect").empty()) << param.name;
            EXPECT_FALSE(table.Cell(row, "Meaning").empty()) << param.name;
        }
    }
}

}  // namespace

TEST(SettingsReference, CameraSettingsAreListedAsTheCodeDefinesThem) {
    CameraParameters camera("CAM");
    CreateDefaultParameters(camera);
    CheckTable("Camera settings", camera, "`<camera>`", {});
}

class ImageSettingsReference : public imagetest::SimFixture {};

TEST_F(ImageSettingsReference, ImageSettingsAreListedAsTheCodeDefinesThem) {
    // A data format with mark records, so the image choices differ from
    // each other as they do on a camera.
    CameraState camera = imagetest::Camera(imagetest::CogFormat(8, true), 4);
    ImageList list(camera);
    list.BuildImageList();
    std::set<std::string> imageNames;
    for (const ImageSource& source : list.Sources()) {
        imageNames.insert(source.DisplayName());
    }
    std::unique_ptr<ImageAdapter> adapter = list.CreateImageAdapter(1, "1");
    EXPECT_EQ("Cam.1", adapter->GetParameters().Name());
    CheckTable("Image settings", adapter->GetParameters(), "`<camera>.<n>`", imageNames);
}
