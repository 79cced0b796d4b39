#include "io/rig/rigctld_reply.h"

namespace vestrel {

std::optional<int64_t> ParseRigctldInteger(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  constexpr int64_t kLimit = 1'000'000'000'000'000;
  int64_t v = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
    if (v > kLimit) return std::nullopt;  // checked per digit: no overflow on long strings
  }
  return negative ? -v : v;
}

std::optional<int64_t> ParseRigctldFrequency(std::string_view s) {
  if (s.empty() || s.front() == '-' || s.front() == '+') return std::nullopt;
  const auto v = ParseRigctldInteger(s);
  if (!v || *v < 1 || *v > 100'000'000'000) return std::nullopt;
  return v;
}

ReplyStep AddReplyLine(RigctldReply& reply, std::string_view line) {
  reply.bytes += line.size() + 1;
  if (reply.bytes > kMaxReplyBytes) return ReplyStep::kFailed;
  if (line.starts_with("RPRT ")) {
    // An extended reply opens with the command's echo line. A record before it is a stray
    // left by an earlier command (a daemon that answered twice); taking it for this reply
    // would pair every later command with the reply to the one before.
    if (reply.lines.empty()) return ReplyStep::kMore;
    const auto code = ParseRigctldInteger(line.substr(5));
    const bool ok = code && *code > RigctldReply::kBadCode && *code < -RigctldReply::kBadCode;
    reply.code = ok ? static_cast<int>(*code) : RigctldReply::kBadCode;
    return ReplyStep::kDone;
  }
  if (reply.lines.size() >= kMaxReplyLines) return ReplyStep::kFailed;
  reply.lines.emplace_back(line);
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) {
    reply.bare.emplace_back(line);
    return ReplyStep::kMore;
  }
  const size_t value = line.find_first_not_of(" \t", colon + 1);
  reply.records.emplace(std::string(line.substr(0, colon)),
                        value == std::string_view::npos ? std::string() : std::string(line.substr(value)));
  return ReplyStep::kMore;
}

}  // namespace vestrel
