#pragma once
#include <QString>

#include "memo/memo_clipboard.h"

namespace vestrel {

// The desktop's clipboard for a memo: the text as plain text, and a column block's marker byte
// under a MIME type of this program's own.
class QtMemoClipboard : public MemoClipboard {
 public:
  static const QString kBlockMimeType;  // "application/x-vestrel-column-block"

  bool HasText() override;
  std::u16string Text() override;
  TByteString BlockMarker() override;
  void SetText(const std::u16string& text, bool columnBlock) override;
};

}  // namespace vestrel
