#pragma once

#include <string>
#include <vector>

// The candidate a mistyped word most likely meant: the nearest by edit
// distance, if it is near enough to be a slip (a third of the word's letters
// at most, at least one). "" when none is.
std::string Nearest(const std::string& word, const std::vector<std::string>& candidates);

// "a, b, c": the candidates for a message.
std::string JoinNames(const std::vector<std::string>& names, const std::string& prefix = "");
