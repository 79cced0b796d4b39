#pragma once
// The real program started by a test in a directory of its own, with a sound card made of
// files: ALSA's default device captures from a raw file and plays into `dir`/out.raw.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "support/child_process.h"

namespace vestrel::test {

// Starts build/app/vestrel in `dir` with "/F VESTREL.INI /C capture.txt", capturing from `input`,
// with its own exchange channels (`prefix`) and XDG directories; `env` (e.g.
// "QT_QPA_PLATFORM=offscreen") comes first in its environment.
std::unique_ptr<ChildProcess> StartFileSoundProgram(const std::filesystem::path& dir,
                                                    const std::filesystem::path& input,
                                                    const std::string& prefix, const std::string& env = "");

// How far process `pid` has read the file `path` (the offset of its first descriptor open on
// it), bytes; -1 while it has none open.
int64_t ReadOffset(pid_t pid, const std::filesystem::path& path);

}  // namespace vestrel::test
