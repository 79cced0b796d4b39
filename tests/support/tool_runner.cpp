#include "support/tool_runner.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vestrel::test {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string ShellQuote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

std::string TempPath(const std::string& name) {
  static int counter = 0;
  return testing::TempDir() + "vestrel_" + std::to_string(getpid()) + "_" + std::to_string(++counter) + "_" +
         name;
}

ToolResult RunTool(const std::string& commandLine, const std::string& inputPath) {
  const std::string outPath = TempPath("out");
  const std::string errPath = TempPath("err");
  const std::string cmd = "( " + commandLine + " ) < " +
                          ShellQuote(inputPath.empty() ? "/dev/null" : inputPath) + " > " +
                          ShellQuote(outPath) + " 2> " + ShellQuote(errPath);
  const int status = std::system(cmd.c_str());
  ToolResult r;
  if (status != -1 && WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  r.out = ReadWholeFile(outPath);
  r.err = ReadWholeFile(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return r;
}

std::string BenchToolPath(const std::string& name) {
  const std::string path = std::string(VESTREL_BENCH_DIR) + "/" + name;
  return access(path.c_str(), X_OK) == 0 ? path : std::string();
}

bool HaveProgram(const std::string& name) {
  return std::system(("command -v " + ShellQuote(name) + " > /dev/null 2>&1").c_str()) == 0;
}

bool WriteRawSamples(const std::string& path, const std::vector<int16_t>& samples) {
  std::ofstream f(path, std::ios::binary);
  for (int16_t s : samples) {
    const auto u = static_cast<uint16_t>(s);
    const char b[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    f.write(b, 2);
  }
  return static_cast<bool>(f);
}

}  // namespace vestrel::test
