#include "platform/ini_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <iterator>

#include "support/test_dir.h"

namespace vestrel {
namespace {

namespace fs = std::filesystem;

using test::ReadFile;
using test::WriteFile;

// One file per row: what it holds, one key read from it, then one key written and the whole
// file as it is saved afterwards.
struct Row {
  const char* what;
  std::string file;
  const char* section;
  const char* key;
  std::optional<std::string> read;
  const char* writeSection;
  const char* writeKey;
  std::string writeValue;
  std::string saved;
};

TEST(IniFile, ReadAndWriteTable) {
  const std::string big(100000, 'x');
  const Row rows[] = {
      {"the first section and the first key of a name win",
       "[A]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\nj=4\r\n", "a", "K", "1", "A", "j", "5",
       "[A]\r\nk=1\r\nk=2\r\nj=\"5\"\r\n[a]\r\nk=3\r\nj=4\r\n"},
      {"case of sections and keys", "[SeCtIoN]\r\nKeY=v\r\n", "section", "key", "v", "SECTION", "KEY", "w",
       "[SeCtIoN]\r\nKeY=\"w\"\r\n"},
      {"one pair of quotes dropped", "[S]\r\nq=\"\"two\"\"\r\n", "S", "q", "\"two\"", "S", "q", "\"two\"",
       "[S]\r\nq=\"\"two\"\"\r\n"},
      {"a lone quote stays", "[S]\r\nq=\"open\r\n", "S", "q", "\"open", "S", "r", "", "[S]\r\nq=\"open\r\nr=\"\"\r\n"},
      {"blanks around names and values", "[ S ]\r\n \t k \t= \t v w \t\r\n", "S", "k", "v w", "S", "k", "x",
       "[ S ]\r\n \t k \t=\"x\"\r\n"},
      {"quoted blanks are kept", "[S]\r\nk=\"  v  \"\r\n", "S", "k", "  v  ", "S", "k", "  v  ",
       "[S]\r\nk=\"  v  \"\r\n"},
      {"unknown lines kept byte for byte, update in place",
       "; comment\r\n\r\njunk without equals\r\n[S]\r\n;k=commented\r\nk=1\r\n  # odd = line\r\n",
       "S", "k", "1", "S", "k", "2",
       "; comment\r\n\r\njunk without equals\r\n[S]\r\n;k=commented\r\nk=\"2\"\r\n  # odd = line\r\n"},
      {"a new key goes after the section's last line, before blank lines",
       "[S]\r\nA=1\r\n\r\n[T]\r\nX=1\r\n", "T", "X", "1", "S", "B", "2",
       "[S]\r\nA=1\r\nB=\"2\"\r\n\r\n[T]\r\nX=1\r\n"},
      {"a new section at the end", "[S]\r\nA=1\r\n", "T", "A", std::nullopt, "T", "A", "z",
       "[S]\r\nA=1\r\n[T]\r\nA=\"z\"\r\n"},
      {"8-bit bytes", "[S]\r\nk=\xE4\xF6\xFC\x80\xFF\r\n", "S", "k", "\xE4\xF6\xFC\x80\xFF", "S", "k",
       "\xC0\xFF\x01", "[S]\r\nk=\"\xC0\xFF\x01\"\r\n"},
      {"LF-only input is written with CR LF", "[S]\nA=1\nB=2", "S", "B", "2", "S", "A", "3",
       "[S]\r\nA=\"3\"\r\nB=2\r\n"},
      {"a line break in a value becomes a blank", "", "S", "k", std::nullopt, "S", "k", "one\r\ntwo\nthree",
       "[S]\r\nk=\"one  two three\"\r\n"},
      {"a CR inside a line reads as the blank it is written as", "[S]\r\nk=\"  v\r\r x\r\r\r\n", "S", "k",
       "\"  v   x", "S", "k", "\"  v   x", "[S]\r\nk=\"\"  v   x\"\r\n"},
      {"keys before the first section belong to none", "k=top\r\n[S]\r\nk=in\r\n", "", "k", "top", "S", "k", "w",
       "k=top\r\n[S]\r\nk=\"w\"\r\n"},
      {"a 100000-character value", "", "S", "k", std::nullopt, "S", "k", big, "[S]\r\nk=\"" + big + "\"\r\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    IniFile ini = IniFile::FromText(r.file);
    EXPECT_EQ(ini.Value(r.section, r.key), r.read);
    ini.WriteString(r.writeSection, r.writeKey, r.writeValue);
    EXPECT_EQ(ini.Text(), r.saved);
    // What was written reads back, as far as a value can hold it.
    if (r.writeValue.find_first_of("\r\n") == std::string::npos) {
      EXPECT_EQ(IniFile::FromText(ini.Text()).Value(r.writeSection, r.writeKey), r.writeValue);
    }
    // Reading what was saved and saving it again changes nothing.
    EXPECT_EQ(IniFile::FromText(ini.Text()).Text(), r.saved);
  }
}

TEST(IniFile, BareTextIsQuotedOnlyWhereReadingWouldChangeIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"brusk.ini", "k=brusk.ini"}, {"two words", "k=two words"},   {" lead", "k=\" lead\""},
      {"trail\t", "k=\"trail\t\""}, {"\"q\"", "k=\"\"q\"\""},        {"", "k="},
      {"\"", "k=\""},               {"a\"b\"", "k=a\"b\""},
  };
  for (const auto& [value, line] : cases) {
    IniFile ini;
    ini.WriteText("S", "k", value);
    EXPECT_EQ(ini.Text(), "[S]\r\n" + line + "\r\n") << value;
    EXPECT_EQ(IniFile::FromText(ini.Text()).Value("S", "k"), value);
  }
}

TEST(IniFile, NumbersIgnoreTheLocaleAndKeepTheirDefaultWhenTheyAreNone) {
  const std::pair<const char*, int32_t> ints[] = {
      {"42", 42},         {" -7x", -7},      {"+5", 5},     {"abc", -1},          {"", -1},
      {"99999999999", -1}, {"-2147483648", INT32_MIN}, {"2147483647", INT32_MAX}, {"2147483648", -1},
      {"- 3", -1},        {"\"12\"", 12},
  };
  for (const auto& [text, value] : ints) {
    const IniFile ini = IniFile::FromText(std::string("[S]\r\nk=") + text + "\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "k", -1), value) << text;
  }
  EXPECT_EQ(IniFile().ReadInteger("S", "k", 9), 9);

  const std::pair<const char*, std::optional<double>> reals[] = {
      {"11025.5", 11025.5}, {"11025,5", 11025.5}, {" +45.45 Bd", 45.45}, {"-1e3", -1000.0},
      {"x", std::nullopt},  {"", std::nullopt},   {"+-1", std::nullopt}, {"1e999", std::nullopt},
  };
  for (const auto& [text, value] : reals) EXPECT_EQ(ParseDouble(text), value) << text;
  EXPECT_EQ(FormatFixed(45.45, 4), "45.4500");
  EXPECT_EQ(FormatShortest(11025.0), "11025");
  EXPECT_EQ(FormatShortest(11025.5), "11025.5");
  IniFile ini;
  ini.WriteInteger("S", "n", -2147483640);
  EXPECT_EQ(ini.Text(), "[S]\r\nn=-2147483640\r\n");
}

TEST(IniFile, ReadSectionListsEachKeyOnce) {
  const IniFile ini = IniFile::FromText("[P]\r\nCOM1=/dev/a\r\n; x=1\r\ncom1=/dev/b\r\nCOM2 = \"/dev/c d\"\r\n");
  const auto keys = ini.ReadSection("p");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0], std::make_pair(std::string("COM1"), std::string("/dev/a")));
  EXPECT_EQ(keys[1], std::make_pair(std::string("COM2"), std::string("/dev/c d")));
}

TEST(IniFile, LoadAndSaveReplaceTheFileWhole) {
  test::TestDir dir;
  const fs::path path = dir.path() / "VESTREL.INI";
  IniFile ini;
  EXPECT_EQ(ini.Load(path.string()), IniFile::LoadResult::kMissing);
  std::string error;
  EXPECT_EQ(ini.Load(dir.path().string(), &error), IniFile::LoadResult::kFailed);  // a directory
  EXPECT_FALSE(error.empty());

  WriteFile(path, "; mine\n[S]\nA=1\n");
  ASSERT_EQ(ini.Load(path.string()), IniFile::LoadResult::kLoaded);
  ini.WriteInteger("S", "A", 2);
  EXPECT_EQ(ini.Save(path.string()), "");
  EXPECT_EQ(ReadFile(path), "; mine\r\n[S]\r\nA=2\r\n");
  // A link is followed: the file it names is replaced and the link stays.
  const fs::path link = dir.path() / "link.ini";
  fs::create_symlink(path, link);
  ini.WriteInteger("S", "A", 3);
  EXPECT_EQ(ini.Save(link.string()), "");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(path), "; mine\r\n[S]\r\nA=3\r\n");
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);

  // Nowhere to write: reported, nothing made.
  EXPECT_NE(ini.Save((dir.path() / "no such dir" / "x.ini").string()), "");
}

// A write that fails half-way (here the file-size limit) leaves the old file as it was and
// no temporary file behind.
TEST(IniFile, AFailedSaveLeavesTheOldFile) {
  test::TestDir dir;
  const fs::path path = dir.path() / "VESTREL.INI";
  WriteFile(path, "[S]\r\nA=1\r\n");
  IniFile ini = IniFile::FromText(ReadFile(path));
  ini.WriteString("S", "Big", std::string(20000, 'b'));
  signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string error = ini.Save(path.string());
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_NE(error.find(path.string()), std::string::npos) << error;
  EXPECT_EQ(ReadFile(path), "[S]\r\nA=1\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace vestrel
