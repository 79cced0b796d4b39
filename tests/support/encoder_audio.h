#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace vestrel::test {

// The samples of a whole transmission of `text` from the encoder harness (the program's own
// transmit pump, raw 16-bit mono at 11025 samples/s), with any further options (such as
// "--tx-hz 1500"); empty when the harness is not built.
inline std::vector<int16_t> EncodeWithHarness(const std::string& mode, const std::string& text,
                                              const std::string& options = "") {
  const std::string tool = std::string(VESTREL_BENCH_DIR) + "/vestrel-encode";
  if (!std::filesystem::exists(tool)) return {};
  const std::string in =
      (std::filesystem::temp_directory_path() / ("vestrel_encode_in_" + std::to_string(getpid()))).string();
  if (std::FILE* f = std::fopen(in.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  std::vector<int16_t> out;
  if (std::FILE* p = popen((tool + " --mode " + mode + " " + options + " < '" + in + "'").c_str(), "r")) {
    int16_t buf[4096];
    for (size_t n; (n = std::fread(buf, 2, 4096, p)) > 0;) out.insert(out.end(), buf, buf + n);
    pclose(p);
  }
  std::remove(in.c_str());
  return out;
}

}  // namespace vestrel::test
