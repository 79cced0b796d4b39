#include "engine/modes/ps2x5/block_message.h"

#include <cmath>
#include <cstdio>

#include "engine/codes/reed_solomon31.h"
#include "engine/rx_text_sink.h"

namespace vestrel {

namespace {

// The non-negative residue of a modulo 8 (C++'s % keeps the sign of a).
int Mod8(int a) {
  return a & 7;
}

}  // namespace

void TBlockMessage::Print(std::string_view text) {
  sink_.PutRxString(text);
  file_.Write(text);
}

void TBlockMessage::LoseBlocks(int count) {
  for (int i = 0; i < count; ++i) {
    errors_ += kBlockSymbols;
    symbols_ += kBlockSymbols;
    lost_ = true;
    Print(kLostMark);
  }
}

void TBlockMessage::Start() {
  sink_.PutRxString("\r\n");
  file_.Open();
}

// A message still open when another starts has lost at least its end block.
void TBlockMessage::Close() {
  if (symbols_ == 0) return;
  LoseBlocks(1);
  Summary();
}

void TBlockMessage::Summary() {
  if (symbols_ > 0) {
    char text[48];
    std::snprintf(text, sizeof text, "{ER=%.1lf%%}", errors_ * 100.0 / symbols_);
    sink_.PutRxString(text);
    const int rate = static_cast<int>(std::floor(errors_ * 1000.0 / symbols_ + 0.5));
    file_.Close(lost_, rate);
  }
  symbols_ = 0;
  errors_ = 0;
  bitsSinceGood_ = 0;
  lost_ = false;
}

void TBlockMessage::EndMessage(bool countLost) {
  if (countLost && symbols_ > 0) LoseBlocks(1);
  Summary();
  lastCounter_ = kNoCounter;
}

bool TBlockMessage::TakeBlock(const BlockSymbols& received, TReedSolomon31& codec, int lostAfter,
                              BlockContent& block, int& corrected) {
  if (received[27] == 0 && received[28] == 0 && received[29] == 0 && received[30] == 0) bitsSinceGood_ = 0;
  BlockSymbols fixed{};
  corrected = codec.BlockDecode(received.data(), fixed.data());
  if (corrected <= codec.T()) {
    block = ReadBlock(fixed);
    if (block.kind == BlockContent::kNone) return false;
    bitsSinceGood_ = 0;
    Output(block, corrected);
    return true;
  }
  if (Open() && bitsSinceGood_ > lostAfter) EndMessage(true);
  return false;
}

void TBlockMessage::Output(const BlockContent& block, int corrected) {
  const int c = block.counter & 15;
  const int last = lastCounter_;
  if (c == kFirstBlockCounter) {
    Close();
    Start();
  } else if (c < 8) {
    if (last < kNoCounter) {
      const int gap = Mod8(c - last) == 0 ? 8 : Mod8(c - last);
      LoseBlocks(gap - 1);
    } else {
      // Joined a transmission late: blocks 8..15 and 0..c-1 went by.
      Start();
      LoseBlocks(8 + c);
    }
  } else if (last >= 8 && last < kNoCounter) {
    const int gap = Mod8(c - last);
    if (gap == 0) {
      // The same counter again: a new transmission whose first blocks went by.
      Close();
      Start();
      LoseBlocks(c & 7);
    } else {
      LoseBlocks(gap - 1);
    }
  } else {
    Close();
    Start();
    LoseBlocks(c & 7);
  }
  lastCounter_ = c;
  for (int i = 0; i < block.length; ++i) {
    sink_.PutRxChar(block.bytes[i]);
    file_.Write(std::string_view(reinterpret_cast<const char*>(&block.bytes[i]), 1));
  }
  errors_ += corrected;
  symbols_ += kBlockSymbols;
  if (block.kind == BlockContent::kEnd) EndMessage(false);
}

}  // namespace vestrel
