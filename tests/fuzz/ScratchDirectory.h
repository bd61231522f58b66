#pragma once

#include <string>

// A directory of the fuzzing process's own, made on first use in /dev/shm
// (or TMPDIR when there is no /dev/shm) and removed when the process ends:
// targets that parse files write each input there.
const std::string& ScratchDirectory();

// Writes `bytes` to `name` in the scratch directory, replacing it; returns
// the file's path.
std::string WriteScratchFile(const std::string& name, const std::string& bytes);

// Aborts the run with a message: a fuzz target's own finding that no
// sanitizer would report.
[[noreturn]] void FuzzFailure(const std::string& what);
