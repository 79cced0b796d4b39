#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "memo/memo_window.h"
#include "memo/styled_memo.h"
#include "support/fake_draw_surface.h"

namespace vestrel::testing {

// A memo's window that records what the memo asks of it; it measures with the fake surface.
// Declare it before the memo it serves: the memo's format thread posts to it until the memo goes.
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

  // Format requests come from the memo's format thread: they queue here until the test, in the
  // part of the window's thread, hands them to the memo.
  void PostFormatRequest(uintptr_t token) override {
    {
      std::lock_guard lock(requestsMutex_);
      requests_.push_back(token);
    }
    requestsCv_.notify_all();
  }
  bool ApplicationTerminating() override { return terminating; }
  // Waits up to timeoutMs for a request to arrive; true when one waits.
  bool WaitForFormatRequest(int timeoutMs) {
    std::unique_lock lock(requestsMutex_);
    return requestsCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                [this] { return !requests_.empty(); });
  }
  // Takes the requests that have arrived, oldest first.
  std::vector<uintptr_t> TakeFormatRequests() {
    std::lock_guard lock(requestsMutex_);
    std::vector<uintptr_t> out(requests_.begin(), requests_.end());
    requests_.clear();
    return out;
  }
  // Hands the memo the requests that have arrived; returns how many.
  int DeliverFormatRequests(TStyledMemo& memo) {
    const std::vector<uintptr_t> tokens = TakeFormatRequests();
    for (uintptr_t t : tokens) {
      TMemoMessage m;
      m.Msg = SM_UPDATEBKG;
      m.WParam = t;
      memo.WndProc(m);
    }
    return static_cast<int>(tokens.size());
  }
  // Runs the slices the memo asks for until its formatting is complete; false when no request
  // came within timeoutMs while work remained.
  bool FormatInBackground(TStyledMemo& memo, int timeoutMs = 10000) {
    while (memo.getFormatCompleted() < 100) {
      if (!WaitForFormatRequest(timeoutMs)) return false;
      DeliverFormatRequests(memo);
    }
    return true;
  }

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
  bool terminating = false;

 private:
  int32_t width_, height_;
  std::mutex requestsMutex_;
  std::condition_variable requestsCv_;
  std::deque<uintptr_t> requests_;
};

}  // namespace vestrel::testing
