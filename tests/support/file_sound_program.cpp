#include "support/file_sound_program.h"

#include <sstream>
#include <vector>

#include "support/alsa_test_config.h"
#include "support/tool_runner.h"

namespace vestrel::test {

namespace fs = std::filesystem;

std::unique_ptr<ChildProcess> StartFileSoundProgram(const fs::path& dir, const fs::path& input,
                                                    const std::string& prefix, const std::string& env) {
  const fs::path conf = AlsaTestConfig::WriteFilePcm(dir, input, dir / "out.raw");
  const std::string cmd =
      "cd " + ShellQuote(dir.string()) + " && exec env " + (env.empty() ? "" : env + " ") +
      "ALSA_CONFIG_PATH=" + ShellQuote(conf.string()) + " XDG_DATA_HOME=" + ShellQuote(dir.string()) +
      " XDG_CONFIG_HOME=" + ShellQuote(dir.string()) + " VESTREL_ZOZARIRI_PREFIX=" + prefix + " " +
      ShellQuote(VESTREL_BINARY_DIR "/app/vestrel") + " /F VESTREL.INI /C capture.txt";
  return std::make_unique<ChildProcess>(std::vector<std::string>{"sh", "-c", cmd});
}

int64_t ReadOffset(pid_t pid, const fs::path& path) {
  std::error_code ec;
  const std::string proc = "/proc/" + std::to_string(pid);
  for (const auto& fd : fs::directory_iterator(proc + "/fd", ec)) {
    if (fs::read_symlink(fd.path(), ec) != path) continue;
    std::istringstream info(ReadProcFile(proc + "/fdinfo/" + fd.path().filename().string()));
    std::string key;
    int64_t pos = -1;
    while (info >> key)
      if (key == "pos:" && info >> pos) return pos;
  }
  return -1;
}

}  // namespace vestrel::test
