#include "tests/docs/DocumentedParam.h"

#include <sstream>

#include "config/Param.h"
#include "config/ParamEnum.h"
#include "config/ParamString.h"

namespace {

std::string Code(const std::string& text) {
    return "`" + text + "`";
}

template <typename T>
std::string Number(T value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

template <typename T>
std::string NumberRange(const Param<T>& param) {
    return param.min < param.max ? Code(Number(param.min)) + " to " + Code(Number(param.max))
                                 : "any";
}

bool ChoosesAnImage(const ParamEnum& choice, const std::set<std::string>& imageNames) {
    for (const std::string& label : choice.labels) {
        if (imageNames.count(label) == 0) {
            return false;
        }
    }
    return !choice.labels.empty();
}

std::string ChoiceRange(const ParamEnum& choice) {
    std::string range;
    for (size_t i = 0; i < choice.labels.size(); ++i) {
        range += (i == 0 ? "" : ", ") + Code(choice.labels[i]) + " = " + Number(choice.values[i]);
    }
    return range;
}

void DescribeValue(Param_& param, const std::set<std::string>& imageNames,
                   DocumentedParam& documented) {
    if (auto* choice = dynamic_cast<ParamEnum*>(&param)) {
        const bool image = ChoosesAnImage(*choice, imageNames);
        documented.defaultValue = image ? "first image offered" : Code(choice->value);
        documented.range = image ? "images of the data format" : ChoiceRange(*choice);
        documented.storedAs = choice->storeByValue ? "label's number" : "label";
    } else if (auto* text = dynamic_cast<ParamString*>(&param)) {
        documented.defaultValue = text->value.empty() ? "empty" : Code(text->value);
        documented.range = "any text";
        documented.storedAs = "text";
    } else if (dynamic_cast<Param<bool>*>(&param) != nullptr) {
        documented.defaultValue = Code(param.ToString());
        documented.range = "`0`, `1`";
        documented.storedAs = "`0` or `1`";
    } else if (auto* integer = dynamic_cast<Param<int>*>(&param)) {
        documented.defaultValue = Code(param.ToString());
        documented.range = NumberRange(*integer);
        documented.storedAs = "number";
    } else if (auto* real = dynamic_cast<Param<double>*>(&param)) {
        documented.defaultValue = Code(param.ToString());
        documented.range = NumberRange(*real);
        documented.storedAs = "number";
    }
}

}  // namespace

std::string TypeWord(const Param_& param) {
    if (dynamic_cast<const ParamEnum*>(&param) != nullptr) {
        return "choice";
    }
    if (dynamic_cast<const ParamString*>(&param) != nullptr) {
        return "text";
    }
    if (dynamic_cast<const Param<bool>*>(&param) != nullptr) {
        return "on/off";
    }
    if (dynamic_cast<const Param<int>*>(&param) != nullptr) {
        return "integer";
    }
    if (dynamic_cast<const Param<double>*>(&param) != nullptr) {
        return "real";
    }
    return "unknown type";
}

DocumentedParam Document(Param_& param, const std::string& setSection,
                         const std::set<std::string>& imageNames) {
    DocumentedParam documented;
    documented.key = Code(param.name);
    documented.type = TypeWord(param);
    DescribeValue(param, imageNames, documented);
    if (!param.persistent) {
        documented.section = "—";
        documented.storedAs = "not stored";
    } else {
        documented.section = param.general ? Code("General") : setSection;
    }
    return documented;
}
