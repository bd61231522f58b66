#pragma once

#include <cstdint>
#include <string>

// The one reader of numbers written as text, for the parameter model (the
// settings file, the host's values) and the grid (what the user types): the
// atoi and atof rules in decimal notation, independent of the process's
// locale, so a value reads the same wherever it was written. Reentrant.

// The leading decimal digits of `text`, with white space before and an
// optional sign, as a 64-bit integer; 0 without digits. Saturates instead of
// overflowing.
int64_t ParseLeadingInteger(const std::string& text);

// The leading decimal number of `text` (white space, sign, digits, point,
// digits, exponent); 0 without digits, so "nan", "inf" and "0x10" read as 0.
// The point is '.'. A number too small for a double reads as 0; one too large
// reads as the largest finite double of its sign and sets `*tooLarge`.
double ParseLeadingReal(const std::string& text, bool* tooLarge = nullptr);
