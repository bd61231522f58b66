#pragma once

#include <string>

// Host camera names: "<camera name>.<image suffix>".

// The text before the last '.', or the whole text when there is none.
std::string StripImageSuffix(const std::string& hostName);

// The text after the last '.'; throws when there is no '.'.
std::string GetImageSuffix(const std::string& hostName);

// Case-insensitive comparison of two names.
bool NamesEqual(const std::string& a, const std::string& b);

// The shape of a manual camera's host name: not empty, with exactly four dots
// (an IPv4 address of four parts, a dot and the image suffix).
bool HasIpCameraShape(const std::string& hostName);

// An address text that the system's IPv4 address rules accept.
bool IsIpv4Address(const std::string& address);
