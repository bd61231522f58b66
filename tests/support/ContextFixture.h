#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/DriverContext.h"
#include "tests/support/LogCapture.h"

// Gives each test a clean driver context: host output captured, a fresh
// system directory, and the log settings back at their start values after.
class ContextFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Reads the log file of the system directory; empty when there is none.
    std::string ReadLogFile() const;

    DriverContext* context_ = DriverContext::Instance();
    LogCapture capture_;
    std::filesystem::path systemDir_;
};
