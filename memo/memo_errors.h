#pragma once
#include <stdexcept>
#include <string>

namespace vestrel {

// Misuse of the memo control is reported by exceptions with fixed texts.
class EStyledMemoError : public std::runtime_error {
 public:
  explicit EStyledMemoError(const std::string& msg) : std::runtime_error(msg) {}
};

// An index outside a list of the memo (paragraphs, display lines).
class ERangeError : public EStyledMemoError {
 public:
  ERangeError() : EStyledMemoError("List index out of bounds") {}
};

// A read or write of a memo stream failed.
class EStreamError : public EStyledMemoError {
 public:
  explicit EStreamError(const std::string& msg) : EStyledMemoError(msg) {}
};

// A text that should hold an integer does not.
class EConvertError : public EStyledMemoError {
 public:
  explicit EConvertError(const std::string& text) : EStyledMemoError("'" + text + "' is not a valid integer value") {}
};

inline constexpr const char* kTextTooLong = "Text too long";
inline constexpr const char* kInternalError = "Internal StyledMemo error";
inline constexpr const char* kNotAStyledMemo = "Internal error: component is not a TStyledMemo";

}  // namespace vestrel
