#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/propertygrid/PropertyGridItem.h"

// Message numbers of the two notifications the grid sends its owner. (An
// in-place editor hands its text to the grid by EndInPlaceEdit.)
constexpr int32_t kGridItemChanged = 1510;
constexpr int32_t kGridFocusChanged = 1511;

// Receives the grid's notifications, synchronously, on the grid's thread.
class PropertyGridOwner {
  public:
    virtual ~PropertyGridOwner() = default;
    // `message` is kGridItemChanged or kGridFocusChanged; `itemId` the item,
    // or -1 when the focus moved to a section row.
    virtual int32_t OnGridNotify(int32_t message, int32_t itemId) = 0;
};

// Shows the grid. The grid tells it when to draw again.
class PropertyGridView {
  public:
    virtual ~PropertyGridView() = default;
    virtual void Repaint() = 0;
    virtual void ScrollIntoView(size_t row) = 0;
};

// One line of the grid as a view lists it: a section title or an item.
struct PropertyGridRow {
    bool isSection = false;
    int32_t id = -1;
};

// The property grid: named values under section titles, their display texts,
// and the rules by which an edit changes a value and tells the owner. Bound
// to one thread (the dialog's): it takes no lock.
class CPropertyGrid {
  public:
    CPropertyGrid() = default;
    CPropertyGrid(const CPropertyGrid&) = delete;
    CPropertyGrid& operator=(const CPropertyGrid&) = delete;

    // Neither is owned; null detaches.
    void SetOwner(PropertyGridOwner* owner) { owner_ = owner; }
    void SetView(PropertyGridView* view) { view_ = view; }

    int32_t AddSection(const std::string& title);

    // Each returns the new item's ID, or -1 when the section does not exist or
    // already holds an item of that name; the grid is then unchanged.
    int32_t AddBoolItem(int32_t section, const std::string& name, bool value, bool editable = true,
                        bool undefined = false);
    int32_t AddIntegerItem(int32_t section, const std::string& name, int64_t value,
                           const std::string& format = "", bool editable = true,
                           bool undefined = false);
    int32_t AddDoubleItem(int32_t section, const std::string& name, double value,
                          const std::string& format = "", bool editable = true,
                          bool undefined = false);
    int32_t AddStringItem(int32_t section, const std::string& name, const std::string& value,
                          bool editable = true, bool undefined = false);
    int32_t AddTextItem(int32_t section, const std::string& name, const std::string& value,
                        bool editable = true, bool undefined = false);
    int32_t AddComboItem(int32_t section, const std::string& name,
                         const std::vector<std::string>& options, int32_t selected,
                         bool editable = true, bool undefined = false);
    // `filter`: "Description (*.ext)|*.ext||", as many pairs as wanted.
    int32_t AddFileItem(int32_t section, const std::string& name, const std::string& path,
                        const std::string& filter, bool editable = true, bool undefined = false);
    int32_t AddFolderItem(int32_t section, const std::string& name, const std::string& path,
                          const std::string& title, bool editable = true, bool undefined = false);
    int32_t AddDateItem(int32_t section, const std::string& name, const GridDateTime& value,
                        bool editable = true, bool undefined = false);
    int32_t AddDateTimeItem(int32_t section, const std::string& name, const GridDateTime& value,
                            bool editable = true, bool undefined = false);
    int32_t AddColorItem(int32_t section, const std::string& name, const GridColor& value,
                         bool editable = true, bool undefined = false);
    int32_t AddFontItem(int32_t section, const std::string& name, const GridFont& value,
                        bool editable = true, bool undefined = false);
    int32_t AddCustomItem(int32_t section, const std::string& name,
                          PropertyGridItemManager& manager, bool editable = true,
                          bool undefined = false);

    // Setters fail (false) for an unknown item or one of another kind; on
    // success they clear `undefined` and repaint. The 32-bit integer forms
    // serve integer items and set a combo's selected index: the signed form
    // sign-extends, the unsigned one zero-extends. The text form serves text,
    // multi-line text, file and folder items.
    bool SetItemValue(int32_t item, bool value);
    bool SetItemValue(int32_t item, int32_t value);
    bool SetItemValueUnsigned(int32_t item, uint32_t value);
    bool SetItemValue(int32_t item, double value);
    bool SetItemValue(int32_t item, const std::string& value);

    // Getters fail (false) for an unknown or undefined item, or one of another
    // kind. The 32-bit integer form hands back the low 32 bits of an integer
    // item, or a combo's selected index; the 64-bit form the whole value. The
    // text form also serves a combo whose selection is one of its options.
    bool GetItemValue(int32_t item, bool& value) const;
    bool GetItemValue(int32_t item, int32_t& value) const;
    bool GetItemValue(int32_t item, int64_t& value) const;
    bool GetItemValue(int32_t item, double& value) const;
    bool GetItemValue(int32_t item, std::string& value) const;

    // Makes the item editable or read-only and repaints. False for an unknown
    // item.
    bool EnableItem(int32_t item, bool editable);
    // Focuses an existing item, tells the owner, scrolls it into view.
    bool SetFocusedItem(int32_t item);
    int32_t GetFocusedItem() const {
        return focusedRow_ && !focusedRow_->isSection ? focusedRow_->id : -1;
    }

    // What a view lists: every section followed by its items, in order.
    std::vector<PropertyGridRow> Rows() const;
    // The row that holds the focus, if any.
    std::optional<size_t> FocusedRowIndex() const;
    // Moves the focus to a row (mouse or keyboard). The owner is told when the
    // focused row changes: with the item's ID, or -1 for a section row.
    void FocusRow(size_t row);
    // Moves the focus `delta` rows down (up when negative), stopping at the
    // first and last rows; with no focus yet, from just outside the end it
    // moves away from.
    void MoveFocus(int delta);

    const PropertyGridItem* FindItem(int32_t item) const;
    const PropertyGridSection* FindSection(int32_t section) const;
    // The value as the grid shows it; empty for an undefined item.
    std::string DisplayText(int32_t item) const;

    // In-place editing (text, integer and real items). Begin answers the text
    // the edit box starts with, or nothing when the item is not editable or
    // not edited in place. End applies the edited text by the item's kind and
    // tells the owner; an unchanged text changes nothing (a real shown with
    // fewer digits than it holds keeps all of them). Cancel (Escape) ends the
    // edit leaving the value as it was.
    std::optional<std::string> BeginInPlaceEdit(int32_t item);
    void EndInPlaceEdit(const std::string& text);
    void CancelInPlaceEdit();
    int32_t EditedItem() const { return editedItem_; }

    // Ends of the other editors. Each stores the result, clears `undefined`,
    // repaints and tells the owner the item changed; each fails (false) for an
    // unknown or read-only item or one of another kind. A choice index picks
    // a combo option; for a bool item index 0 is true and 1 false.
    bool EndChoiceEdit(int32_t item, int32_t index);
    bool EndTextEdit(int32_t item, const std::string& value);
    bool EndDateEdit(int32_t item, const GridDateTime& value);
    bool EndColorEdit(int32_t item, const GridColor& value);
    bool EndFontEdit(int32_t item, const GridFont& value);
    bool EndCustomEdit(int32_t item);

    // Whether a value click on the item may open its editor.
    bool IsEditable(int32_t item) const;

    // What a view shows about an item besides its value. Each fails (false)
    // for an unknown item and repaints otherwise.
    bool SetItemHelp(int32_t item, const std::string& hint, const std::string& description);
    bool SetItemDiffersFromDefault(int32_t item, bool differs);
    // Marks the one item whose value failed the owner's check; -1 clears the
    // mark.
    void SetInvalidItem(int32_t item);
    // The value as its cell shows it: the display text, of a multi-line value
    // its first line followed by " ..." when more lines follow.
    std::string CellText(int32_t item) const;
    // The row's tooltip: the name, the whole value, the hint and the
    // description, one per line; empty for an unknown item.
    std::string ToolTipText(int32_t item) const;
    // Empties a file or folder item and tells the owner it changed. False
    // for another kind, a read-only item or one that holds no path.
    bool ClearItem(int32_t item);

    // Lists only the items whose name contains `text`, whatever the case,
    // under the sections that hold one; empty lists everything. A focused
    // row that is filtered out keeps the focus but shows no row.
    void SetFilter(const std::string& text);
    const std::string& Filter() const { return filter_; }

    // The folder a file or folder chooser opens on when the item holds no
    // path. Empty means the chooser's own choice.
    void SetDefaultFolder(const std::string& folder) { defaultFolder_ = folder; }
    // Where the chooser of a file or folder item starts: the folder of the
    // file it holds, the folder it holds, or the default folder.
    std::string ChooserFolder(int32_t item) const;

  private:
    PropertyGridItem* Find(int32_t item);
    PropertyGridItem* FindEditable(int32_t item, GridItemKind kind);
    int32_t Add(int32_t section, PropertyGridItem item);
    void Changed(PropertyGridItem& item);
    void Notify(int32_t message, int32_t item);
    void Repaint();
    void ScrollTo(size_t row);
    bool Shown(const PropertyGridItem& item) const;

    std::vector<PropertyGridSection> sections_;
    // Item ID -> (section position, item position).
    std::map<int32_t, std::pair<size_t, size_t>> itemIndex_;
    int32_t nextSectionId_ = 0;
    int32_t nextItemId_ = 0;
    std::optional<PropertyGridRow> focusedRow_;
    int32_t editedItem_ = -1;
    std::string editStartText_;
    std::string defaultFolder_;
    std::string filter_;
    PropertyGridOwner* owner_ = nullptr;
    PropertyGridView* view_ = nullptr;
};
