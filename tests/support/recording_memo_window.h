#pragma once
#include <map>
#include <utility>
#include <vector>

#include "memo/memo_window.h"
#include "support/fake_draw_surface.h"

namespace vestrel::testing {

// A memo's window that records what the memo asks of it; it measures with the fake surface.
class RecordingMemoWindow : public MemoWindow {
 public:
  RecordingMemoWindow(int32_t width = 100, int32_t height = 60) : width_(width), height_(height) {}

  bool WindowReady() override { return ready; }
  int32_t ClientWidth() override { return width_; }
  int32_t ClientHeight() override { return height_; }
  void InvalidateBand(int32_t top, int32_t bottom) override { bands.emplace_back(top, bottom); }
  TFontMeasure& Canvas() override { return surface; }

  struct Scroll {
    int32_t dx, dy;
    TRect rect;
  };
  void ScrollWindow(int32_t dx, int32_t dy, const TRect& rect) override { scrolls.push_back({dx, dy, rect}); }
  void UpdateNow() override { ++updates; }
  struct Range {
    int32_t max = -1, page = -1, pos = -1;
  };
  void SetScrollRange(TScrollBarKind bar, int32_t max, int32_t page) override {
    ranges[bar].max = max;
    ranges[bar].page = page;
    ++rangeWrites;
  }
  void SetScrollPos(TScrollBarKind bar, int32_t pos) override { ranges[bar].pos = pos; }
  int32_t WheelScrollLines() override { return wheelLines; }
  bool Focused() override { return focused; }
  void CreateCaret(int32_t width, int32_t height) override {
    caretShown = true;
    caretSize = {width, height};
    ++caretsMade;
  }
  void DestroyCaret() override { caretShown = false; }
  void SetCaretPos(int32_t x, int32_t y) override {
    caretPos = {x, y};
    ++caretMoves;
  }
  void StartTimer(uint32_t id, uint32_t intervalMs) override { timers[id] = intervalMs; }
  void StopTimer(uint32_t id) override { timers.erase(id); }

  void Resize(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
  }

  bool ready = true;
  bool focused = false;
  int32_t wheelLines = 3;
  FakeDrawSurface surface;
  std::vector<std::pair<int32_t, int32_t>> bands;
  std::vector<Scroll> scrolls;
  int updates = 0;
  std::map<TScrollBarKind, Range> ranges;
  int rangeWrites = 0;
  bool caretShown = false;
  std::pair<int32_t, int32_t> caretSize{0, 0}, caretPos{0, 0};
  int caretsMade = 0, caretMoves = 0;
  std::map<uint32_t, uint32_t> timers;

 private:
  int32_t width_, height_;
};

}  // namespace vestrel::testing
