#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#ifndef _WIN32
// The superuser ignores file permissions; tests of them act as an ordinary
// user while this object lives.
class OrdinaryUser {
  public:
    OrdinaryUser() : user_(::geteuid()), group_(::getegid()) {
        if (user_ == 0) {
            EXPECT_EQ(0, ::setegid(kNobody));
            EXPECT_EQ(0, ::seteuid(kNobody));
        }
    }
    ~OrdinaryUser() {
        EXPECT_EQ(0, ::seteuid(user_));
        EXPECT_EQ(0, ::setegid(group_));
    }

    static constexpr uid_t kNobody = 65534;

  private:
    uid_t user_;
    gid_t group_;
};
#endif

// A fresh directory per test holding the one settings file under test.
class TempDir : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("vavezaz-ini-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(dir_);
    }

    const std::filesystem::path& Dir() const { return dir_; }
    std::string Path() const { return (dir_ / "VaveZAZ.ini").string(); }
    void Put(const std::string& text) const { std::ofstream(Path(), std::ios::binary) << text; }
    // The file's lines, each ended by "\n". Windows' profile functions end
    // the lines they write with "\r\n".
    std::string Content() const {
        std::ifstream file(Path(), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
#ifdef _WIN32
        std::string lines = text.str();
        for (size_t cr = lines.find("\r\n"); cr != std::string::npos; cr = lines.find("\r\n", cr)) {
            lines.erase(cr, 1);
        }
        return lines;
#else
        return text.str();
#endif
    }
    size_t FilesInDir() const {
        return std::distance(std::filesystem::directory_iterator(dir_),
                             std::filesystem::directory_iterator());
    }

  private:
    std::filesystem::path dir_;
};
