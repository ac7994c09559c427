// The keyboard snapshot on the headless platform.
#include <string.h>

#include "engine/input/keyboard.h"
#include "engine/window.h"
#include "support.h"

namespace {

class Keyboard : public Fresh {
 protected:
  void open(int keyboard_present) {
    headless_set_keyboard_present(keyboard_present);
    ASSERT_EQ(plat_init(), 1);
    app_instance = plat_instance();
    ASSERT_EQ(input_init(), 1);
  }

  int keys_down() {
    int n = 0;
    for (uint8_t b : keyboard_state) n += b != 0;
    return n;
  }
};

TEST_F(Keyboard, WithoutADeviceEveryKeyReadsUp) {
  open(0);
  EXPECT_EQ(keyboard_init(), 0);
  memset(keyboard_state, 0x80, sizeof keyboard_state);
  headless_key(DIK_SPACE, 1);
  EXPECT_EQ(keyboard_read(), 0);
  EXPECT_EQ(keys_down(), 0);
}

TEST_F(Keyboard, WithoutInputObjectThereIsNoDevice) {
  ASSERT_EQ(plat_init(), 1);
  app_instance = nullptr;
  EXPECT_EQ(input_init(), 0);
  EXPECT_EQ(keyboard_init(), 0);
  headless_key(DIK_Q, 1);
  keyboard_state[DIK_Q] = 0x80;
  EXPECT_EQ(keyboard_read(), 0);
  EXPECT_EQ(keys_down(), 0);
}

TEST_F(Keyboard, SeveralKeysAtOnceByTheirCodes) {
  open(1);
  ASSERT_EQ(keyboard_init(), 1);
  headless_key(DIK_LEFT, 1);
  headless_key(DIK_RIGHT, 1);
  headless_key(DIK_Z, 1);
  ASSERT_EQ(keyboard_read(), 1);
  EXPECT_EQ(keyboard_state[0xCB], 0x80);
  EXPECT_EQ(keyboard_state[0xCD], 0x80);
  EXPECT_EQ(keyboard_state[0x2C], 0x80);
  EXPECT_EQ(keys_down(), 3);
  // The pad's 4 is a key of its own, not the left arrow.
  headless_key(DIK_LEFT, 0);
  headless_key(DIK_NUMPAD4, 1);
  ASSERT_EQ(keyboard_read(), 1);
  EXPECT_EQ(keyboard_state[DIK_LEFT], 0);
  EXPECT_EQ(keyboard_state[0x4B], 0x80);
}

// The snapshot is only what the last read saw: a held key reads down every
// time, a tap between two reads is never seen, and nothing changes between
// reads whatever the keys do.
TEST_F(Keyboard, ReadsAreSnapshots) {
  open(1);
  ASSERT_EQ(keyboard_init(), 1);
  headless_key(DIK_X, 1);
  for (int i = 0; i < 3; i++) {
    ASSERT_EQ(keyboard_read(), 1);
    EXPECT_EQ(keyboard_state[DIK_X], 0x80) << "read " << i;
  }
  headless_key(DIK_X, 0);
  headless_key(DIK_2, 1);
  EXPECT_EQ(keyboard_state[DIK_X], 0x80);
  EXPECT_EQ(keyboard_state[DIK_2], 0);
  headless_key(DIK_2, 0);
  ASSERT_EQ(keyboard_read(), 1);
  EXPECT_EQ(keys_down(), 0);

  // Pressed and released between two reads, on the virtual clock.
  const uint32_t now = headless_now();
  headless_tap_at(now + 5, DIK_SPACE, 10);
  headless_set_now(now + 40);
  ASSERT_EQ(keyboard_read(), 1);
  EXPECT_EQ(keyboard_state[DIK_SPACE], 0);
}

}  // namespace
