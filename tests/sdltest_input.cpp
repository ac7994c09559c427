// The SDL keyboard with its gamepads, on SDL's dummy video driver and its
// virtual game controllers: pads as keys, taps remembered until the next
// read, pads coming and going, the M switch and the focus messages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>
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

SDL_Joystick *attach_pad() {
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER,
                                              SDL_CONTROLLER_AXIS_MAX,
                                              SDL_CONTROLLER_BUTTON_MAX, 0);
  EXPECT_GE(index, 0) << SDL_GetError();
  SDL_Joystick *pad = SDL_JoystickOpen(index);
  EXPECT_NE(pad, nullptr) << SDL_GetError();
  return pad;
}

void detach_pad(SDL_Joystick *pad) {
  const SDL_JoystickID id = SDL_JoystickInstanceID(pad);
  SDL_JoystickClose(pad);
  // Virtual devices are detached by device index, which moves as others go.
  for (int i = 0; i < SDL_NumJoysticks(); i++) {
    if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }
}

using Keys = std::vector<uint8_t>;

// The keys read with `button` down (or, for -1, the stick across at `axis`):
// a second read while it is held sees the same, one after it is let go none.
Keys hold(SDL_Joystick *pad, int button, int16_t axis = 0) {
  auto set = [&](int down) {
    if (button >= 0) {
      SDL_JoystickSetVirtualButton(pad, button, down);
    } else {
      SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX,
                                 down ? axis : 0);
    }
  };
  set(1);
  const Keys keys = read_game_keys();
  EXPECT_EQ(read_game_keys(), keys) << "held";
  set(0);
  EXPECT_EQ(read_game_keys(), Keys{}) << "let go";
  return keys;
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

TEST_F(SdlInput, PadsReadAsTheirKeysAndComeAndGo) {
  SDL_Joystick *first = attach_pad(), *second = attach_pad();
  read_game_keys();
  ASSERT_EQ(sdl_gamepad_count(), 2);
  struct Case {
    SDL_Joystick *pad;
    int button;  // -1: the stick across, at `axis`
    int16_t axis;
    Keys keys;
  } cases[] = {
      {first, SDL_CONTROLLER_BUTTON_A, 0, {DIK_1, DIK_SPACE}},
      {second, SDL_CONTROLLER_BUTTON_A, 0, {DIK_2, DIK_SPACE}},
      {first, SDL_CONTROLLER_BUTTON_START, 0, {DIK_1, DIK_P}},
      {first, SDL_CONTROLLER_BUTTON_B, 0, {DIK_ESCAPE}},
      {second, SDL_CONTROLLER_BUTTON_BACK, 0, {DIK_ESCAPE}},
      {first, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0, {DIK_LEFT}},
      {first, SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0, {DIK_RIGHT}},
      {second, SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0, {DIK_Z}},
      {first, SDL_CONTROLLER_BUTTON_X, 0, {}},
      {first, -1, 20000, {DIK_RIGHT}},
      {second, -1, 32767, {DIK_X}},
      {second, -1, -32768, {DIK_Z}},
      {first, -1, 7000, {}},  // inside the dead zone
  };
  for (size_t row = 0; row < sizeof cases / sizeof cases[0]; row++) {
    SCOPED_TRACE(row);
    const Case &c = cases[row];
    EXPECT_EQ(hold(c.pad, c.button, c.axis), c.keys);
  }

  // The first pad out: the second keeps its paddle, and the next pad in
  // takes the free place of the first.
  detach_pad(first);
  read_game_keys();
  EXPECT_EQ(sdl_gamepad_count(), 1);
  EXPECT_EQ(hold(second, SDL_CONTROLLER_BUTTON_A), (Keys{DIK_2, DIK_SPACE}));
  SDL_Joystick *third = attach_pad();
  read_game_keys();
  EXPECT_EQ(sdl_gamepad_count(), 2);
  EXPECT_EQ(hold(third, SDL_CONTROLLER_BUTTON_A), (Keys{DIK_1, DIK_SPACE}));
  detach_pad(third);
  detach_pad(second);
  read_game_keys();
  EXPECT_EQ(sdl_gamepad_count(), 0);
}

// Down and up again between two reads: the next read sees it, once; the
// Escape query sees the same tap apart.
TEST_F(SdlInput, ATapBetweenTwoReadsIsSeenOnceByEachReader) {
  SDL_Joystick *pad = attach_pad();
  read_game_keys();
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 1);
  SDL_PumpEvents();
  SDL_JoystickSetVirtualButton(pad, SDL_CONTROLLER_BUTTON_A, 0);
  SDL_PumpEvents();
  push_key(SDL_SCANCODE_ESCAPE, true);
  push_key(SDL_SCANCODE_ESCAPE, false);
  EXPECT_EQ(read_game_keys(), (Keys{DIK_ESCAPE, DIK_1, DIK_SPACE}));
  EXPECT_EQ(read_game_keys(), Keys{});
  EXPECT_EQ(plat_escape_down(), 1);
  EXPECT_EQ(plat_escape_down(), 0);
  detach_pad(pad);
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

// A key held down repeats its key-down: none of the repeats is a press, so
// once it is up neither reader sees it any more.
TEST_F(SdlInput, KeyRepeatsAreNoPresses) {
  push_key(SDL_SCANCODE_ESCAPE, true);
  EXPECT_EQ(read_game_keys(), Keys{DIK_ESCAPE});
  EXPECT_EQ(plat_escape_down(), 1);
  for (int i = 0; i < 3; i++) push_key(SDL_SCANCODE_ESCAPE, true, true);
  push_key(SDL_SCANCODE_ESCAPE, false);
  EXPECT_EQ(read_game_keys(), Keys{});
  EXPECT_EQ(plat_escape_down(), 0);
}

// Milliseconds plat_wait_input took.
template <typename Wait>
long long wait_ms(Wait wait) {
  const auto start = std::chrono::steady_clock::now();
  wait();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now() - start)
      .count();
}

// The wait for a key ends at its deadline, at once when a key came since
// the last read, and when a watched descriptor has input; one not watched
// (any more) doesn't end it. The reads themselves never wait.
TEST_F(SdlInput, AWaitEndsAtAKeyWatchedInputOrItsDeadline) {
  uint32_t deadline = plat_ticks() + 80;
  const long long slept = wait_ms([&] { plat_wait_input(&deadline); });
  EXPECT_GE((int32_t)(plat_ticks() - deadline), 0);
  EXPECT_LT(slept, 500);

  push_key(SDL_SCANCODE_SPACE, true);
  deadline = plat_ticks() + 5000;
  EXPECT_LT(wait_ms([&] { plat_wait_input(&deadline); }), 500);
  EXPECT_EQ(read_game_keys(), Keys{DIK_SPACE});
  push_key(SDL_SCANCODE_SPACE, false);
  read_game_keys();

  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  ASSERT_EQ(plat_wait_watch(pipe_fds[0]), 1);
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(write(pipe_fds[1], "x", 1), 1);
  });
  deadline = plat_ticks() + 5000;
  EXPECT_LT(wait_ms([&] { plat_wait_input(&deadline); }), 1000);
  writer.join();
  plat_wait_unwatch(pipe_fds[0]);
  deadline = plat_ticks() + 80;
  EXPECT_GE(wait_ms([&] { plat_wait_input(&deadline); }), 70)
      << "woken by a descriptor no longer watched";
  close(pipe_fds[0]);
  close(pipe_fds[1]);

  // A frame's reads, one right after the other.
  EXPECT_LT(wait_ms([] {
              for (int i = 0; i < 200; i++) read_game_keys();
            }),
            100);
}

TEST_F(SdlInput, FocusChangesBecomeMessages) {
  PlatMessage msg;
  while (plat_peek_message(&msg)) {
  }
  for (uint8_t event :
       {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED}) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    SDL_PushEvent(&e);
  }
  std::vector<uint32_t> focus;
  while (plat_peek_message(&msg)) {
    if (msg.message == WM_KILLFOCUS || msg.message == WM_SETFOCUS)
      focus.push_back(msg.message);
  }
  EXPECT_EQ(focus, (std::vector<uint32_t>{WM_KILLFOCUS, WM_SETFOCUS}));
}

}  // namespace
