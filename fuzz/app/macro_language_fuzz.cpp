// Any macro text, QSO fields, named value and files through the macro language: nothing faults,
// the expansion ends, no escape is left, the text grows past the size bound only by what it
// held at the start, the inserting escapes stay within their bound, and a field counted up
// holds a digit and no blanks at its ends.
//
// Input: NUL-separated parts: the text to expand, macros 1..3, the call, the name, a named
// value, the contents of the files "a" and "b" and of the logger's ini. Every "/" and "\" is
// made "_", so that "~[f" reads only the files in the target's own directory.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/macro_language.h"
#include "tests/support/null_macro_host.h"

namespace vestrel {
namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "macro language invariant broken: %s\n", what);
  std::abort();
}

void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

// The checks on what the escapes hand their targets.
class Host final : public test::NullMacroHost {
 public:
  void SetRxFrequency(double hz) override { Check(hz > 350 && hz < 3950, "a tone inside the range"); }
  void SetTxFrequency(double hz) override { Check(hz > 350 && hz < 3950, "a tone inside the range"); }
  void SetQsoFieldText(QsoField f, const std::string& text) override {
    Check(!text.empty() && text.find_first_of("0123456789") != std::string::npos, "a counted field holds a digit");
    Check(text.front() != ' ' && text.back() != ' ', "a counted field has no blanks at its ends");
    NullMacroHost::SetQsoFieldText(f, text);
  }
  void ReplayLastAudio(int seconds) override { Check(seconds > 0, "seconds above 0"); }
  void SaveLastAudio(int seconds, bool) override { Check(seconds > 0, "seconds above 0"); }
};

// A directory of the target's own, removed at exit. It is the working directory only while an
// input runs: the fuzzer's own paths are relative to the directory it was started in.
struct WorkDir {
  WorkDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vestrel_macro_fuzz_XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) Fail("a working directory");
    path = tmpl;
  }
  ~WorkDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

// Inside the work directory for the scope.
struct InWorkDir {
  explicit InWorkDir(const WorkDir& dir) : back(std::filesystem::current_path()) {
    std::filesystem::current_path(dir.path);
  }
  ~InWorkDir() { std::filesystem::current_path(back); }
  std::filesystem::path back;
};

}  // namespace
}  // namespace vestrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vestrel;
  if (size > 8192) return 0;
  static const WorkDir dir;
  const InWorkDir inside(dir);
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\0') {
      parts.emplace_back();
      continue;
    }
    if (c == '/' || c == '\\') c = '_';
    parts.back().push_back(c);
  }
  parts.resize(10);
  std::ofstream("a", std::ios::binary | std::ios::trunc) << parts[7];
  std::ofstream("b", std::ios::binary | std::ios::trunc) << parts[8];
  std::ofstream("ini", std::ios::binary | std::ios::trunc) << parts[9];

  Host host;
  host.mode = 12;
  host.fields = {parts[4], parts[5], parts[6], parts[5]};
  TMacroTable table;
  for (int n = 1; n <= 3; ++n) table.Macro[size_t(n)] = parts[size_t(n)];
  TAppSettings settings;
  settings.ExternIniFile = "ini";
  settings.ExternIniSection = "QSO";
  test::StillClock clock;
  TMacroLanguage lang(host, table, settings, clock);
  lang.SetVal("v", parts[6]);

  std::string text = parts[0];
  const size_t before = text.size();
  lang.ExpandAll(text);
  Check(text.find("~[") == std::string::npos, "no escape left");
  Check(text.size() <= std::max(before, kMacroTextLimit), "the text within its bound");
  Check(lang.InsertsUsed() <= kMacroInsertLimit, "the inserting escapes within their bound");
  Check(host.queue.Pending() <= TxSymbolQueue::kMaxPending, "the queue within its bound");

  std::string field = parts[4];
  IncrementNumberText(field);
  Check(field.find_first_of("0123456789") != std::string::npos, "a counted text holds a digit");
  return 0;
}
