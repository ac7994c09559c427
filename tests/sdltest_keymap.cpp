// The SDL keyboard's table from SDL scancodes to DirectInput key codes.
//
// The expected codes are worked out from the layout of the keys (set-1 scan
// codes follow the rows of the keyboard; an extended key is its numeric-pad
// twin's code plus 0x80) rather than copied from the table.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/dik.h"
#include "platform/sdl/sdl_keymap.h"

namespace {

uint8_t dik(SDL_Scancode sc) { return sdl_scancode_dik(sc); }

// SDL's letters run A to Z in alphabet order.
SDL_Scancode letter(char c) {
  return (SDL_Scancode)(SDL_SCANCODE_A + (c - 'A'));
}

TEST(SdlKeymap, ArrowsAreExtendedTwinsOfThePadKeys) {
  EXPECT_EQ(dik(SDL_SCANCODE_LEFT), 0xCB);
  EXPECT_EQ(dik(SDL_SCANCODE_RIGHT), 0xCD);
  EXPECT_EQ(dik(SDL_SCANCODE_UP), 0xC8);
  EXPECT_EQ(dik(SDL_SCANCODE_DOWN), 0xD0);
  EXPECT_EQ(dik(SDL_SCANCODE_KP_4), 0x4B);
  EXPECT_EQ(dik(SDL_SCANCODE_KP_6), 0x4D);
  EXPECT_EQ(dik(SDL_SCANCODE_KP_8), 0x48);
  EXPECT_EQ(dik(SDL_SCANCODE_KP_2), 0x50);
  // The whole navigation block sits 0x80 above the pad key that shares it.
  const struct {
    SDL_Scancode nav, pad;
  } twins[] = {{SDL_SCANCODE_HOME, SDL_SCANCODE_KP_7},
               {SDL_SCANCODE_UP, SDL_SCANCODE_KP_8},
               {SDL_SCANCODE_PAGEUP, SDL_SCANCODE_KP_9},
               {SDL_SCANCODE_LEFT, SDL_SCANCODE_KP_4},
               {SDL_SCANCODE_RIGHT, SDL_SCANCODE_KP_6},
               {SDL_SCANCODE_END, SDL_SCANCODE_KP_1},
               {SDL_SCANCODE_DOWN, SDL_SCANCODE_KP_2},
               {SDL_SCANCODE_PAGEDOWN, SDL_SCANCODE_KP_3},
               {SDL_SCANCODE_INSERT, SDL_SCANCODE_KP_0},
               {SDL_SCANCODE_DELETE, SDL_SCANCODE_KP_PERIOD},
               {SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_RETURN},
               {SDL_SCANCODE_RCTRL, SDL_SCANCODE_LCTRL},
               {SDL_SCANCODE_RALT, SDL_SCANCODE_LALT},
               {SDL_SCANCODE_KP_DIVIDE, SDL_SCANCODE_SLASH}};
  for (const auto &t : twins) {
    ASSERT_NE(dik(t.pad), 0) << SDL_GetScancodeName(t.pad);
    EXPECT_EQ(dik(t.nav), dik(t.pad) | 0x80) << SDL_GetScancodeName(t.nav);
  }
}

TEST(SdlKeymap, MainBlockFollowsTheKeyboardRows) {
  // Each row of the main block counts up from its first key.
  const struct {
    const char *keys;
    uint8_t first;
  } rows[] = {{"QWERTYUIOP", 0x10}, {"ASDFGHJKL", 0x1E}, {"ZXCVBNM", 0x2C}};
  for (const auto &row : rows) {
    for (int i = 0; row.keys[i]; i++) {
      EXPECT_EQ(dik(letter(row.keys[i])), row.first + i) << row.keys[i];
    }
  }
  // SDL numbers the digits 1 to 9 and then 0, as the keys stand.
  for (int i = 0; i < 10; i++) {
    EXPECT_EQ(dik((SDL_Scancode)(SDL_SCANCODE_1 + i)), 0x02 + i) << i;
  }
  for (int i = 0; i < 10; i++) {
    EXPECT_EQ(dik((SDL_Scancode)(SDL_SCANCODE_F1 + i)), 0x3B + i) << i;
  }
  EXPECT_EQ(dik(SDL_SCANCODE_F11), 0x57);
  EXPECT_EQ(dik(SDL_SCANCODE_F12), 0x58);
  EXPECT_EQ(dik(SDL_SCANCODE_SPACE), 0x39);
  EXPECT_EQ(dik(SDL_SCANCODE_ESCAPE), 0x01);
}

// No two keys share a code, but for the one key that SDL names two ways by
// keyboard (the key left of Enter on ISO boards sits where the backslash is
// on ANSI ones, with the same scan code). A code reported for a key that
// isn't in the table would be 0.
TEST(SdlKeymap, EveryCodeBelongsToOneKey) {
  std::map<uint8_t, std::string> owner;
  int mapped = 0;
  for (int sc = 0; sc < SDL_NUM_SCANCODES; sc++) {
    const uint8_t code = dik((SDL_Scancode)sc);
    if (code == 0) continue;
    mapped++;
    const std::string name = SDL_GetScancodeName((SDL_Scancode)sc);
    const auto found = owner.find(code);
    if (found != owner.end()) {
      const bool iso_alias =
          code == DIK_BACKSLASH &&
          (sc == SDL_SCANCODE_NONUSHASH ||
           found->second == SDL_GetScancodeName(SDL_SCANCODE_NONUSHASH));
      EXPECT_TRUE(iso_alias) << "code " << (int)code << " for both "
                             << found->second << " and " << name;
    }
    owner[code] = name;
  }
  EXPECT_GE(mapped, 100);  // a full keyboard, not only the game's keys
  EXPECT_EQ(dik(SDL_SCANCODE_UNKNOWN), 0);
  EXPECT_EQ(dik(SDL_SCANCODE_AUDIOPLAY), 0);
}

}  // namespace
