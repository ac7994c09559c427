// Shared by the tests: a fresh headless platform and game for every test.
#ifndef QUILLFIRE_TESTS_SUPPORT_H
#define QUILLFIRE_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include "platform/headless/headless.h"

// Puts the platform, the library's module state and the game's back to how a
// new process starts.
void reset_everything();

// The sprites' sizes as the scene makes them, without any picture.
void size_sprites();

// The window, the display and the keyboard as game_init leaves them, without
// pictures, sounds or the title.
void open_window_display_keyboard();

class Fresh : public ::testing::Test {
 protected:
  void SetUp() override { reset_everything(); }
  // A game closed by the headless time limit, not by the test, never ended.
  void TearDown() override { EXPECT_EQ(headless_time_limit_reached(), 0); }
};

// A fresh start with the window, the display and the keyboard open.
class FreshDisplay : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    open_window_display_keyboard();
  }
};

#endif
