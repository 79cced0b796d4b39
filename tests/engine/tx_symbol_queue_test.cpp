#include "engine/tx_symbol_queue.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/fake_engine_window.h"

namespace vestrel {
namespace {

TEST(TxSymbolQueue, RefusesTheSymbolAfter65535Pending) {
  test::FakeEngineWindow window;
  auto queue = std::make_unique<TxSymbolQueue>(window);
  for (int i = 0; i < 65535; ++i) ASSERT_TRUE(queue->QueueTxSymbol(i & 0xFF)) << i;
  EXPECT_FALSE(queue->PostTxSymbol(-3));
  EXPECT_FALSE(queue->QueueTxSymbol(-3));
  EXPECT_EQ(queue->Pending(), 65535u);
  EXPECT_EQ(window.PostCount(WM_PUMP_TX), 0);  // a refused symbol posts nothing
  queue->Pop();
  EXPECT_TRUE(queue->PostTxSymbol(-3));
  EXPECT_EQ(window.PostCount(WM_PUMP_TX), 1);
}

TEST(TxSymbolQueue, KeepsOrderAcrossTheWrap) {
  test::FakeEngineWindow window;
  auto queue = std::make_unique<TxSymbolQueue>(window);
  // Move the indexes near the end of the ring, then queue across it.
  for (int i = 0; i < 65530; ++i) {
    queue->QueueTxSymbol(0);
    queue->Pop();
  }
  for (int i = -5; i < 10; ++i) queue->PostTxSymbol(i);
  EXPECT_EQ(window.PostCount(WM_PUMP_TX), 15);
  for (int i = -5; i < 10; ++i) {
    ASSERT_FALSE(queue->Empty());
    EXPECT_EQ(queue->Head(), i);
    queue->Pop();
  }
  EXPECT_TRUE(queue->Empty());
}

TEST(SentEchoQueue, RefusesTheCharacterAfter1023PendingAndPostsEachStored) {
  test::FakeEngineWindow window;
  SentEchoQueue echo(window);
  for (int i = 0; i < 1023; ++i) ASSERT_TRUE(echo.PostSentEcho(i & 0xFF));
  EXPECT_FALSE(echo.PostSentEcho('x'));
  EXPECT_EQ(window.PostCount(WM_SENT_ECHO), 1023);
  int32_t c = -1;
  ASSERT_TRUE(echo.Take(c));
  EXPECT_EQ(c, 0);
  EXPECT_TRUE(echo.PostSentEcho('x'));
  for (int i = 1; i < 1023; ++i) ASSERT_TRUE(echo.Take(c));
  ASSERT_TRUE(echo.Take(c));
  EXPECT_EQ(c, 'x');
  EXPECT_FALSE(echo.Take(c));
}

}  // namespace
}  // namespace vestrel
