// The key queue, read_key's texts, waiting for keys and the graphics sleep.
#include <gtest/gtest.h>

#include <ctime>

#include "gfx/keys.h"
#include "runtime/clock.h"
#include "tests/gfx/support.h"

namespace {

// A headless screen on a virtual clock starting at timer 100 s.
class KeysOnVirtualClock : public HeadlessScreen {
 protected:
  void SetUp() override {
    HeadlessScreen::SetUp();
    use_clock(&clock);
  }
  void TearDown() override {
    use_clock(nullptr);
    HeadlessScreen::TearDown();
  }
  std::tm wall{};
  VirtualClock clock{100.0, wall};
};

}  // namespace

TEST_F(HeadlessScreen, KeyQueueKeepsTheFifteenMostRecent) {
  for (uint32_t code = 'a'; code < 'a' + 20; ++code) add_key(code);
  EXPECT_TRUE(key_queue().key_pressed);
  for (char expected = 'f'; expected < 'a' + 20; ++expected) EXPECT_EQ(read_key(), std::string(1, expected));
  EXPECT_EQ(read_key(), "");
  EXPECT_FALSE(key_queue().key_pressed);
}

TEST_F(HeadlessScreen, ReadKeyGivesCharactersAndExtendedCodes) {
  add_key(' ');
  add_key(0x82);          // a code-page-437 character above 127
  add_key((72 << 8) | 0xFF);  // up arrow
  add_key(KEY_CLOSE_REQUEST);
  EXPECT_EQ(read_key(), " ");
  EXPECT_EQ(read_key(), "\x82");
  EXPECT_EQ(read_key(), "\xFF" "H");
  EXPECT_EQ(read_key(), "\xFF" "k");
  EXPECT_EQ(read_key(), "");
}

TEST_F(HeadlessScreen, OpeningEmptiesTheQueueAndClosingSilencesIt) {
  add_key('x');
  open_screen(19, 16, 4, -1, 0);
  EXPECT_EQ(read_key(), "");
  add_key('y');
  release_screen();
  EXPECT_EQ(read_key(), "");
}

TEST_F(KeysOnVirtualClock, WaitKeyEndsAtTheDeadlineOrAtANewKey) {
  uint64_t seen = key_generation();
  wait_key(seen, 101.5);
  EXPECT_DOUBLE_EQ(clock.timer(), 101.5);
  add_key('q');
  EXPECT_EQ(key_generation(), seen + 1);
  wait_key(seen, 200.0);  // a key came after `seen`: no waiting
  EXPECT_DOUBLE_EQ(clock.timer(), 101.5);
}

TEST_F(KeysOnVirtualClock, ShortSleepsIgnoreKeys) {
  add_key('k');
  screen_sleep_ms(50);
  EXPECT_NEAR(clock.timer(), 100.05, 1e-9);
  EXPECT_TRUE(key_queue().key_pressed);
  screen_sleep_ms(99);
  EXPECT_NEAR(clock.timer(), 100.149, 1e-9);
}

TEST_F(KeysOnVirtualClock, LongSleepsStopAtAKey) {
  screen_sleep_ms(230);  // no key: 50 ms steps, then the rest
  EXPECT_NEAR(clock.timer(), 100.23, 1e-9);
  clock.on_advance([](double now) {
    if (now >= 100.325) add_key('k');
  });
  screen_sleep_ms(1000);
  EXPECT_NEAR(clock.timer(), 100.33, 1e-9);
  EXPECT_FALSE(key_queue().key_pressed);  // the sleep takes the flag
  EXPECT_EQ(read_key(), "k");           // but not the key
}

TEST_F(KeysOnVirtualClock, SleepMinusOneWaitsForAKey) {
  clock.on_advance([](double now) {
    if (now >= 100.375) add_key(' ');
  });
  screen_sleep_ms(-1);
  EXPECT_NEAR(clock.timer(), 100.4, 1e-9);
}
