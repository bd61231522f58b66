// The grid's item model, without a display: what it shows, what an edit
// does to a value, and when it tells its owner.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "config/NumberText.h"
#include "config/propertygrid/CPropertyGrid.h"

namespace {

// Records every notification in order.
class Owner : public PropertyGridOwner {
  public:
    int32_t OnGridNotify(int32_t message, int32_t item) override {
        received.push_back({message, item});
        return 0;
    }
    std::vector<std::pair<int32_t, int32_t>> received;
};

class PropertyGrid : public ::testing::Test {
  protected:
    void SetUp() override {
        grid_.SetOwner(&owner_);
        section_ = grid_.AddSection("Camera");
    }
    // Types `text` into an item's in-place editor and presses Enter.
    void Type(int32_t item, const std::string& text) {
        ASSERT_TRUE(grid_.BeginInPlaceEdit(item).has_value());
        grid_.EndInPlaceEdit(text);
    }
    std::vector<std::pair<int32_t, int32_t>> Changed(int32_t item) const {
        return {{kGridItemChanged, item}};
    }

    Owner owner_;
    CPropertyGrid grid_;
    int32_t section_ = -1;
};

}  // namespace

TEST_F(PropertyGrid, SectionsAndItemsCountTheirIdsSeparately) {
    EXPECT_EQ(0, section_);
    EXPECT_EQ(1, grid_.AddSection("Image"));
    EXPECT_EQ(0, grid_.AddBoolItem(section_, "A", true));
    EXPECT_EQ(1, grid_.AddIntegerItem(1, "B", 5));
    EXPECT_EQ(2, grid_.AddSection("Other"));
    EXPECT_EQ(2, grid_.AddStringItem(section_, "C", "x"));
    const std::vector<PropertyGridRow> rows = grid_.Rows();
    ASSERT_EQ(6u, rows.size());
    EXPECT_TRUE(rows[0].isSection);
    EXPECT_EQ(2, rows[2].id) << "items stand under their own section, in order of adding";
    EXPECT_TRUE(rows[3].isSection);
}

TEST_F(PropertyGrid, ARepeatedNameOrAMissingSectionLeavesTheGridUnchanged) {
    ASSERT_EQ(0, grid_.AddIntegerItem(section_, "BufferSize", 20));
    EXPECT_EQ(-1, grid_.AddStringItem(section_, "BufferSize", "again"));
    EXPECT_EQ(-1, grid_.AddBoolItem(7, "Elsewhere", true));
    EXPECT_EQ(2u, grid_.Rows().size());
    EXPECT_EQ("20", grid_.DisplayText(0));
    EXPECT_EQ(1, grid_.AddIntegerItem(grid_.AddSection("Image"), "BufferSize", 3))
        << "the same name in another section is fine, and no ID was used up";
}

TEST_F(PropertyGrid, EveryKindShowsItsValueInItsFormat) {
    struct Manager : PropertyGridItemManager {
        std::string DisplayText(const PropertyGridItem& item) const override {
            return "custom " + item.name;
        }
        bool Edit(PropertyGridItem&) override { return true; }
    } manager;
    const int32_t yes = grid_.AddBoolItem(section_, "yes", true);
    const int32_t no = grid_.AddBoolItem(section_, "no", false);
    const int32_t big = grid_.AddIntegerItem(section_, "big", 9000000000123LL);
    const int32_t hex = grid_.AddIntegerItem(section_, "hex", 255, "0x%I64x");
    const int32_t real = grid_.AddDoubleItem(section_, "real", 3.14159265358979);
    const int32_t fixed = grid_.AddDoubleItem(section_, "fixed", 2.5, "%.2f mm");
    const int32_t combo = grid_.AddComboItem(section_, "combo", {"Grayscale", "3D (XYZ)"}, 1);
    const int32_t colour = grid_.AddColorItem(section_, "colour", GridColor{255, 128, 0});
    const int32_t font = grid_.AddFontItem(section_, "font", GridFont{"Tahoma", 9});
    const int32_t date = grid_.AddDateItem(section_, "date", GridDateTime{2026, 3, 7, 8, 9, 10});
    const int32_t stamp =
        grid_.AddDateTimeItem(section_, "stamp", GridDateTime{2026, 3, 7, 8, 9, 10});
    const int32_t custom = grid_.AddCustomItem(section_, "thing", manager);
    const int32_t unknown = grid_.AddIntegerItem(section_, "unknown", 4, "", true, true);
    EXPECT_EQ("True", grid_.DisplayText(yes));
    EXPECT_EQ("False", grid_.DisplayText(no));
    EXPECT_EQ("9000000000123", grid_.DisplayText(big)) << "64-bit values are shown whole";
    EXPECT_EQ("0xff", grid_.DisplayText(hex));
    EXPECT_EQ("3.141593", grid_.DisplayText(real)) << "seven significant digits";
    EXPECT_EQ("2.50 mm", grid_.DisplayText(fixed));
    EXPECT_EQ("3D (XYZ)", grid_.DisplayText(combo));
    EXPECT_EQ("255; 128; 0", grid_.DisplayText(colour));
    EXPECT_EQ("Tahoma; 9pt", grid_.DisplayText(font));
#ifndef _WIN32
    // Windows writes dates as the user account says; here the thread runs
    // in the C locale.
    EXPECT_EQ("03/07/26", grid_.DisplayText(date)) << "the short date of the C locale";
    EXPECT_EQ("03/07/26 08:09:10", grid_.DisplayText(stamp));
#else
    ASSERT_FALSE(grid_.DisplayText(date).empty());
    EXPECT_EQ(0u, grid_.DisplayText(stamp).find(grid_.DisplayText(date) + " "))
        << "a date and time is the date, then the time";
#endif
    EXPECT_EQ("custom thing", grid_.DisplayText(custom));
    EXPECT_EQ("", grid_.DisplayText(unknown)) << "an undefined value shows nothing";
}

TEST_F(PropertyGrid, IntegerValuesAreSignOrZeroExtendedAndReadBackAsTheirLow32Bits) {
    const int32_t item = grid_.AddIntegerItem(section_, "n", 0);
    ASSERT_TRUE(grid_.SetItemValue(item, int32_t{-2}));
    EXPECT_EQ("-2", grid_.DisplayText(item));
    ASSERT_TRUE(grid_.SetItemValueUnsigned(item, 0xFFFFFFFEu));
    EXPECT_EQ("4294967294", grid_.DisplayText(item));
    int32_t low = 0;
    ASSERT_TRUE(grid_.GetItemValue(item, low));
    EXPECT_EQ(-2, low);
    int64_t whole = 0;
    ASSERT_TRUE(grid_.GetItemValue(item, whole));
    EXPECT_EQ(4294967294LL, whole);
}

TEST_F(PropertyGrid, AComboAnswersItsIndexAsIntegerAndItsOptionAsText) {
    const int32_t combo = grid_.AddComboItem(section_, "ImageFormat", {"Grayscale", "3D (XYZ)"}, 1);
    int32_t index = -1;
    std::string text;
    ASSERT_TRUE(grid_.GetItemValue(combo, index));
    ASSERT_TRUE(grid_.GetItemValue(combo, text));
    EXPECT_EQ(1, index);
    EXPECT_EQ("3D (XYZ)", text);
    ASSERT_TRUE(grid_.SetItemValue(combo, int32_t{5}));
    EXPECT_FALSE(grid_.GetItemValue(combo, text)) << "an index past the options has no text";
    EXPECT_TRUE(grid_.GetItemValue(combo, index));
    EXPECT_EQ(5, index);
}

TEST_F(PropertyGrid, ValuesOfAnotherKindOrOfUnknownOrUndefinedItemsAreRefused) {
    const int32_t flag = grid_.AddBoolItem(section_, "flag", true);
    const int32_t text = grid_.AddStringItem(section_, "text", "abc");
    const int32_t unset = grid_.AddDoubleItem(section_, "unset", 1.5, "", true, true);
    int32_t number = 0;
    double real = 0;
    std::string value;
    bool yes = false;
    EXPECT_FALSE(grid_.SetItemValue(flag, int32_t{1}));
    EXPECT_FALSE(grid_.SetItemValue(text, 2.0));
    EXPECT_FALSE(grid_.SetItemValue(99, true));
    EXPECT_FALSE(grid_.GetItemValue(flag, number));
    EXPECT_FALSE(grid_.GetItemValue(flag, value));
    EXPECT_FALSE(grid_.GetItemValue(99, yes));
    EXPECT_FALSE(grid_.GetItemValue(unset, real)) << "an undefined value cannot be read";
    ASSERT_TRUE(grid_.SetItemValue(unset, 2.25));
    EXPECT_TRUE(grid_.GetItemValue(unset, real)) << "setting a value defines it";
    EXPECT_EQ(2.25, real);
    EXPECT_TRUE(owner_.received.empty()) << "setting from code sends no notification";
}

TEST_F(PropertyGrid, IntegerEditsTakeTheLeadingDigitsAndAnEmptyTextChangesNothing) {
    const int32_t item = grid_.AddIntegerItem(section_, "NumberOfScans", 512);
    Type(item, "12abc");
    EXPECT_EQ("12", grid_.DisplayText(item));
    EXPECT_EQ(Changed(item), owner_.received);
    owner_.received.clear();
    Type(item, "");
    EXPECT_EQ("12", grid_.DisplayText(item));
    EXPECT_TRUE(owner_.received.empty()) << "an empty edit sends nothing";
    Type(item, "  -40 mm");
    EXPECT_EQ("-40", grid_.DisplayText(item));
    Type(item, "99999999999999999999999");
    EXPECT_EQ(std::to_string(std::numeric_limits<int64_t>::max()), grid_.DisplayText(item))
        << "a number beyond 64 bits saturates";
    Type(item, "none");
    EXPECT_EQ("0", grid_.DisplayText(item)) << "no digits read as 0";
}

TEST_F(PropertyGrid, RealEditsReadDecimalNumbersOnly) {
    const int32_t item = grid_.AddDoubleItem(section_, "LaserPlaneAngle", 0.0);
    double value = 0;
    Type(item, "12.5e1deg");
    ASSERT_TRUE(grid_.GetItemValue(item, value));
    EXPECT_EQ(125.0, value);
    for (const char* text : {"nan", "inf", "0x10", "-infinity"}) {
        Type(item, text);
        ASSERT_TRUE(grid_.GetItemValue(item, value));
        EXPECT_EQ(0.0, value) << text << " is no decimal number";
    }
    Type(item, "1e999");
    ASSERT_TRUE(grid_.GetItemValue(item, value));
    EXPECT_TRUE(std::isfinite(value)) << "an overflow never becomes an infinity";
    Type(item, ".5");
    ASSERT_TRUE(grid_.GetItemValue(item, value));
    EXPECT_EQ(0.5, value);
}

TEST_F(PropertyGrid, EscapeAndAnUntouchedEditKeepTheValueWithAllItsDigits) {
    const int32_t item = grid_.AddDoubleItem(section_, "PulsesPerMillimeter", 0.123456789);
    const std::optional<std::string> shown = grid_.BeginInPlaceEdit(item);
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ("0.1234568", *shown);
    grid_.EndInPlaceEdit(*shown);
    double value = 0;
    ASSERT_TRUE(grid_.GetItemValue(item, value));
    EXPECT_EQ(0.123456789, value) << "confirming the shown text must not round the value";
    ASSERT_TRUE(grid_.BeginInPlaceEdit(item).has_value());
    grid_.CancelInPlaceEdit();
    EXPECT_EQ(-1, grid_.EditedItem());
    ASSERT_TRUE(grid_.GetItemValue(item, value));
    EXPECT_EQ(0.123456789, value);
    EXPECT_TRUE(owner_.received.empty());
}

TEST_F(PropertyGrid, AnUndefinedNumberStartsAnEmptyEditAndIsDefinedByIt) {
    const int32_t item = grid_.AddIntegerItem(section_, "n", 7, "", true, true);
    EXPECT_EQ(std::optional<std::string>(""), grid_.BeginInPlaceEdit(item));
    grid_.EndInPlaceEdit("3");
    int32_t value = 0;
    ASSERT_TRUE(grid_.GetItemValue(item, value));
    EXPECT_EQ(3, value);
}

TEST_F(PropertyGrid, ADisabledItemOpensNoEditorAndTakesNoChoice) {
    const int32_t text = grid_.AddStringItem(section_, "text", "abc");
    const int32_t flag = grid_.AddBoolItem(section_, "flag", true);
    ASSERT_TRUE(grid_.EnableItem(text, false));
    ASSERT_TRUE(grid_.EnableItem(flag, false));
    EXPECT_FALSE(grid_.IsEditable(text));
    EXPECT_FALSE(grid_.BeginInPlaceEdit(text).has_value());
    EXPECT_FALSE(grid_.EndChoiceEdit(flag, 1));
    EXPECT_FALSE(grid_.EndTextEdit(text, "new"));
    EXPECT_EQ("abc", grid_.DisplayText(text));
    EXPECT_TRUE(owner_.received.empty());
    EXPECT_FALSE(grid_.EnableItem(42, true));
    ASSERT_TRUE(grid_.EnableItem(text, true));
    EXPECT_TRUE(grid_.BeginInPlaceEdit(text).has_value());
}

TEST_F(PropertyGrid, ChoicesAndModalEditorsStoreTheirResultAndReportIt) {
    const int32_t flag = grid_.AddBoolItem(section_, "flag", true, true, true);
    const int32_t combo = grid_.AddComboItem(section_, "combo", {"a", "b", "c"}, 0);
    const int32_t file = grid_.AddFileItem(section_, "file", "/a.prm", "P (*.prm)|*.prm||");
    const int32_t colour = grid_.AddColorItem(section_, "colour", GridColor{});
    ASSERT_TRUE(grid_.EndChoiceEdit(flag, 1));
    ASSERT_TRUE(grid_.EndChoiceEdit(combo, 2));
    EXPECT_FALSE(grid_.EndChoiceEdit(combo, 3)) << "no such option";
    ASSERT_TRUE(grid_.EndTextEdit(file, "/b.prm"));
    ASSERT_TRUE(grid_.EndColorEdit(colour, GridColor{1, 2, 3}));
    bool value = true;
    ASSERT_TRUE(grid_.GetItemValue(flag, value)) << "an edit defines the value";
    EXPECT_FALSE(value) << "index 1 is False";
    EXPECT_EQ("c", grid_.DisplayText(combo));
    EXPECT_EQ("/b.prm", grid_.DisplayText(file));
    EXPECT_EQ("1; 2; 3", grid_.DisplayText(colour));
    const std::vector<std::pair<int32_t, int32_t>> expected{{kGridItemChanged, flag},
                                                            {kGridItemChanged, combo},
                                                            {kGridItemChanged, file},
                                                            {kGridItemChanged, colour}};
    EXPECT_EQ(expected, owner_.received);
}

TEST_F(PropertyGrid, FocusChangesAreReportedWithTheItemOrMinusOneForASection) {
    const int32_t first = grid_.AddIntegerItem(section_, "first", 1);
    const int32_t second = grid_.AddIntegerItem(section_, "second", 2);
    EXPECT_FALSE(grid_.SetFocusedItem(77));
    ASSERT_TRUE(grid_.SetFocusedItem(second));
    EXPECT_EQ(second, grid_.GetFocusedItem());
    EXPECT_EQ(std::optional<size_t>(2), grid_.FocusedRowIndex());
    grid_.FocusRow(1);
    grid_.FocusRow(1);
    grid_.FocusRow(0);
    EXPECT_EQ(-1, grid_.GetFocusedItem());
    const std::vector<std::pair<int32_t, int32_t>> expected{
        {kGridFocusChanged, second}, {kGridFocusChanged, first}, {kGridFocusChanged, -1}};
    EXPECT_EQ(expected, owner_.received) << "moving onto the focused row again sends nothing";
}

TEST(PropertyGridParsing, LeadingNumbersFollowTheRuntimeRules) {
    EXPECT_EQ(42, ParseLeadingInteger("  +42x"));
    EXPECT_EQ(std::numeric_limits<int64_t>::min(), ParseLeadingInteger("-9223372036854775808"));
    EXPECT_EQ(std::numeric_limits<int64_t>::min(), ParseLeadingInteger("-99999999999999999999"));
    EXPECT_EQ(0, ParseLeadingInteger("- 5"));
    EXPECT_EQ(-2.5, ParseLeadingReal(" -2.5e0x"));
    EXPECT_EQ(3.0, ParseLeadingReal("3e"));
    EXPECT_EQ(0.0, ParseLeadingReal("."));
    EXPECT_EQ(0.0, ParseLeadingReal("1e-999"));
}

TEST_F(PropertyGrid, AFilterListsMatchingNamesUnderTheirSectionsOnly) {
    grid_.AddIntegerItem(section_, "NumberOfScans", 512);
    const int32_t buffer = grid_.AddIntegerItem(section_, "BufferSize", 20);
    const int32_t image = grid_.AddSection("Image");
    const int32_t minHeight = grid_.AddDoubleItem(image, "MinHeight", 1.0);
    ASSERT_TRUE(grid_.SetFocusedItem(minHeight));
    grid_.SetFilter("bUFFER");
    const std::vector<PropertyGridRow> rows = grid_.Rows();
    ASSERT_EQ(2u, rows.size()) << "a section with no match folds away";
    EXPECT_TRUE(rows[0].isSection && rows[0].id == section_);
    EXPECT_EQ(buffer, rows[1].id);
    EXPECT_FALSE(grid_.FocusedRowIndex().has_value()) << "the focused row is filtered out";
    EXPECT_EQ(minHeight, grid_.GetFocusedItem()) << "but keeps the focus";
    grid_.MoveFocus(1);
    EXPECT_EQ(-1, grid_.GetFocusedItem()) << "moving starts from the rows shown";
    grid_.SetFilter("");
    EXPECT_EQ(5u, grid_.Rows().size());
}

TEST_F(PropertyGrid, CellsShowOneLineAndTooltipsTheWholeStory) {
    const int32_t text = grid_.AddTextItem(section_, "notes", "first\nsecond");
    const int32_t oneLine = grid_.AddTextItem(section_, "line", "only\n");
    const int32_t size = grid_.AddIntegerItem(section_, "BufferSize", 20);
    ASSERT_TRUE(grid_.SetItemHelp(size, "[1..3000] MB", "Frame grabber buffer size"));
    EXPECT_EQ("first ...", grid_.CellText(text)) << "a value with more lines says so";
    EXPECT_EQ("only", grid_.CellText(oneLine));
    EXPECT_EQ("BufferSize = 20\n[1..3000] MB\nFrame grabber buffer size", grid_.ToolTipText(size));
    EXPECT_EQ("notes = first\nsecond", grid_.ToolTipText(text));
    EXPECT_FALSE(grid_.SetItemHelp(99, "", ""));
}

TEST_F(PropertyGrid, ClearingEmptiesAnEditablePathAndTellsTheOwnerOnce) {
    const int32_t file = grid_.AddFileItem(section_, "file", "/tmp/a.prm", "");
    const int32_t locked = grid_.AddFolderItem(section_, "folder", "/tmp", "", false);
    const int32_t text = grid_.AddStringItem(section_, "text", "x");
    EXPECT_TRUE(grid_.ClearItem(file));
    std::string value = "unset";
    ASSERT_TRUE(grid_.GetItemValue(file, value));
    EXPECT_EQ("", value);
    EXPECT_FALSE(grid_.ClearItem(file)) << "already empty";
    EXPECT_FALSE(grid_.ClearItem(locked)) << "read-only";
    EXPECT_FALSE(grid_.ClearItem(text)) << "not a path";
    EXPECT_EQ(Changed(file), owner_.received);
}
