#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "config/propertygrid/CPropertyGrid.h"

class CameraParameters;
class CSheet1;
class Param_;

// What the page's window shows besides the grid: the name line (with the
// range) and the description line of the focused parameter, and whether it
// can be reset to its default.
class PageView {
  public:
    virtual ~PageView() = default;
    virtual void SetLabels(const std::string& name, const std::string& description) = 0;
    virtual void EnableReset(bool enable) = 0;
};

// The configuration page "General": shows the visible parameters of the two
// working copies in its grid, writes every edit into them at once, validates
// both after each edit and tells the sheet whether OK may be pressed. Bound to
// the dialog's thread; the working copies and the sheet are borrowed and
// outlive the page.
class CPropertyGeneral : public PropertyGridOwner {
  public:
    static constexpr const char* kCaption = "General";

    CPropertyGeneral(CameraParameters& cameraSet, CameraParameters& imageSet, CSheet1& sheet);
    CPropertyGeneral(const CPropertyGeneral&) = delete;
    CPropertyGeneral& operator=(const CPropertyGeneral&) = delete;

    // Not owned; null detaches.
    void SetView(PageView* view) { view_ = view; }

    // Fills the grid from both sets, restores the remembered focus and empties
    // both lines.
    void OnInitDialog();

    int32_t OnGridNotify(int32_t message, int32_t item) override;
    // Both handlers log what goes wrong and always return 0.
    int32_t OnFocusChanged(int32_t item);
    int32_t OnItemChanged(int32_t item);

    // Whether the focused item shows an editable parameter whose value is not
    // its default.
    bool CanResetFocused() const;
    // Gives the focused item's parameter its default value, as an edit to it
    // would; false when it cannot be reset.
    bool ResetFocused();

    CPropertyGrid& Grid() { return grid_; }
    const CPropertyGrid& Grid() const { return grid_; }
    std::string Caption() const { return kCaption; }
    const std::string& NameText() const { return nameText_; }
    const std::string& DescriptionText() const { return descriptionText_; }
    // The item that shows a parameter; -1 when none does.
    int32_t ItemOf(const std::string& name) const;

  private:
    void Populate(CameraParameters& set, const std::string& lastFocused);
    // The parameter in the camera copy, else in the image copy; throws when
    // neither holds it.
    Param_& FindParam(const std::string& name);
    bool HasParam(const std::string& name) const;
    void RememberFocus(const std::string& name);
    void SetLabels(const std::string& name, const std::string& description);
    // Reads an edited item into its parameter; false when the parameter
    // refused the value, which the item then shows again.
    bool TakeEdit(int32_t item);
    // Validates both copies and shows the outcome: OK, the status text, which
    // items are editable, which differ from their default, which failed.
    void ValidateBoth();
    // The parameter an item shows, or null.
    const Param_* FindShown(int32_t item) const;

    CameraParameters& cameraSet_;
    CameraParameters& imageSet_;
    CSheet1& sheet_;
    CPropertyGrid grid_;
    std::string nameText_ = "(Name)";
    std::string descriptionText_ = "(Description)";
    // Which item shows which parameter, both ways.
    std::map<int32_t, std::string> nameOfItem_;
    std::map<std::string, int32_t> itemOfName_;
    // One grid section per category (exact text).
    std::map<std::string, int32_t> sectionMap_;
    PageView* view_ = nullptr;
};
