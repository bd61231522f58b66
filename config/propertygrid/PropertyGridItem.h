#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The values a grid item can hold, and the item itself. Free of any GUI
// toolkit: the grid's behaviour lives in CPropertyGrid, a view only shows it.

// What an item holds and how it is edited.
enum class GridItemKind : int32_t {
    kCustom = 0,         // text and editing supplied by a PropertyGridItemManager
    kText = 1,           // in-place edit box
    kMultiLineText = 2,  // modal multi-line editor
    kInteger = 3,        // in-place edit box
    kReal = 4,           // in-place edit box
    kCombo = 5,          // in-place drop-down list of the options
    kBool = 6,           // in-place drop-down list "True" / "False"
    kDate = 7,           // in-place month calendar
    kDateTime = 8,       // modal date and time editor
    kFile = 9,           // file-open dialog with the item's filter
    kFolder = 10,        // folder browser
    kColor = 11,         // colour dialog
    kFont = 12,          // font dialog
};

struct GridColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

// The parts of a font description the grid shows and its editor sets.
struct GridFont {
    std::string faceName;
    int32_t pointSize = 0;
    int32_t weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

// A calendar date and a time of day; a date item ignores the time.
struct GridDateTime {
    int32_t year = 1970;
    int32_t month = 1;  // 1 to 12
    int32_t day = 1;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
};

struct PropertyGridItem;

// Shows and edits a custom item for its owner. Called on the grid's thread.
class PropertyGridItemManager {
  public:
    virtual ~PropertyGridItemManager() = default;
    virtual std::string DisplayText(const PropertyGridItem& item) const = 0;
    // Edits the item in whatever way the manager likes; true when it changed.
    virtual bool Edit(PropertyGridItem& item) = 0;
};

struct PropertyGridItem {
    int32_t id = -1;
    bool editable = true;
    bool undefined = false;
    GridItemKind kind = GridItemKind::kText;
    std::string name;
    // Combo choices; for a file item its filter, for a folder item the
    // browser's title, in the first entry.
    std::vector<std::string> options;
    int64_t intValue = 0;  // integer value, or a combo's selected index
    double realValue = 0.0;
    std::string textValue;  // text, multi-line text, file and folder values
    bool boolValue = false;
    GridDateTime dateValue;
    GridColor colorValue;
    GridFont fontValue;
    // printf format for integers and reals; empty means the default.
    std::string format;
    // Shown beside the value, such as its range and unit.
    std::string hint;
    // What the item is for, shown with its whole value in the row's tooltip.
    std::string description;
    // The value is not the item's default; a view marks it.
    bool differsFromDefault = false;
    // The value failed the owner's check; a view marks the row.
    bool invalid = false;
    // Custom items only; not owned, outlives the grid.
    PropertyGridItemManager* manager = nullptr;
};

struct PropertyGridSection {
    int32_t id = -1;
    std::string title;
    std::vector<PropertyGridItem> items;
};
