#include "config/ParamEnum.h"

#include <algorithm>

ParamEnum::ParamEnum(const std::string& category, const std::string& name, const std::string& label)
    : ParamString(category, name, label) {}

ParamEnum::ParamEnum(const std::string& category, const std::string& name, const std::string& label,
                     const std::vector<Entry>& entries)
    : ParamString(category, name, label) {
    for (const Entry& entry : entries) {
        AddValue(entry.label, entry.value);
    }
}

void ParamEnum::AddValue(const std::string& label, int32_t number) {
    if (label.empty()) {
        return;
    }
    labels.push_back(label);
    values.push_back(number);
    if (labels.size() == 1) {
        value = label;
    }
}

void ParamEnum::ClearValues() {
    labels.clear();
    values.clear();
}

void ParamEnum::SelectByValue(int32_t number) {
    const auto found = std::find(values.begin(), values.end(), number);
    if (found != values.end()) {
        value = labels[found - values.begin()];
    }
}

int32_t ParamEnum::ValueOf(const std::string& label) const {
    const auto found = std::find(labels.begin(), labels.end(), label);
    return found == labels.end() || label.empty() ? 0 : values[found - labels.begin()];
}

std::string ParamEnum::DefaultLabel() const {
    const bool offered = std::find(labels.begin(), labels.end(), defaultValue) != labels.end();
    return offered || labels.empty() ? defaultValue : labels.front();
}

std::pair<std::string, int32_t> ParamEnum::LabelAt(size_t position) const {
    return {labels.at(position), values.at(position)};
}

void ParamEnum::FromString(const std::string& text, bool clamp) {
    if (storeByValue) {
        SelectByValue(ParseInteger(text));
    } else {
        value = text;
    }
    if (clamp) {
        Clamp();
    }
}

const std::string& ParamEnum::ToString() {
    text = storeByValue ? std::to_string(ValueOf(value)) : value;
    return text;
}

bool ParamEnum::IsValid() const {
    return std::find(labels.begin(), labels.end(), value) != labels.end();
}

std::unique_ptr<Param_> ParamEnum::Clone() const {
    return std::unique_ptr<Param_>(new ParamEnum(*this));
}
