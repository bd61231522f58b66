#pragma once

#include <windows.h>

#include <string>

#include "config/propertygrid/PropertyGridItem.h"

// The grid's modal editors, built in memory. Their OK and Cancel captions are
// those of the buttons 1 and 2 of the window that holds `owner` when it has
// them. Each returns true when the user confirmed, with the result in
// `value`. On the thread of the grid's window.

// A multi-line text with both scroll bars; Enter makes a new line.
bool EditMultiLineText(HWND owner, const std::string& title, std::string& value);
// A date and a time of day, under the labels "Date" and "Time".
bool EditDateTime(HWND owner, const std::string& title, GridDateTime& value);

// The system's form of a grid date and back; a date item ignores the time.
SYSTEMTIME ToSystemTime(const GridDateTime& value);
GridDateTime FromSystemTime(const SYSTEMTIME& time);
