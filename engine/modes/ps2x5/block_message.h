#pragma once
#include <cstdint>
#include <string_view>

#include "engine/modes/ps2x5/block_capture_file.h"
#include "engine/modes/ps2x5/ps2x5_block.h"

namespace vestrel {

class EngineWindow;
class RxTextSink;
class TReedSolomon31;

// The offset of lo..hi (lo <= 0 <= hi) whose score(offset) is largest; 0 unless another is
// strictly larger, and the first of equals. The block receivers' clocks, alignments and
// re-timings judge their places so.
template <class Score>
int BestOffset(int lo, int hi, Score&& score) {
  int best = 0;
  auto top = score(0);
  for (int o = lo; o <= hi; ++o) {
    const auto s = score(o);
    if (s > top) {
      top = s;
      best = o;
    }
  }
  return best;
}

// The messages of a block-mode receiver (PS2X5, PS33X5): puts the text of the accepted blocks
// in order by their counters, marks each lost block with "_______" (counted as 31 wrong
// symbols), reports the symbol error rate of every message as "{ER=x.x%}" when it ends, and
// keeps each message in a file of its own (TBlockCaptureFile). A message is open while it
// holds symbols. GUI thread only.
class TBlockMessage {
 public:
  static constexpr int kNoCounter = 16;
  static constexpr std::string_view kLostMark = "_______";

  TBlockMessage(RxTextSink& sink, EngineWindow& window, const BlockCaptureSettings& capture)
      : sink_(sink), file_(capture, window) {}

  // The 31 symbols a receiver read as a block, the same in both modes: a block ending in idle
  // fill (four symbols 0) keeps the message open; the code corrects up to 8 symbols; a block
  // whose check fits is accepted and given out (true, with its content and corrected count);
  // nothing good for more than `lostAfter` bits (or symbols) ends the open message with a lost
  // block.
  bool TakeBlock(const BlockSymbols& received, TReedSolomon31& codec, int lostAfter, BlockContent& block,
                 int& corrected);
  // An accepted block: counter 0..15, corrected symbols 0..8, its text; an end block ends the
  // message after its text.
  void Output(const BlockContent& block, int corrected);
  // Ends an open message: with countLost one more lost block first; then the summary. The
  // counter is forgotten either way.
  void EndMessage(bool countLost);
  // One bit (PS2X5) or symbol (PS33X5) of the receiver's clock while a message is open.
  void CountBit() {
    if (symbols_ > 0) ++bitsSinceGood_;
  }
  void ClearBitsSinceGood() { bitsSinceGood_ = 0; }

  bool Open() const { return symbols_ > 0; }
  int BitsSinceGood() const { return bitsSinceGood_; }
  int LastCounter() const { return lastCounter_; }
  int Symbols() const { return symbols_; }
  int ErrorSymbols() const { return errors_; }
  bool Lost() const { return lost_; }
  const TBlockCaptureFile& File() const { return file_; }

 private:
  void Print(std::string_view text);
  void LoseBlocks(int count);
  void Start();
  void Close();
  void Summary();

  RxTextSink& sink_;
  TBlockCaptureFile file_;
  int lastCounter_ = kNoCounter;
  int symbols_ = 0;  // 0: no message open
  int errors_ = 0;
  int bitsSinceGood_ = 0;
  bool lost_ = false;
};

}  // namespace vestrel
