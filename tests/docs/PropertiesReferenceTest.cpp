// docs/properties.md against the driver: a simulated camera is opened on a
// port and every listed property is read, written and asked for its range
// through the entry points, under its own name and in capitals; each call
// must answer or fail as the table says. Every camera setting must be listed
// with the conversion its type gets.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <string>

#include "config/CameraDefaults.h"
#include "config/CameraParameters.h"
#include "tests/camera/CameraFixture.h"
#include "tests/docs/DocumentedParam.h"
#include "tests/docs/MarkdownPage.h"
#include "vavezaz/CvlDriver.h"

namespace {

bool Yes(const std::string& cell) {
    return cell.rfind("yes", 0) == 0;
}

std::string Capitals(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

class PropertiesReference : public CameraFixture {
  protected:
    const MarkdownPage page_{"docs/properties.md"};
    const MarkdownPage::Table table_ = page_.TableIn("Properties");
};

// One property on an open port, as the row documents it.
void CheckRow(const MarkdownPage::Table& table, const std::vector<std::string>& row,
              const std::string& name) {
    SCOPED_TRACE("property " + name);
    int value = 0;
    const bool readable = getProperty(0, 1, name.c_str(), &value) == 1;
    EXPECT_EQ(Yes(table.Cell(row, "Get")), readable);

    const std::string range = table.Cell(row, "Range");
    static const std::regex bounds("`(-?[0-9]+)` to `(-?[0-9]+)`");
    std::smatch documented;
    int minimum = -1;
    int maximum = -1;
    const bool ranged = getPropertyRange(0, 1, name.c_str(), &minimum, &maximum) == 1;
    if (std::regex_match(range, documented, bounds)) {
        ASSERT_TRUE(ranged);
        EXPECT_EQ(std::stoi(documented[1]), minimum);
        EXPECT_EQ(std::stoi(documented[2]), maximum);
    } else {
        EXPECT_EQ("no", range);
        EXPECT_FALSE(ranged);
    }

    // Writing back what was read changes nothing, so rows do not disturb
    // each other.
    EXPECT_EQ(Yes(table.Cell(row, "Set")), setProperty(0, 1, name.c_str(), value) == 1);
}

}  // namespace

TEST_F(PropertiesReference, EveryListedPropertyAnswersAsTheTableSays) {
    Start();
    OpenPort(1, kCameraA);
    for (const auto& row : table_.rows) {
        const std::string name = FirstCode(table_.Cell(row, "Property"));
        CheckRow(table_, row, name);
        CheckRow(table_, row, Capitals(name));
        int value = 0;
        EXPECT_EQ(0, getProperty(0, 5, name.c_str(), &value)) << name << " on a closed port";
        EXPECT_EQ(0, setProperty(0, 5, name.c_str(), 0)) << name << " on a closed port";
        EXPECT_EQ(0, getPropertyRange(0, 5, name.c_str(), &value, &value))
            << name << " on a closed port";
    }
}

TEST_F(PropertiesReference, EveryCameraSettingIsListedWithItsConversion) {
    CameraParameters camera("CAM");
    CreateDefaultParameters(camera);
    const MarkdownPage::Table conversions = page_.TableIn("Conversion");
    for (const Param_& param : camera.Params()) {
        bool listed = false;
        for (const auto& row : table_.rows) {
            if (FirstCode(table_.Cell(row, "Property")) == param.name) {
                listed = true;
                EXPECT_EQ(TypeWord(param), table_.Cell(row, "Conversion")) << param.name;
            }
        }
        EXPECT_TRUE(listed) << "docs/properties.md does not list the setting " << param.name;
        bool explained = false;
        for (const auto& row : conversions.rows) {
            explained = explained || conversions.Cell(row, "Conversion") == TypeWord(param);
        }
        EXPECT_TRUE(explained) << "no conversion row for " << TypeWord(param);
    }
}
