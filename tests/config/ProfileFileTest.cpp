#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <optional>
#include <thread>

#include "platform/ProfileFile.h"
#include "tests/config/TempDir.h"

using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;

namespace {

struct stat Status(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(0, ::lstat(path.c_str(), &info)) << path;
    return info;
}

// Writes under a file-size limit, as a full disk refuses them.
bool SetWithSizeLimit(const std::function<bool()>& set) {
    rlimit saved;
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = set();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    return written;
}

}  // namespace

class ProfileFile : public TempDir {
  protected:
    std::string Get(const std::string& section, const std::string& key) const {
        return GetPrivateProfileString(section, key, "<default>", Path());
    }
    bool Set(const std::string& section, const std::string& key, const std::string& value) {
        return WritePrivateProfileString(section, key, value, Path());
    }
};

TEST_F(ProfileFile, ReadsTrimmedValuesWithoutRegardToCase) {
    Put("; comment=1\r\ntop=before any section\r\n  [ Camera.One ]  trailing\r\n"
        "  Size =  20  \r\nsize=21\rQuoted=\"a b \"\nSingle='x'\r\nMixed=\"x'\r\nNoValue\r\n"
        "Empty=\r\nEq=a=b\r\n[General]x]\r\nk=v\r\n[Broken\r\nlate=w\r\n[camera.one]\r\n"
        "Extra=second section is never searched");
    EXPECT_EQ("20", Get("camera.ONE", "SIZE"));
    EXPECT_EQ("a b ", Get("Camera.One", "Quoted"));
    EXPECT_EQ("x", Get("Camera.One", "Single"));
    EXPECT_EQ("\"x'", Get("Camera.One", "Mixed"));
    EXPECT_EQ("<default>", Get("Camera.One", "NoValue"));
    EXPECT_EQ("", Get("Camera.One", "Empty"));
    EXPECT_EQ("a=b", Get("Camera.One", "Eq"));
    EXPECT_EQ("<default>", Get("Camera.One", "comment"));
    EXPECT_EQ("<default>", Get("Camera.One", "top"));
    EXPECT_EQ("v", Get("General]x", "k"));
    EXPECT_EQ("w", Get("General]x", "late"));
    EXPECT_EQ("<default>", Get("Camera.One", "Extra"));
    EXPECT_EQ("<default>", Get("Missing", "Size"));
}

TEST_F(ProfileFile, CutsValuesTo255Characters) {
    Put("[A]\nlong=" + std::string(300, 'v') + "\n");
    EXPECT_EQ(std::string(255, 'v'), Get("A", "long"));
}

TEST_F(ProfileFile, MissingOrUnreadableFilesGiveTheDefault) {
    EXPECT_EQ("<default>", Get("A", "a"));
    std::filesystem::create_directory(Path());
    EXPECT_EQ("<default>", Get("A", "a"));
    EXPECT_FALSE(Set("A", "a", "1"));
}

TEST_F(ProfileFile, SurvivesBinaryAndHugeContent) {
    std::string junk("[A]\n");
    for (int i = 0; i < 4096; ++i) {
        junk += static_cast<char>(i * 37 % 256);
    }
    junk += "\n" + std::string(1 << 20, 'x') + "\n[A]\n[B]\nkey=ok\n[B]\nkey=dup\n[C";
    Put(junk);
    EXPECT_EQ("ok", Get("B", "key"));
    EXPECT_TRUE(Set("B", "key", "new"));
    junk.replace(junk.find("key=ok"), 6, "key=new");
    EXPECT_TRUE(junk == Content());
}

TEST_F(ProfileFile, WritingCreatesFileSectionsAndKeys) {
    EXPECT_TRUE(Set("General", "LogLevel", "2"));
    EXPECT_TRUE(Set("Cam", "BufferSize", "20"));
    EXPECT_TRUE(Set("general", "DebugViewOutput", "0"));
    EXPECT_EQ("[General]\nLogLevel=2\nDebugViewOutput=0\n[Cam]\nBufferSize=20\n", Content());
}

TEST_F(ProfileFile, WritingKeepsEverythingElseByteForByte) {
    Put("; settings\r\n[General]\r\n  LOGLEVEL = 1 \r\nOther=x\r\n\r\n; next\r\n[Cam]\r\nA=1");
    EXPECT_TRUE(Set("general", "loglevel", "3"));
    EXPECT_TRUE(Set("General", "New", "n"));
    EXPECT_TRUE(Set("Cam", "B", "2"));
    EXPECT_EQ(
        "; settings\r\n[General]\r\nLOGLEVEL=3\r\nOther=x\r\nNew=n\n\r\n; "
        "next\r\n[Cam]\r\nA=1\nB=2\n",
        Content());
    EXPECT_FALSE(Set("Cam", "B", "2\n[X]\nc=3"));
    EXPECT_FALSE(Set("Cam", "B\r", "2"));
    EXPECT_EQ("2", Get("Cam", "B"));
    EXPECT_EQ(1u, FilesInDir());
}

TEST_F(ProfileFile, AFailedWriteLeavesTheOldFile) {
    Put("[A]\na=1\n");
    std::string reason;
    EXPECT_FALSE(SetWithSizeLimit([&] {
        return WritePrivateProfileString("A", "a", std::string(200, 'x'), Path(), &reason);
    }));
    EXPECT_EQ("cannot write: File too large", reason);
    EXPECT_EQ("[A]\na=1\n", Content());
    EXPECT_EQ(1u, FilesInDir()) << "no temporary file is left behind";

    // Written in place (the file has a second link): the room is reserved
    // before the first byte changes.
    std::filesystem::create_hard_link(Path(), Dir() / "other.ini");
    EXPECT_FALSE(SetWithSizeLimit([&] { return Set("A", "a", std::string(200, 'x')); }));
    EXPECT_EQ("[A]\na=1\n", Content());
}

// Writes used to replace the file with a new one: the failures below were
// a link turned into a copy, links and owner lost, and a file in a directory
// the driver may not create files in not written at all.
TEST_F(ProfileFile, ASymbolicLinkIsWrittenThroughToItsTarget) {
    std::filesystem::create_directory(Dir() / "real");
    std::ofstream(Dir() / "real" / "settings.ini") << "[A]\na=1\n";
    std::filesystem::create_symlink("real/settings.ini", Dir() / "middle.ini");
    std::filesystem::create_symlink(Dir() / "middle.ini", Path());
    EXPECT_TRUE(Set("A", "a", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
    EXPECT_TRUE(std::filesystem::is_symlink(Dir() / "middle.ini"));
    EXPECT_EQ("[A]\na=2\n", Content());
    EXPECT_EQ(1u, std::distance(std::filesystem::directory_iterator(Dir() / "real"),
                                std::filesystem::directory_iterator()));

    std::filesystem::remove(Dir() / "real" / "settings.ini");
    EXPECT_TRUE(Set("B", "b", "1")) << "a link to a file not there yet creates the file";
    EXPECT_EQ("[B]\nb=1\n", Content());

    std::filesystem::remove(Dir() / "middle.ini");
    std::filesystem::create_symlink(Path(), Dir() / "middle.ini");
    std::string reason;
    EXPECT_FALSE(WritePrivateProfileString("A", "a", "3", Path(), &reason));
    EXPECT_EQ("cannot follow its symbolic link: Too many levels of symbolic links", reason);
}

TEST_F(ProfileFile, HardLinksOwnerAndModeStay) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs the superuser, to act as two different users";
    }
    Put("[A]\na=1\n");
    ASSERT_EQ(0, ::chown(Path().c_str(), OrdinaryUser::kNobody, OrdinaryUser::kNobody));
    ASSERT_EQ(0, ::chmod(Path().c_str(), 0640));
    EXPECT_TRUE(Set("A", "a", "2"));
    struct stat info = Status(Path());
    EXPECT_EQ(OrdinaryUser::kNobody, info.st_uid);
    EXPECT_EQ(OrdinaryUser::kNobody, info.st_gid);
    EXPECT_EQ(0640u, info.st_mode & 07777);

    const std::string other = (Dir() / "other.ini").string();
    ASSERT_EQ(0, ::link(Path().c_str(), other.c_str()));
    EXPECT_TRUE(Set("A", "a", "3"));
    EXPECT_EQ(Status(other).st_ino, Status(Path()).st_ino);
    EXPECT_EQ("[A]\na=3\n", Content());
    EXPECT_TRUE(Set("A", "a", "4444444444"));
    EXPECT_TRUE(Set("A", "a", "4"));
    EXPECT_EQ("[A]\na=4\n", Content());
    std::ifstream linked(other, std::ios::binary);
    EXPECT_EQ("[A]\na=4\n", std::string(std::istreambuf_iterator<char>(linked), {}))
        << "a shorter text leaves no tail of the longer one";
}

TEST_F(ProfileFile, AWritableFileIsWrittenWhereNoNewFileCanBeMade) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs the superuser, to act as two different users";
    }
    using std::filesystem::perms;
    Put("[A]\na=1\n");
    std::filesystem::permissions(
        Path(), perms::owner_read | perms::owner_write | perms::others_read | perms::others_write);
    const ino_t inode = Status(Path()).st_ino;

    // A directory the user may not create files in.
    std::filesystem::permissions(Dir(), perms::owner_all | perms::others_read | perms::others_exec);
    std::optional<OrdinaryUser> user(std::in_place);
    EXPECT_TRUE(Set("A", "a", "2"));
    user.reset();
    EXPECT_EQ("[A]\na=2\n", Content());

    // A directory the user may write in, beside a file of another owner
    // that a new file of the user's could not replace.
    std::filesystem::permissions(Dir(), perms::all);
    user.emplace();
    EXPECT_TRUE(Set("A", "a", "3"));
    user.reset();
    EXPECT_EQ("[A]\na=3\n", Content());
    EXPECT_EQ(inode, Status(Path()).st_ino);
    EXPECT_EQ(0u, Status(Path()).st_uid);
    EXPECT_EQ(1u, FilesInDir());
}

TEST_F(ProfileFile, AnUnwritableFileIsNotWrittenAndSaysWhy) {
    using std::filesystem::perms;
    Put("[A]\na=1\n");
    std::filesystem::permissions(Path(), perms::owner_read | perms::others_read);
    std::filesystem::permissions(Dir(), perms::all);
    std::string reason;
    {
        OrdinaryUser user;
        EXPECT_FALSE(WritePrivateProfileString("A", "a", "2", Path(), &reason));
    }
    EXPECT_EQ("may not write it: Permission denied", reason);
    EXPECT_EQ("[A]\na=1\n", Content());
    EXPECT_EQ(1u, FilesInDir());
}

TEST_F(ProfileFile, ConcurrentWritesLoseNoKey) {
    auto writer = [this](const std::string& key) {
        for (int i = 0; i < 50; ++i) {
            Set("S", key + std::to_string(i), "v");
        }
    };
    std::thread first(writer, "a");
    std::thread second(writer, "b");
    first.join();
    second.join();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ("v", Get("S", "a" + std::to_string(i)));
        EXPECT_EQ("v", Get("S", "b" + std::to_string(i)));
    }
}

// Some editors start the file with a UTF-8 byte-order mark. Read as part of
// the first line, it hid the first section's header: reads missed its keys
// and writes added the section a second time.
TEST_F(ProfileFile, AByteOrderMarkIsSkippedWhenReadingAndKeptWhenWriting) {
    const std::string mark = "\xEF\xBB\xBF";
    Put(mark + "[General]\r\nLogLevel=3\r\n[Cam]\r\nA=1\r\n");
    EXPECT_EQ("3", Get("General", "LogLevel"));
    EXPECT_TRUE(Set("General", "LogLevel", "2"));
    EXPECT_TRUE(Set("General", "DebugViewOutput", "0"));
    EXPECT_EQ(mark + "[General]\r\nLogLevel=2\r\nDebugViewOutput=0\n[Cam]\r\nA=1\r\n", Content());

    Put(mark + "LogLevel=4\n");
    EXPECT_EQ("<default>", Get("General", "LogLevel")) << "a key before any section is in none";
    Put(mark);
    EXPECT_TRUE(Set("A", "a", "1"));
    EXPECT_EQ(mark + "[A]\na=1\n", Content());
}

// The reader used to look at the path before opening it: a file swapped for a
// pipe in between was opened as a pipe, and an open of a pipe without a writer
// never returns.
TEST_F(ProfileFile, AFileSwappedForAPipeIsRefusedWithoutWaiting) {
    const std::string dir = std::filesystem::path(Path()).parent_path().string();
    const std::string regular = dir + "/regular.ini";
    const std::string pipe = dir + "/pipe";
    const std::string swap = dir + "/swap";
    std::ofstream(regular) << "[A]\nkey=1\n";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    ASSERT_EQ(0, ::symlink(pipe.c_str(), Path().c_str()));
    EXPECT_EQ("<default>", Get("A", "key"));
    EXPECT_FALSE(Set("A", "key", "2")) << "a pipe is neither read nor written";

    std::atomic<bool> done{false};
    std::thread swapper([&] {
        for (bool toPipe = false; !done; toPipe = !toPipe) {
            ::unlink(swap.c_str());
            if (::symlink(toPipe ? pipe.c_str() : regular.c_str(), swap.c_str()) == 0) {
                ::rename(swap.c_str(), Path().c_str());
            }
        }
    });
    constexpr int kReads = 3000;
    std::atomic<int> reads{0};
    std::atomic<int> wrongValues{0};
    std::thread reader([&] {
        for (int i = 0; i < kReads; ++i) {
            const std::string value = Get("A", "key");
            if (value != "1" && value != "<default>") {
                ++wrongValues;
            }
            ++reads;
        }
    });
    bool hung = false;
    int seen = -1;
    auto progress = std::chrono::steady_clock::now();
    while (reads < kReads) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (reads != seen) {
            seen = reads;
            progress = std::chrono::steady_clock::now();
        } else if (std::chrono::steady_clock::now() - progress > std::chrono::seconds(2)) {
            // A reader stuck in the open of the pipe is let go by a writer.
            hung = true;
            const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    done = true;
    swapper.join();
    reader.join();
    EXPECT_FALSE(hung) << "a read waited for a writer of the pipe";
    EXPECT_EQ(0, wrongValues.load());
}
