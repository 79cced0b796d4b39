// Bytes as a rigctld daemon might send them, split into lines, through the reply reader: a
// reply ends at its RPRT record or fails at its bounds, never holds more than they allow, and
// every number it lets through reads back as the text it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "io/rig/rigctld_reply.h"

namespace {

using namespace vestrel;

void Check(bool ok) {
  if (!ok) std::abort();
}

// The canonical text of a number: no '+', no leading zeros, "-" only before a non-zero value.
std::string Canonical(std::string_view s) {
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  while (s.size() > 1 && s.front() == '0') s.remove_prefix(1);
  if (s == "0") negative = false;
  std::string out(negative ? 1 : 0, '-');
  out.append(s);
  return out;
}

void CheckNumber(std::string_view text) {
  if (const auto v = ParseRigctldInteger(text)) {
    Check(*v >= -1'000'000'000'000'000 && *v <= 1'000'000'000'000'000);
    Check(std::to_string(*v) == Canonical(text));
  }
  if (const auto f = ParseRigctldFrequency(text)) {
    Check(*f >= 1 && *f <= 100'000'000'000);
    Check(ParseRigctldInteger(text) == f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  RigctldReply reply;
  ReplyStep step = ReplyStep::kMore;
  size_t start = 0;
  std::string_view last;
  while (start <= input.size() && step == ReplyStep::kMore) {
    size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    last = input.substr(start, end - start);
    step = AddReplyLine(reply, last);
    CheckNumber(last);
    start = end + 1;
  }
  Check(reply.lines.size() <= kMaxReplyLines);
  Check(reply.bytes <= kMaxReplyBytes + last.size() + 1);
  if (step == ReplyStep::kDone) {
    Check(last.starts_with("RPRT ") && !reply.lines.empty());
    const auto code = ParseRigctldInteger(last.substr(5));
    Check(reply.code == RigctldReply::kBadCode || (code && *code == reply.code));
    if (reply.code == 0) Check(Canonical(last.substr(5)) == "0");
  }
  for (const auto& [key, value] : reply.records) {
    Check(key.find(':') == std::string::npos);
    CheckNumber(value);
  }
  return 0;
}
