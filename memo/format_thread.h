#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "memo/memo_window.h"
#include "platform/auto_reset_event.h"

namespace vestrel {

// Paces a memo's background formatting: it waits for a signal and then asks the memo's window
// for one slice (MemoWindow::PostFormatRequest), which the window's thread runs. It never
// touches the text and never waits for the window's thread, so letting it go is a signal and a
// join. At most one request is on its way: signals that arrive meanwhile collapse into the
// slice that request brings, which signals again while work remains.
class TpmFormatThread {
 public:
  explicit TpmFormatThread(MemoWindow& window);
  ~TpmFormatThread() { PutToEnd(); }
  TpmFormatThread(const TpmFormatThread&) = delete;
  TpmFormatThread& operator=(const TpmFormatThread&) = delete;

  // There is formatting work.
  void Signal() { event_.Set(); }
  // The window's thread took this thread's request (before running the slice): the next
  // signal may post another.
  void RequestTaken() { pending_.store(false); }
  // Tells a request of this thread from a stale one; unique in the process.
  uintptr_t Token() const { return token_; }
  // Ends the thread and waits for it; afterwards no request comes from it.
  void PutToEnd();

 private:
  void Execute();

  MemoWindow* const window_;
  const uintptr_t token_;
  AutoResetEvent event_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> pending_{false};
  std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace vestrel
