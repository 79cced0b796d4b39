#include "engine/modes/psk/cw_ident.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/fake_engine_window.h"

namespace vestrel {
namespace {

std::vector<TxSymbol> Drain(TxSymbolQueue& q) {
  std::vector<TxSymbol> out;
  while (!q.Empty()) {
    out.push_back(q.Head());
    q.Pop();
  }
  return out;
}

TEST(SendMorseChar, QueuesElementsThenAGap) {
  test::FakeEngineWindow window;
  TxSymbolQueue queue(window);
  SendMorseChar(queue, 'C');  // -.-.
  EXPECT_EQ(Drain(queue), (std::vector<TxSymbol>{kTxCwDah, kTxCwDit, kTxCwDah, kTxCwDit, kTxCwGap}));
  SendMorseChar(queue, '#');  // seven dits, a full byte with its leading 1
  EXPECT_EQ(Drain(queue), (std::vector<TxSymbol>{-8, -8, -8, -8, -8, -8, -8, kTxCwGap}));
  // Every symbol is posted: the pump is told each time.
  EXPECT_EQ(window.PostCount(WM_PUMP_TX), 5 + 8);
}

// A space (no code) is a word space: two gaps.
TEST(SendMorseChar, CharacterWithoutCodeIsTwoGaps) {
  test::FakeEngineWindow window;
  TxSymbolQueue queue(window);
  SendMorseChar(queue, ' ');
  SendMorseChar(queue, '*');
  EXPECT_EQ(Drain(queue), (std::vector<TxSymbol>{kTxCwGap, kTxCwGap, kTxCwGap, kTxCwGap}));
}

}  // namespace
}  // namespace vestrel
