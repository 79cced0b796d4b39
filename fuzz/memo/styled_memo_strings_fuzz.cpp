// Loads outside bytes as a text file the way the memo's views do (8-bit, or UTF-16 behind an
// FF FE or FE FF signature) and checks what the memo promises afterwards: a sound store, a
// layout for its window, a text that saves, loads and saves again to the same bytes, and a
// painting that draws each shown line once, every run inside its line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "memo/byte_stream.h"
#include "memo/styled_memo.h"
#include "memo/styled_memo_strings.h"
#include "tests/support/fake_draw_surface.h"
#include "tests/support/null_memo_window.h"

namespace {

using namespace vestrel;

// Every glyph 7 pixels, a blank 4, bold one more.
class FixedMeasure : public TFontMeasure {
 public:
  void SelectFont(uint8_t extStyle) override { bold_ = extStyle & 1; }
  TFontMetrics Metrics() override { return {14, 11, 3, 2, 7, 8}; }
  bool TextExtent(const unsigned char* text, int32_t len, int32_t& width) override {
    int32_t w = 0;
    for (int32_t i = 0; i < len; ++i) w += (text[i] == ' ' ? 4 : 7) + (bold_ ? 1 : 0);
    width = w;
    return true;
  }

 private:
  bool bold_ = false;
};

class Window : public testing::NullMemoWindow {
 public:
  Window() : NullMemoWindow(measure_, 120, 80) {}

 private:
  FixedMeasure measure_;
};

// The first byte chooses the memo's options: bit 0 static format, 1 trimming, 2 a NUL
// replacement, 3 the Cyrillic code page, 4 word wrap off, 5 the line break taken from the text.
void Configure(TStyledMemo& m, uint8_t bits) {
  m.setStaticFormat(bits & 1);
  TStyledMemoOptions o = m.Options();
  if (bits & 2) o |= smoDiscardTrailingSpaces;
  if (bits & 32) o |= smoAutoLineBreak;
  m.setOptions(o);
  m.setNullReplacement(bits & 4 ? '.' : 0);
  TMemoFont f = m.Font();
  f.Charset = bits & 8 ? 204 : 1;
  m.setFont(f);
  m.setWordWrap(!(bits & 16));
}

std::vector<unsigned char> Saved(TStyledMemo& m) {
  TMemoryStream s;
  m.SaveToStream(s);
  return s.Data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t bits = data[0];
  Window window;
  TStyledMemo memo;
  memo.setUpdateMode(umImmediate);  // laid out whole on load, as the checks below expect
  memo.CreateHandle(window);
  Configure(memo, bits);
  TMemoryStream file(std::vector<unsigned char>(data + 1, data + size));
  memo.Lines().LoadFromStreamAuto(file);
  memo.CheckIntegrity();  // throws, and so fails, on a broken store

  // Painted at the top and with the last line at the top.
  testing::FakeDrawSurface dc;
  for (const int64_t line : {int64_t{0}, int64_t{memo.getTotalLineCount()} - 1}) {
    memo.SetTopLeft(static_cast<int32_t>(std::min<int64_t>(line * memo.getLineHeight(), INT32_MAX)), 0, 0);
    dc.ops.clear();
    dc.lines = 0;
    memo.Paint(dc, {0, 0, window.ClientWidth(), window.ClientHeight()});
    for (const auto& op : dc.ops)
      if (op.kind == testing::FakeDrawSurface::Op::Text && op.line < 0) std::abort();
    if (dc.lines > memo.VisibleLines()) std::abort();
  }

  // Saved, loaded and saved again: the same bytes.
  const std::vector<unsigned char> once = Saved(memo);
  TStyledMemo again;
  again.setUpdateMode(umImmediate);
  again.CreateHandle(window);
  Configure(again, bits);
  TMemoryStream s(once);
  again.LoadFromStream(s);
  again.CheckIntegrity();
  if (Saved(again) != once) std::abort();

  // Through UTF-16 and back in the same code page: the same text.
  TMemoryStream wide;
  memo.Lines().SaveToStreamW(wide);
  wide.SetPosition(0);
  TStyledMemo back;
  Configure(back, bits);
  back.Lines().LoadFromStreamW(wide);
  if (back.GetTextContent() != memo.GetTextContent()) std::abort();
  return 0;
}
