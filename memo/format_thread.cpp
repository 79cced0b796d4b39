#include "memo/format_thread.h"

namespace vestrel {
namespace {

uintptr_t NextToken() {
  static std::atomic<uintptr_t> last{0};
  return ++last;
}

}  // namespace

TpmFormatThread::TpmFormatThread(MemoWindow& window)
    : window_(&window), token_(NextToken()), thread_([this] { Execute(); }) {}

void TpmFormatThread::PutToEnd() {
  if (!thread_.joinable()) return;
  terminated_.store(true);
  event_.Set();
  thread_.join();
}

void TpmFormatThread::Execute() {
  for (;;) {
    event_.Wait();
    if (terminated_.load()) return;
    if (!pending_.exchange(true)) window_->PostFormatRequest(token_);
  }
}

}  // namespace vestrel
