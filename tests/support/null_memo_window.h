#pragma once
#include <atomic>

#include "memo/memo_window.h"

namespace vestrel::testing {

// A window of a fixed size that measures with the given canvas and shows nothing: no scroll
// bars, caret or timer. For memos that are only laid out (benchmarks, fuzz targets). A format
// request only leaves its token, for the caller to hand on.
class NullMemoWindow : public MemoWindow {
 public:
  NullMemoWindow(TFontMeasure& canvas, int32_t width, int32_t height)
      : canvas_(canvas), width_(width), height_(height) {}
  bool WindowReady() override { return true; }
  int32_t ClientWidth() override { return width_; }
  int32_t ClientHeight() override { return height_; }
  void InvalidateBand(int32_t, int32_t) override {}
  TFontMeasure& Canvas() override { return canvas_; }
  void ScrollWindow(int32_t, int32_t, const TRect&) override {}
  void UpdateNow() override {}
  void SetScrollRange(TScrollBarKind, int32_t, int32_t) override {}
  void SetScrollPos(TScrollBarKind, int32_t) override {}
  int32_t WheelScrollLines() override { return 3; }
  bool Focused() override { return false; }
  void CreateCaret(int32_t, int32_t) override {}
  void DestroyCaret() override {}
  void SetCaretPos(int32_t, int32_t) override {}
  void StartTimer(uint32_t, uint32_t) override {}
  void StopTimer(uint32_t) override {}
  void PostFormatRequest(uintptr_t token) override { lastRequest.store(token); }
  bool ApplicationTerminating() override { return false; }

  std::atomic<uintptr_t> lastRequest{0};  // 0: none since it was taken

 private:
  TFontMeasure& canvas_;
  int32_t width_, height_;
};

}  // namespace vestrel::testing
