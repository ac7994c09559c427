// The SDL keyboard's table from SDL scancodes to DirectInput key codes.
#include <gtest/gtest.h>

#include <set>

#include "platform/dik.h"
#include "platform/sdl/sdl_keymap.h"

namespace {

uint8_t dik(int sc) { return sdl_scancode_dik((SDL_Scancode)sc); }

// The keys the game reads, at their set-1 scan codes: the arrows are the
// extended twins (+0x80) of the numeric pad's 4 and 6, keys of their own.
TEST(SdlKeymap, TheGamesKeysAtTheirScanCodes) {
  const int keys[][2] = {{SDL_SCANCODE_LEFT, 0xCB},  {SDL_SCANCODE_RIGHT, 0xCD},
                         {SDL_SCANCODE_KP_4, 0x4B},  {SDL_SCANCODE_KP_6, 0x4D},
                         {SDL_SCANCODE_Z, 0x2C},     {SDL_SCANCODE_X, 0x2D},
                         {SDL_SCANCODE_Q, 0x10},     {SDL_SCANCODE_1, 0x02},
                         {SDL_SCANCODE_2, 0x03},     {SDL_SCANCODE_SPACE, 0x39},
                         {SDL_SCANCODE_ESCAPE, 0x01}};
  for (const auto &k : keys) {
    EXPECT_EQ(dik(k[0]), k[1]) << SDL_GetScancodeName((SDL_Scancode)k[0]);
  }
}

// No two keys share a code, but for the one key SDL names two ways (left of
// Enter on ISO boards, where the backslash is on ANSI ones).
TEST(SdlKeymap, EveryCodeBelongsToOneKey) {
  std::set<uint8_t> codes;
  for (int sc = 0; sc < SDL_NUM_SCANCODES; sc++) {
    const uint8_t code = dik(sc);
    if (code == 0 || sc == SDL_SCANCODE_NONUSHASH) continue;
    EXPECT_TRUE(codes.insert(code).second)
        << SDL_GetScancodeName((SDL_Scancode)sc) << " shares " << (int)code;
  }
  EXPECT_EQ(dik(SDL_SCANCODE_NONUSHASH), DIK_BACKSLASH);
  EXPECT_GE(codes.size(), 100u);  // a full keyboard, not only the game's keys
}

}  // namespace
