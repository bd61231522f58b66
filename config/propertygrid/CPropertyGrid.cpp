#include "config/propertygrid/CPropertyGrid.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "config/NumberText.h"
#include "platform/LocalTime.h"

namespace {

std::string Formatted(const char* format, long long value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Formatted(const char* format, double value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Formats written for the Windows runtime name 64-bit integers "%I64d".
std::string IntegerFormat(const std::string& format) {
    if (format.empty()) {
        return "%lld";
    }
    std::string converted = format;
    for (size_t at = converted.find("I64"); at != std::string::npos; at = converted.find("I64")) {
        converted.replace(at, 3, "ll");
    }
    return converted;
}

// In the user's formats, as the system's date and time pickers show them.
std::string DateText(const GridDateTime& date) {
    return platform::FormatDate(date.year, date.month, date.day);
}

std::string DateTimeText(const GridDateTime& date) {
    return DateText(date) + " " + platform::FormatTime(date.hour, date.minute, date.second);
}

bool ContainsIgnoringCase(const std::string& text, const std::string& part) {
    const auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    return std::search(text.begin(), text.end(), part.begin(), part.end(), same) != text.end();
}

std::string ColorText(const GridColor& color) {
    char text[32];
    std::snprintf(text, sizeof text, "%d; %d; %d", color.red, color.green, color.blue);
    return text;
}

bool IsTextKind(GridItemKind kind) {
    return kind == GridItemKind::kText || kind == GridItemKind::kMultiLineText ||
           kind == GridItemKind::kFile || kind == GridItemKind::kFolder;
}

bool IsInPlaceKind(GridItemKind kind) {
    return kind == GridItemKind::kText || kind == GridItemKind::kInteger ||
           kind == GridItemKind::kReal;
}

}  // namespace

int32_t CPropertyGrid::AddSection(const std::string& title) {
    PropertyGridSection section;
    section.id = nextSectionId_++;
    section.title = title;
    sections_.push_back(section);
    Repaint();
    return section.id;
}

int32_t CPropertyGrid::Add(int32_t sectionId, PropertyGridItem item) {
    for (size_t s = 0; s < sections_.size(); ++s) {
        PropertyGridSection& section = sections_[s];
        if (section.id != sectionId) {
            continue;
        }
        for (const PropertyGridItem& other : section.items) {
            if (other.name == item.name) {
                return -1;
            }
        }
        item.id = nextItemId_++;
        section.items.push_back(item);
        itemIndex_[item.id] = {s, section.items.size() - 1};
        Repaint();
        return item.id;
    }
    return -1;
}

namespace {

PropertyGridItem MakeItem(GridItemKind kind, const std::string& name, bool editable,
                          bool undefined) {
    PropertyGridItem item;
    item.kind = kind;
    item.name = name;
    item.editable = editable;
    item.undefined = undefined;
    return item;
}

}  // namespace

int32_t CPropertyGrid::AddBoolItem(int32_t section, const std::string& name, bool value,
                                   bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kBool, name, editable, undefined);
    item.boolValue = value;
    return Add(section, item);
}

int32_t CPropertyGrid::AddIntegerItem(int32_t section, const std::string& name, int64_t value,
                                      const std::string& format, bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kInteger, name, editable, undefined);
    item.intValue = value;
    item.format = format;
    return Add(section, item);
}

int32_t CPropertyGrid::AddDoubleItem(int32_t section, const std::string& name, double value,
                                     const std::string& format, bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kReal, name, editable, undefined);
    item.realValue = value;
    item.format = format;
    return Add(section, item);
}

int32_t CPropertyGrid::AddStringItem(int32_t section, const std::string& name,
                                     const std::string& value, bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kText, name, editable, undefined);
    item.textValue = value;
    return Add(section, item);
}

int32_t CPropertyGrid::AddTextItem(int32_t section, const std::string& name,
                                   const std::string& value, bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kMultiLineText, name, editable, undefined);
    item.textValue = value;
    return Add(section, item);
}

int32_t CPropertyGrid::AddComboItem(int32_t section, const std::string& name,
                                    const std::vector<std::string>& options, int32_t selected,
                                    bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kCombo, name, editable, undefined);
    item.options = options;
    item.intValue = selected;
    return Add(section, item);
}

int32_t CPropertyGrid::AddFileItem(int32_t section, const std::string& name,
                                   const std::string& path, const std::string& filter,
                                   bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kFile, name, editable, undefined);
    item.textValue = path;
    item.options = {filter};
    return Add(section, item);
}

int32_t CPropertyGrid::AddFolderItem(int32_t section, const std::string& name,
                                     const std::string& path, const std::string& title,
                                     bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kFolder, name, editable, undefined);
    item.textValue = path;
    item.options = {title};
    return Add(section, item);
}

int32_t CPropertyGrid::AddDateItem(int32_t section, const std::string& name,
                                   const GridDateTime& value, bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kDate, name, editable, undefined);
    item.dateValue = value;
    return Add(section, item);
}

int32_t CPropertyGrid::AddDateTimeItem(int32_t section, const std::string& name,
                                       const GridDateTime& value, bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kDateTime, name, editable, undefined);
    item.dateValue = value;
    return Add(section, item);
}

int32_t CPropertyGrid::AddColorItem(int32_t section, const std::string& name,
                                    const GridColor& value, bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kColor, name, editable, undefined);
    item.colorValue = value;
    return Add(section, item);
}

int32_t CPropertyGrid::AddFontItem(int32_t section, const std::string& name, const GridFont& value,
                                   bool editable, bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kFont, name, editable, undefined);
    item.fontValue = value;
    return Add(section, item);
}

int32_t CPropertyGrid::AddCustomItem(int32_t section, const std::string& name,
                                     PropertyGridItemManager& manager, bool editable,
                                     bool undefined) {
    PropertyGridItem item = MakeItem(GridItemKind::kCustom, name, editable, undefined);
    item.manager = &manager;
    return Add(section, item);
}

PropertyGridItem* CPropertyGrid::Find(int32_t item) {
    const auto found = itemIndex_.find(item);
    if (found == itemIndex_.end()) {
        return nullptr;
    }
    return &sections_[found->second.first].items[found->second.second];
}

const PropertyGridItem* CPropertyGrid::FindItem(int32_t item) const {
    return const_cast<CPropertyGrid*>(this)->Find(item);
}

const PropertyGridSection* CPropertyGrid::FindSection(int32_t section) const {
    for (const PropertyGridSection& candidate : sections_) {
        if (candidate.id == section) {
            return &candidate;
        }
    }
    return nullptr;
}

bool CPropertyGrid::SetItemValue(int32_t id, bool value) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr || item->kind != GridItemKind::kBool) {
        return false;
    }
    item->boolValue = value;
    item->undefined = false;
    Repaint();
    return true;
}

bool CPropertyGrid::SetItemValue(int32_t id, int32_t value) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr ||
        (item->kind != GridItemKind::kInteger && item->kind != GridItemKind::kCombo)) {
        return false;
    }
    item->intValue = value;
    item->undefined = false;
    Repaint();
    return true;
}

bool CPropertyGrid::SetItemValueUnsigned(int32_t id, uint32_t value) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr ||
        (item->kind != GridItemKind::kInteger && item->kind != GridItemKind::kCombo)) {
        return false;
    }
    item->intValue = static_cast<int64_t>(value);
    item->undefined = false;
    Repaint();
    return true;
}

bool CPropertyGrid::SetItemValue(int32_t id, double value) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr || item->kind != GridItemKind::kReal) {
        return false;
    }
    item->realValue = value;
    item->undefined = false;
    Repaint();
    return true;
}

bool CPropertyGrid::SetItemValue(int32_t id, const std::string& value) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr || !IsTextKind(item->kind)) {
        return false;
    }
    item->textValue = value;
    item->undefined = false;
    Repaint();
    return true;
}

bool CPropertyGrid::GetItemValue(int32_t id, bool& value) const {
    const PropertyGridItem* item = FindItem(id);
    if (item == nullptr || item->undefined || item->kind != GridItemKind::kBool) {
        return false;
    }
    value = item->boolValue;
    return true;
}

bool CPropertyGrid::GetItemValue(int32_t id, int64_t& value) const {
    const PropertyGridItem* item = FindItem(id);
    if (item == nullptr || item->undefined ||
        (item->kind != GridItemKind::kInteger && item->kind != GridItemKind::kCombo)) {
        return false;
    }
    value = item->intValue;
    return true;
}

bool CPropertyGrid::GetItemValue(int32_t id, int32_t& value) const {
    int64_t whole = 0;
    if (!GetItemValue(id, whole)) {
        return false;
    }
    value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
    return true;
}

bool CPropertyGrid::GetItemValue(int32_t id, double& value) const {
    const PropertyGridItem* item = FindItem(id);
    if (item == nullptr || item->undefined || item->kind != GridItemKind::kReal) {
        return false;
    }
    value = item->realValue;
    return true;
}

bool CPropertyGrid::GetItemValue(int32_t id, std::string& value) const {
    const PropertyGridItem* item = FindItem(id);
    if (item == nullptr || item->undefined) {
        return false;
    }
    if (IsTextKind(item->kind)) {
        value = item->textValue;
        return true;
    }
    if (item->kind == GridItemKind::kCombo && item->intValue >= 0 &&
        item->intValue < static_cast<int64_t>(item->options.size())) {
        value = item->options[static_cast<size_t>(item->intValue)];
        return true;
    }
    return false;
}

bool CPropertyGrid::EnableItem(int32_t id, bool editable) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr) {
        return false;
    }
    item->editable = editable;
    Repaint();
    return true;
}

std::string CPropertyGrid::ChooserFolder(int32_t id) const {
    const PropertyGridItem* item = FindItem(id);
    if (item == nullptr || item->undefined || item->textValue.empty()) {
        return defaultFolder_;
    }
    if (item->kind == GridItemKind::kFolder) {
        return item->textValue;
    }
#ifdef _WIN32
    const size_t separator = item->textValue.find_last_of("\\/");
#else
    const size_t separator = item->textValue.rfind('/');
#endif
    if (separator == std::string::npos) {
        return defaultFolder_;
    }
    return item->textValue.substr(0, separator == 0 ? 1 : separator);
}

bool CPropertyGrid::IsEditable(int32_t id) const {
    const PropertyGridItem* item = FindItem(id);
    return item != nullptr && item->editable;
}

bool CPropertyGrid::SetItemHelp(int32_t id, const std::string& hint,
                                const std::string& description) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr) {
        return false;
    }
    item->hint = hint;
    item->description = description;
    Repaint();
    return true;
}

bool CPropertyGrid::SetItemDiffersFromDefault(int32_t id, bool differs) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr) {
        return false;
    }
    item->differsFromDefault = differs;
    Repaint();
    return true;
}

void CPropertyGrid::SetInvalidItem(int32_t id) {
    for (PropertyGridSection& section : sections_) {
        for (PropertyGridItem& item : section.items) {
            item.invalid = item.id == id;
        }
    }
    Repaint();
}

std::string CPropertyGrid::CellText(int32_t id) const {
    std::string text = DisplayText(id);
    const size_t lineEnd = text.find_first_of("\r\n");
    if (lineEnd == std::string::npos) {
        return text;
    }
    const bool more = text.find_first_not_of("\r\n", lineEnd) != std::string::npos;
    text.resize(lineEnd);
    return more ? text + " ..." : text;
}

std::string CPropertyGrid::ToolTipText(int32_t id) const {
    const PropertyGridItem* item = FindItem(id);
    if (item == nullptr) {
        return "";
    }
    std::string text = item->name + " = " + DisplayText(id);
    for (const std::string* line : {&item->hint, &item->description}) {
        if (!line->empty()) {
            text += "\n" + *line;
        }
    }
    return text;
}

bool CPropertyGrid::ClearItem(int32_t id) {
    PropertyGridItem* item = Find(id);
    const bool path = item != nullptr &&
                      (item->kind == GridItemKind::kFile || item->kind == GridItemKind::kFolder);
    if (!path || !item->editable || item->undefined || item->textValue.empty()) {
        return false;
    }
    item->textValue.clear();
    Changed(*item);
    return true;
}

std::vector<PropertyGridRow> CPropertyGrid::Rows() const {
    std::vector<PropertyGridRow> rows;
    for (const PropertyGridSection& section : sections_) {
        const size_t title = rows.size();
        for (const PropertyGridItem& item : section.items) {
            if (Shown(item)) {
                rows.push_back({false, item.id});
            }
        }
        if (filter_.empty() || rows.size() > title) {
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(title), {true, section.id});
        }
    }
    return rows;
}

bool CPropertyGrid::Shown(const PropertyGridItem& item) const {
    return filter_.empty() || ContainsIgnoringCase(item.name, filter_);
}

void CPropertyGrid::SetFilter(const std::string& text) {
    if (text == filter_) {
        return;
    }
    filter_ = text;
    if (const std::optional<size_t> row = FocusedRowIndex()) {
        ScrollTo(*row);
    }
    Repaint();
}

std::optional<size_t> CPropertyGrid::FocusedRowIndex() const {
    if (!focusedRow_) {
        return std::nullopt;
    }
    const std::vector<PropertyGridRow> rows = Rows();
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].isSection == focusedRow_->isSection && rows[row].id == focusedRow_->id) {
            return row;
        }
    }
    return std::nullopt;
}

bool CPropertyGrid::SetFocusedItem(int32_t id) {
    if (Find(id) == nullptr) {
        return false;
    }
    focusedRow_ = PropertyGridRow{false, id};
    Notify(kGridFocusChanged, id);
    if (const std::optional<size_t> row = FocusedRowIndex()) {
        ScrollTo(*row);
    }
    Repaint();
    return true;
}

void CPropertyGrid::MoveFocus(int delta) {
    const int rows = static_cast<int>(Rows().size());
    if (rows == 0) {
        return;
    }
    const std::optional<size_t> focused = FocusedRowIndex();
    const int current = focused ? static_cast<int>(*focused) : (delta > 0 ? -1 : rows);
    FocusRow(static_cast<size_t>(std::clamp(current + delta, 0, rows - 1)));
}

void CPropertyGrid::FocusRow(size_t row) {
    const std::vector<PropertyGridRow> rows = Rows();
    if (row >= rows.size()) {
        return;
    }
    const PropertyGridRow target = rows[row];
    if (focusedRow_ && focusedRow_->isSection == target.isSection && focusedRow_->id == target.id) {
        return;
    }
    focusedRow_ = target;
    Notify(kGridFocusChanged, target.isSection ? -1 : target.id);
    ScrollTo(row);
    Repaint();
}

std::string CPropertyGrid::DisplayText(int32_t id) const {
    const PropertyGridItem* item = FindItem(id);
    if (item == nullptr || item->undefined) {
        return "";
    }
    switch (item->kind) {
        case GridItemKind::kCustom:
            return item->manager != nullptr ? item->manager->DisplayText(*item) : "";
        case GridItemKind::kText:
        case GridItemKind::kMultiLineText:
        case GridItemKind::kFile:
        case GridItemKind::kFolder:
            return item->textValue;
        case GridItemKind::kInteger:
            return Formatted(IntegerFormat(item->format).c_str(),
                             static_cast<long long>(item->intValue));
        case GridItemKind::kReal:
            return Formatted(item->format.empty() ? "%.7g" : item->format.c_str(), item->realValue);
        case GridItemKind::kCombo:
            return item->intValue >= 0 &&
                           item->intValue < static_cast<int64_t>(item->options.size())
                       ? item->options[static_cast<size_t>(item->intValue)]
                       : "";
        case GridItemKind::kBool:
            return item->boolValue ? "True" : "False";
        case GridItemKind::kDate:
            return DateText(item->dateValue);
        case GridItemKind::kDateTime:
            return DateTimeText(item->dateValue);
        case GridItemKind::kColor:
            return ColorText(item->colorValue);
        case GridItemKind::kFont:
            return item->fontValue.faceName + "; " +
                   Formatted("%lldpt", static_cast<long long>(item->fontValue.pointSize));
    }
    return "";
}

std::optional<std::string> CPropertyGrid::BeginInPlaceEdit(int32_t id) {
    const PropertyGridItem* item = FindItem(id);
    if (item == nullptr || !item->editable || !IsInPlaceKind(item->kind)) {
        return std::nullopt;
    }
    editedItem_ = id;
    editStartText_ = DisplayText(id);
    return editStartText_;
}

void CPropertyGrid::CancelInPlaceEdit() {
    editedItem_ = -1;
    editStartText_.clear();
}

void CPropertyGrid::EndInPlaceEdit(const std::string& text) {
    const int32_t id = editedItem_;
    const bool unchanged = text == editStartText_;
    CancelInPlaceEdit();
    PropertyGridItem* item = Find(id);
    if (item == nullptr || unchanged) {
        return;
    }
    switch (item->kind) {
        case GridItemKind::kText:
            item->textValue = text;
            break;
        case GridItemKind::kInteger:
            if (text.empty()) {
                return;
            }
            item->intValue = ParseLeadingInteger(text);
            break;
        case GridItemKind::kReal:
            if (text.empty()) {
                return;
            }
            item->realValue = ParseLeadingReal(text);
            break;
        default:
            return;
    }
    Changed(*item);
}

PropertyGridItem* CPropertyGrid::FindEditable(int32_t id, GridItemKind kind) {
    PropertyGridItem* item = Find(id);
    return item != nullptr && item->editable && item->kind == kind ? item : nullptr;
}

bool CPropertyGrid::EndChoiceEdit(int32_t id, int32_t index) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr || !item->editable) {
        return false;
    }
    if (item->kind == GridItemKind::kCombo && index >= 0 &&
        static_cast<size_t>(index) < item->options.size()) {
        item->intValue = index;
    } else if (item->kind == GridItemKind::kBool && (index == 0 || index == 1)) {
        item->boolValue = index == 0;
    } else {
        return false;
    }
    Changed(*item);
    return true;
}

bool CPropertyGrid::EndTextEdit(int32_t id, const std::string& value) {
    PropertyGridItem* item = Find(id);
    if (item == nullptr || !item->editable || !IsTextKind(item->kind)) {
        return false;
    }
    item->textValue = value;
    Changed(*item);
    return true;
}

bool CPropertyGrid::EndDateEdit(int32_t id, const GridDateTime& value) {
    PropertyGridItem* item = FindEditable(id, GridItemKind::kDate);
    if (item == nullptr) {
        item = FindEditable(id, GridItemKind::kDateTime);
    }
    if (item == nullptr) {
        return false;
    }
    item->dateValue = value;
    Changed(*item);
    return true;
}

bool CPropertyGrid::EndColorEdit(int32_t id, const GridColor& value) {
    PropertyGridItem* item = FindEditable(id, GridItemKind::kColor);
    if (item == nullptr) {
        return false;
    }
    item->colorValue = value;
    Changed(*item);
    return true;
}

bool CPropertyGrid::EndFontEdit(int32_t id, const GridFont& value) {
    PropertyGridItem* item = FindEditable(id, GridItemKind::kFont);
    if (item == nullptr) {
        return false;
    }
    item->fontValue = value;
    Changed(*item);
    return true;
}

bool CPropertyGrid::EndCustomEdit(int32_t id) {
    PropertyGridItem* item = FindEditable(id, GridItemKind::kCustom);
    if (item == nullptr || item->manager == nullptr || !item->manager->Edit(*item)) {
        return false;
    }
    Changed(*item);
    return true;
}

void CPropertyGrid::Changed(PropertyGridItem& item) {
    item.undefined = false;
    const int32_t id = item.id;
    Repaint();
    // The owner may add or change items: `item` is not touched after this.
    Notify(kGridItemChanged, id);
}

void CPropertyGrid::Notify(int32_t message, int32_t item) {
    if (owner_ != nullptr) {
        owner_->OnGridNotify(message, item);
    }
}

void CPropertyGrid::Repaint() {
    if (view_ != nullptr) {
        view_->Repaint();
    }
}

void CPropertyGrid::ScrollTo(size_t row) {
    if (view_ != nullptr) {
        view_->ScrollIntoView(row);
    }
}
