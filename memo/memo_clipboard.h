#pragma once
#include <string>

#include "memo/byte_string.h"

namespace vestrel {

// The system clipboard as a memo sees it. Text crosses it as Unicode; the memo turns it into
// its bytes through its font's code page. The Qt widget supplies the real one, tests a fake.
class MemoClipboard {
 public:
  virtual bool HasText() = 0;
  virtual std::u16string Text() = 0;
  // The bytes of the column-block marker format; empty when the clipboard lacks it.
  virtual TByteString BlockMarker() = 0;
  // Replaces what the clipboard holds by the text and, for a column block, the marker.
  virtual void SetText(const std::u16string& text, bool columnBlock) = 0;

 protected:
  ~MemoClipboard() = default;
};

// The marker byte of a column block.
inline constexpr unsigned char kColumnBlockMarker = 2;

}  // namespace vestrel
