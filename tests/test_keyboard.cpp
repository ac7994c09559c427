// The keyboard snapshot on the headless platform.
#include <string.h>

#include "engine/input/keyboard.h"
#include "engine/window.h"
#include "support.h"

namespace {

using Keyboard = Fresh;

int keys_down() {
  int n = 0;
  for (uint8_t b : keyboard_state) n += b != 0;
  return n;
}

// No keyboard on the platform, or one but no input object to open it with.
TEST_F(Keyboard, WithoutADeviceEveryKeyReadsUp) {
  for (int keyboard_there : {0, 1}) {
    reset_everything();
    headless_set_keyboard_present(keyboard_there);
    ASSERT_EQ(plat_init(), 1);
    app_instance = keyboard_there ? nullptr : plat_instance();
    EXPECT_EQ(input_init(), keyboard_there ? 0 : 1);
    EXPECT_EQ(keyboard_init(), 0);
    memset(keyboard_state, 0x80, sizeof keyboard_state);
    headless_key(DIK_SPACE, 1);
    EXPECT_EQ(keyboard_read(), 0);
    EXPECT_EQ(keys_down(), 0) << keyboard_there;
  }
}

// Several keys down at once, each at its own code; the snapshot changes only
// when read.
TEST_F(Keyboard, ReadsAreSnapshotsOfEveryKeyDown) {
  open_window_display_keyboard();
  for (int key : {DIK_LEFT, DIK_RIGHT, DIK_Z}) headless_key(key, 1);
  ASSERT_EQ(keyboard_read(), 1);
  for (int code : {0xCB, 0xCD, 0x2C}) EXPECT_EQ(keyboard_state[code], 0x80);
  EXPECT_EQ(keys_down(), 3);

  headless_key(DIK_LEFT, 0);
  headless_key(DIK_2, 1);
  EXPECT_EQ(keyboard_state[DIK_LEFT], 0x80);
  EXPECT_EQ(keyboard_state[DIK_2], 0);
  ASSERT_EQ(keyboard_read(), 1);
  EXPECT_EQ(keyboard_state[DIK_LEFT], 0);
  EXPECT_EQ(keyboard_state[DIK_2], 0x80);
  EXPECT_EQ(keys_down(), 3);
}

}  // namespace
