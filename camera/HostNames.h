#pragma once

#include <string>

// Host camera names: "<camera name>.<image suffix>".

// The text before the last '.', or the whole text when there is none.
std::string StripImageSuffix(const std::string& hostName);

// The text after the last '.'; throws when there is no '.'.
std::string GetImageSuffix(const std::string& hostName);

// Case-insensitive comparison of two names.
bool NamesEqual(const std::string& a, const std::string& b);

// A host name that is four dotted parts of an IPv4 address and an image suffix.
bool IsIpCameraName(const std::string& hostName);
