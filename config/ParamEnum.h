#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config/ParamString.h"

// A choice among labels, each with an integer value. `value` holds the
// current label.
class ParamEnum : public ParamString {
  public:
    struct Entry {
        std::string label;
        int32_t value;
    };

    ParamEnum(const std::string& category, const std::string& name, const std::string& label);
    // The first entry becomes the current label.
    ParamEnum(const std::string& category, const std::string& name, const std::string& label,
              const std::vector<Entry>& entries);

    // Ignores an empty label. The first label added becomes the current one.
    void AddValue(const std::string& label, int32_t number);
    // Empties the lists; the current label stays.
    void ClearValues();
    // Makes current the first label of value `number`; nothing changes when
    // no label has it.
    void SelectByValue(int32_t number);
    // The value of the first label equal to `label`; 0 when there is none.
    int32_t ValueOf(const std::string& label) const;
    // Throws std::out_of_range for a position past the end.
    std::pair<std::string, int32_t> LabelAt(size_t position) const;

    // With storeByValue the text form is the label's value, else the label.
    // A label read as text is taken unchecked; IsValid rejects one not listed.
    void FromString(const std::string& text, bool clamp) override;
    const std::string& ToString() override;
    bool IsValid() const override;
    bool IsDefault() const override { return value == DefaultLabel(); }
    void ResetToDefault() override { value = DefaultLabel(); }
    std::unique_ptr<Param_> Clone() const override;

    std::vector<std::string> labels;
    std::vector<int32_t> values;
    bool storeByValue = false;

  protected:
    ParamEnum(const ParamEnum&) = default;

  private:
    // The label the parameter was made with, or, when that is not offered,
    // the first label, which a choice built label by label starts on.
    std::string DefaultLabel() const;
};
