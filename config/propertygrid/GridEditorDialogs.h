#pragma once

#include <string>

#include "config/propertygrid/PropertyGridItem.h"

class wxWindow;

// The grid's modal editors built in code. Their OK and Cancel captions are
// those of the owner's buttons 1 and 2 when it has them. Each returns true
// when the user confirmed, with the result in `value`. Toolkit thread only.

// A multi-line text with both scroll bars; Enter makes a new line.
bool EditMultiLineText(wxWindow* owner, const std::string& title, std::string& value);
// A date and a time of day, under the labels "Date" and "Time".
bool EditDateTime(wxWindow* owner, const std::string& title, GridDateTime& value);
