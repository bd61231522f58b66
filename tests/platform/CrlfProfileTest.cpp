// A settings file written by hand on Windows, with CR LF line ends, reads the
// same through either build's profile service: the project's own on Linux,
// the system's on Windows.

#include <gtest/gtest.h>

#include <string>

#include "platform/ProfileFile.h"

namespace {

const std::string kFile = std::string(VAVEZAZ_TEST_DATA) + "/crlf-settings.ini";

std::string Read(const char* section, const char* key) {
    return platform::GetPrivateProfileString(section, key, "<default>", kFile);
}

}  // namespace

TEST(CrlfProfile, ValuesEndAtTheCarriageReturn) {
    EXPECT_EQ("3D (XYZ)", Read("VZ-Sim 3D.1", "ImageFormat")) << "trimmed, quotes removed";
    EXPECT_EQ("Enabled", Read("vz-sim 3d.1", "CalibrationFilter")) << "names match blind to case";
    EXPECT_EQ("2", Read("Driver", "LogLevel")) << "the last line of a section";
}

TEST(CrlfProfile, WhatTheFileDoesNotHoldGivesTheDefault) {
    EXPECT_EQ("<default>", Read("VZ-Sim 3D.1", "LogLevel")) << "a key of another section";
    EXPECT_EQ("<default>", Read("Missing", "ImageFormat"));
    EXPECT_EQ("<default>", Read("VZ-Sim 3D.1",
                                "; Written by hand in a Windows editor: every line"
                                " ends in CR LF."));
}
