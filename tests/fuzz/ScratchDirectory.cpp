#include "tests/fuzz/ScratchDirectory.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

std::string MakeDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string base =
        std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : (tmp ? tmp : "/tmp");
    std::string pattern = base + "/vavezaz-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        FuzzFailure("cannot make a scratch directory in " + base);
    }
    return pattern;
}

struct Scratch {
    std::string path = MakeDirectory();
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& ScratchDirectory() {
    static Scratch scratch;
    return scratch.path;
}

std::string WriteScratchFile(const std::string& name, const std::string& bytes) {
    const std::string path = ScratchDirectory() + "/" + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        FuzzFailure("cannot write " + path);
    }
    return path;
}

void FuzzFailure(const std::string& what) {
    std::fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
    std::abort();
}
