#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vestrel::test {

struct ToolResult {
  int exitCode = -1;  // -1: did not run or did not exit normally
  std::string out;    // standard output, bytes
  std::string err;    // standard error
};

// Runs a shell command line with standard input from inputPath ("" for /dev/null) and
// collects standard output and standard error.
ToolResult RunTool(const std::string& commandLine, const std::string& inputPath = "");

// The bytes of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Quotes one argument for the shell.
std::string ShellQuote(const std::string& arg);

// The path of a headless tool built beside the tests ("vestrel-decode"); "" when missing.
std::string BenchToolPath(const std::string& name);

// True when a program is on PATH.
bool HaveProgram(const std::string& name);

// A fresh file name in the test's temporary directory.
std::string TempPath(const std::string& name);

// Raw signed 16-bit little-endian samples to a file; false on failure.
bool WriteRawSamples(const std::string& path, const std::vector<int16_t>& samples);

}  // namespace vestrel::test
