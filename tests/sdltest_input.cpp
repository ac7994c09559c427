// The SDL keyboard with its gamepads, on SDL's dummy video driver and its
// virtual game controllers: pads as keys, taps remembered until the next
// read, pads coming and going, the M switch and the focus messages.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dik.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_gamepad.h"

namespace {

intptr_t quiet_proc(PlatWindow *, uint32_t, uintptr_t, intptr_t) { return 0; }

// The keys the game reads; a read is compared on these.
const uint8_t GAME_KEYS[] = {DIK_ESCAPE, DIK_1, DIK_2,     DIK_Q,
                             DIK_Z,      DIK_X, DIK_SPACE, DIK_LEFT,
                             DIK_RIGHT,  DIK_P, DIK_M};

std::vector<uint8_t> read_game_keys() {
  uint8_t state[256];
  EXPECT_EQ(plat_keyboard_read(state), 1);
  std::vector<uint8_t> down;
  for (uint8_t k : GAME_KEYS) {
    if (state[k]) down.push_back(k);
  }
  return down;
}

struct VirtualPad {
  int index = -1;
  SDL_Joystick *joystick = nullptr;
};

VirtualPad attach_pad() {
  SDL_VirtualJoystickDesc desc;
  SDL_zero(desc);
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
  desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
  desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
  VirtualPad pad;
  pad.index = SDL_JoystickAttachVirtualEx(&desc);
  EXPECT_GE(pad.index, 0) << SDL_GetError();
  pad.joystick = SDL_JoystickOpen(pad.index);
  EXPECT_NE(pad.joystick, nullptr) << SDL_GetError();
  return pad;
}

void detach_pad(VirtualPad *pad) {
  const SDL_JoystickID id = SDL_JoystickInstanceID(pad->joystick);
  SDL_JoystickClose(pad->joystick);
  // Virtual devices are detached by device index, which moves as others go.
  for (int i = 0; i < SDL_NumJoysticks(); i++) {
    if (SDL_JoystickGetDeviceInstanceID(i) == id) {
      SDL_JoystickDetachVirtual(i);
    }
  }
  pad->joystick = nullptr;
}

void push_key(SDL_Scancode sc, bool down, bool repeat = false) {
  SDL_Event e;
  SDL_zero(e);
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.keysym.scancode = sc;
  e.key.repeat = repeat;
  SDL_PushEvent(&e);
}

class SdlInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(plat_init(), 1) << plat_error();
    ASSERT_NE(plat_window_create("Quillfire", 0, 0, 640, 480, quiet_proc),
              nullptr);
    ASSERT_EQ(plat_keyboard_open(), 1);
    read_game_keys();
  }
  void TearDown() override {
    plat_keyboard_close();
    plat_shutdown();
  }
};

using Keys = std::vector<uint8_t>;

TEST_F(SdlInput, PadButtonsAndSticksReadAsTheirKeys) {
  VirtualPad first = attach_pad();
  VirtualPad second = attach_pad();
  read_game_keys();
  ASSERT_EQ(sdl_gamepad_count(), 2);
  struct Case {
    VirtualPad *pad;
    int button;  // -1: the stick across, at `axis`
    int16_t axis;
    Keys keys;
  } cases[] = {
      {&first, SDL_CONTROLLER_BUTTON_A, 0, {DIK_1, DIK_SPACE}},
      {&second, SDL_CONTROLLER_BUTTON_A, 0, {DIK_2, DIK_SPACE}},
      {&first, SDL_CONTROLLER_BUTTON_START, 0, {DIK_1, DIK_P}},
      {&first, SDL_CONTROLLER_BUTTON_B, 0, {DIK_ESCAPE}},
      {&second, SDL_CONTROLLER_BUTTON_BACK, 0, {DIK_ESCAPE}},
      {&first, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0, {DIK_LEFT}},
      {&first, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0, {DIK_RIGHT}},
      {&second, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0, {DIK_Z}},
      {&first, SDL_CONTROLLER_BUTTON_X, 0, {}},
      {&first, -1, 20000, {DIK_RIGHT}},
      {&second, -1, 32767, {DIK_X}},
      {&second, -1, -32768, {DIK_Z}},
      {&first, -1, 7000, {}},  // inside the dead zone
  };
  int row = 0;
  for (const Case &c : cases) {
    if (c.button >= 0) {
      SDL_JoystickSetVirtualButton(c.pad->joystick, c.button, 1);
    } else {
      SDL_JoystickSetVirtualAxis(c.pad->joystick, SDL_CONTROLLER_AXIS_LEFTX,
                                 c.axis);
    }
    EXPECT_EQ(read_game_keys(), c.keys) << "row " << row;
    EXPECT_EQ(read_game_keys(), c.keys) << "held, row " << row;
    if (c.button >= 0) {
      SDL_JoystickSetVirtualButton(c.pad->joystick, c.button, 0);
    } else {
      SDL_JoystickSetVirtualAxis(c.pad->joystick, SDL_CONTROLLER_AXIS_LEFTX, 0);
    }
    EXPECT_EQ(read_game_keys(), Keys{}) << "released, row " << row;
    row++;
  }
  detach_pad(&first);
  detach_pad(&second);
}

// Down and up again between two reads: the next read sees it, once; the
// Escape query sees the same tap apart.
TEST_F(SdlInput, ATapBetweenTwoReadsIsSeenOnceByEachReader) {
  VirtualPad pad = attach_pad();
  read_game_keys();
  SDL_JoystickSetVirtualButton(pad.joystick, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_PumpEvents();
  SDL_JoystickSetVirtualButton(pad.joystick, SDL_CONTROLLER_BUTTON_A, 0);
  SDL_PumpEvents();
  push_key(SDL_SCANCODE_ESCAPE, true);
  push_key(SDL_SCANCODE_ESCAPE, false);
  EXPECT_EQ(read_game_keys(), (Keys{DIK_ESCAPE, DIK_1, DIK_SPACE}));
  EXPECT_EQ(read_game_keys(), Keys{});
  EXPECT_EQ(plat_escape_down(), 1);
  EXPECT_EQ(plat_escape_down(), 0);
  detach_pad(&pad);
}

// The first pad out: the second keeps its paddle, and the next pad in
// takes the free place of the first.
TEST_F(SdlInput, PadsComeAndGoWhileTheGameRuns) {
  VirtualPad first = attach_pad();
  VirtualPad second = attach_pad();
  read_game_keys();
  ASSERT_EQ(sdl_gamepad_count(), 2);
  detach_pad(&first);
  read_game_keys();
  EXPECT_EQ(sdl_gamepad_count(), 1);
  SDL_JoystickSetVirtualButton(second.joystick, SDL_CONTROLLER_BUTTON_A, 1);
  EXPECT_EQ(read_game_keys(), (Keys{DIK_2, DIK_SPACE}));
  SDL_JoystickSetVirtualButton(second.joystick, SDL_CONTROLLER_BUTTON_A, 0);
  read_game_keys();

  VirtualPad third = attach_pad();
  read_game_keys();
  EXPECT_EQ(sdl_gamepad_count(), 2);
  SDL_JoystickSetVirtualButton(third.joystick, SDL_CONTROLLER_BUTTON_A, 1);
  EXPECT_EQ(read_game_keys(), (Keys{DIK_1, DIK_SPACE}));
  detach_pad(&third);
  detach_pad(&second);
  read_game_keys();
  EXPECT_EQ(sdl_gamepad_count(), 0);
}

// M flips the mute on each press, not on the key's repeats.
TEST_F(SdlInput, MSwitchesTheSoundOffAndOn) {
  const int before = sdl_audio_muted();
  const struct {
    bool repeat;
    int muted;
  } presses[] = {{false, !before}, {true, !before}, {false, before}};
  for (const auto &p : presses) {
    push_key(SDL_SCANCODE_M, true, p.repeat);
    push_key(SDL_SCANCODE_M, false);
    EXPECT_EQ(sdl_audio_muted(), p.muted);
  }
}

TEST_F(SdlInput, FocusChangesBecomeMessages) {
  PlatMessage msg;
  while (plat_peek_message(&msg)) {
  }
  const struct {
    uint8_t event;
    uint32_t message;
  } cases[] = {{SDL_WINDOWEVENT_FOCUS_LOST, WM_KILLFOCUS},
               {SDL_WINDOWEVENT_FOCUS_GAINED, WM_SETFOCUS}};
  for (const auto &c : cases) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = c.event;
    SDL_PushEvent(&e);
    bool seen = false;
    while (plat_peek_message(&msg)) seen = seen || msg.message == c.message;
    EXPECT_TRUE(seen) << c.message;
  }
}

}  // namespace
