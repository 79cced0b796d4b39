#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vestrel {

// One reply of rigctld's extended protocol ("+" commands): the command's echo line, then
// "Key: value" records or bare values, then "RPRT n".
struct RigctldReply {
  std::map<std::string, std::string> records;
  std::vector<std::string> bare;
  std::vector<std::string> lines;  // every line before the RPRT record, for the capability dump
  size_t bytes = 0;                // taken so far, line ends counted
  int code = 0;                    // the RPRT code; kBadCode when it was no number
  static constexpr int kBadCode = -1000000;
};

enum class ReplyStep {
  kMore,    // the reply goes on
  kDone,    // the RPRT record ended it
  kFailed,  // past the reply's bounds: garbage, and the link is to be dropped
};

// The capability dump, the longest reply, has a few hundred lines and some 10 kB; a reply
// past either bound is garbage, and held whole it could run to hundreds of MB.
inline constexpr size_t kMaxReplyLines = 5000;
inline constexpr size_t kMaxReplyBytes = 1 << 20;

// Adds one line (without its line end) as the daemon sent it.
ReplyStep AddReplyLine(RigctldReply& reply, std::string_view line);

// A whole decimal number with an optional sign and nothing else, within +-10^15.
std::optional<int64_t> ParseRigctldInteger(std::string_view s);
// A frequency: a whole decimal number of hertz, 1 Hz .. 100 GHz, without a sign.
std::optional<int64_t> ParseRigctldFrequency(std::string_view s);

}  // namespace vestrel
