#pragma once

#include <windows.h>

#include <string>

// The settings are narrow texts in the ANSI code page, as the profile API
// stores them; the system's windows take UTF-16. Converted at the windows'
// edge, both ways, so that a path with spaces and accents round-trips.
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
// What a window (an edit box, a label) shows, as UTF-16.
std::wstring WindowText(HWND window);
