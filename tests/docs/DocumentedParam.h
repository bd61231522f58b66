#pragma once

#include <set>
#include <string>

class Param_;

// How the reference pages write a parameter, derived from the parameter
// itself: the cells a page must show for it.
struct DocumentedParam {
    std::string key;
    std::string section;
    std::string type;
    std::string defaultValue;
    std::string range;
    std::string storedAs;
};

// `setSection` is how the page writes the section of the parameter's set
// ("`<camera>`"); `imageNames` are the images of the data format the set was
// built for, so that a choice among them reads as such.
DocumentedParam Document(Param_& param, const std::string& setSection,
                         const std::set<std::string>& imageNames);

// "integer", "real", "on/off", "choice" or "text".
std::string TypeWord(const Param_& param);
