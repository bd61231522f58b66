// The settings file's reader and writer on any file content and any section,
// key and value. Beyond not crashing: a value that can be written reads back
// as written, and the write changes no other key that was readable before.

#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/ProfileFile.h"
#include "tests/fuzz/ScratchDirectory.h"

namespace {

const char* const kBlanks = " \t\v\f";
const std::string kAbsent = "\x01(absent)";

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    return text;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// What a host editing the file by hand would write as a value: trimmed, one
// pair of matching quotes removed, cut to what a read returns.
std::string AsRead(const std::string& value) {
    std::string trimmed = Trim(value);
    if (trimmed.size() >= 2 && (trimmed.front() == '"' || trimmed.front() == '\'') &&
        trimmed.back() == trimmed.front()) {
        trimmed = trimmed.substr(1, trimmed.size() - 2);
    }
    return trimmed.substr(0, platform::kProfileValueSize - 1);
}

// A name the file's line format can hold as it is: no blanks at its ends,
// and a key that cannot be taken for a comment, a header or a value.
bool Representable(const std::string& section, const std::string& key) {
    return Trim(section) == section && Trim(key) == key && key.find('=') == std::string::npos &&
           (key.empty() || (key.front() != ';' && key.front() != '['));
}

// Section and key names that appear in the file, as a rough reader sees
// them; the real reader decides what they hold.
std::vector<std::pair<std::string, std::string>> Probes(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> probes;
    std::string section;
    size_t pos = 0;
    while (pos < text.size() && probes.size() < 16) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line.front() == '[' && line.rfind(']') != std::string::npos) {
            section = Trim(line.substr(1, line.rfind(']') - 1));
        } else if (!line.empty() && line.front() != ';') {
            probes.emplace_back(section, Trim(line.substr(0, line.find('='))));
        }
    }
    return probes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    const std::string value = input.ConsumeRandomLengthString(400);
    const std::string text = input.ConsumeRemainingBytesAsString();
    const std::string path = WriteScratchFile("settings.ini", text);

    const auto probes = Probes(text);
    std::vector<std::string> before;
    for (const auto& probe : probes) {
        before.push_back(
            platform::GetPrivateProfileString(probe.first, probe.second, kAbsent, path));
        if (before.back().size() >= platform::kProfileValueSize) {
            FuzzFailure("a read returned more than the value buffer holds");
        }
    }

    std::string reason;
    const bool written = platform::WritePrivateProfileString(section, key, value, path, &reason);
    const bool splitsLine = HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value);
    if (written == splitsLine) {
        FuzzFailure(written ? "a line break was written into the file"
                            : "a plain value was not written: " + reason);
    }
    // A name the line format cannot hold reads back as another name; what
    // becomes of it is not judged.
    if (!written || !Representable(section, key)) {
        return 0;
    }
    const std::string read = platform::GetPrivateProfileString(section, key, kAbsent, path);
    if (read != AsRead(value)) {
        FuzzFailure("the value written does not read back: [" + section + "] " + key);
    }
    for (size_t i = 0; i < probes.size(); ++i) {
        const auto& probe = probes[i];
        if (Lower(probe.first) == Lower(section) && Lower(probe.second) == Lower(key)) {
            continue;
        }
        if (platform::GetPrivateProfileString(probe.first, probe.second, kAbsent, path) !=
            before[i]) {
            FuzzFailure("writing [" + section + "] " + key + " changed [" + probe.first + "] " +
                        probe.second);
        }
    }
    return 0;
}
