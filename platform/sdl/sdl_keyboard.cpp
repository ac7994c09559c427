// The keyboard from SDL's key state, by DirectInput key code, with the
// gamepads as keys. Every key event is also watched as SDL takes it in, so
// that a press is remembered until the next read even when the key is up
// again by then; M is the mute switch of the sound.
#include <string.h>

#include "platform/dik.h"
#include "platform/key_latch.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_gamepad.h"
#include "platform/sdl/sdl_internal.h"
#include "platform/sdl/sdl_keymap.h"

namespace {

struct KeyCode {
  SDL_Scancode scancode;
  uint8_t dik;
};

// A standard 105-key keyboard. The arrows and the navigation block have codes
// of their own, apart from the numeric pad's.
const KeyCode KEYS[] = {
    {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
    {SDL_SCANCODE_1, DIK_1},
    {SDL_SCANCODE_2, DIK_2},
    {SDL_SCANCODE_3, DIK_3},
    {SDL_SCANCODE_4, DIK_4},
    {SDL_SCANCODE_5, DIK_5},
    {SDL_SCANCODE_6, DIK_6},
    {SDL_SCANCODE_7, DIK_7},
    {SDL_SCANCODE_8, DIK_8},
    {SDL_SCANCODE_9, DIK_9},
    {SDL_SCANCODE_0, DIK_0},
    {SDL_SCANCODE_MINUS, DIK_MINUS},
    {SDL_SCANCODE_EQUALS, DIK_EQUALS},
    {SDL_SCANCODE_BACKSPACE, DIK_BACK},
    {SDL_SCANCODE_TAB, DIK_TAB},
    {SDL_SCANCODE_Q, DIK_Q},
    {SDL_SCANCODE_W, DIK_W},
    {SDL_SCANCODE_E, DIK_E},
    {SDL_SCANCODE_R, DIK_R},
    {SDL_SCANCODE_T, DIK_T},
    {SDL_SCANCODE_Y, DIK_Y},
    {SDL_SCANCODE_U, DIK_U},
    {SDL_SCANCODE_I, DIK_I},
    {SDL_SCANCODE_O, DIK_O},
    {SDL_SCANCODE_P, DIK_P},
    {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
    {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
    {SDL_SCANCODE_RETURN, DIK_RETURN},
    {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
    {SDL_SCANCODE_A, DIK_A},
    {SDL_SCANCODE_S, DIK_S},
    {SDL_SCANCODE_D, DIK_D},
    {SDL_SCANCODE_F, DIK_F},
    {SDL_SCANCODE_G, DIK_G},
    {SDL_SCANCODE_H, DIK_H},
    {SDL_SCANCODE_J, DIK_J},
    {SDL_SCANCODE_K, DIK_K},
    {SDL_SCANCODE_L, DIK_L},
    {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
    {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
    {SDL_SCANCODE_GRAVE, DIK_GRAVE},
    {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
    {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
    {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},
    {SDL_SCANCODE_Z, DIK_Z},
    {SDL_SCANCODE_X, DIK_X},
    {SDL_SCANCODE_C, DIK_C},
    {SDL_SCANCODE_V, DIK_V},
    {SDL_SCANCODE_B, DIK_B},
    {SDL_SCANCODE_N, DIK_N},
    {SDL_SCANCODE_M, DIK_M},
    {SDL_SCANCODE_COMMA, DIK_COMMA},
    {SDL_SCANCODE_PERIOD, DIK_PERIOD},
    {SDL_SCANCODE_SLASH, DIK_SLASH},
    {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
    {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
    {SDL_SCANCODE_LALT, DIK_LMENU},
    {SDL_SCANCODE_SPACE, DIK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
    {SDL_SCANCODE_F1, DIK_F1},
    {SDL_SCANCODE_F2, DIK_F2},
    {SDL_SCANCODE_F3, DIK_F3},
    {SDL_SCANCODE_F4, DIK_F4},
    {SDL_SCANCODE_F5, DIK_F5},
    {SDL_SCANCODE_F6, DIK_F6},
    {SDL_SCANCODE_F7, DIK_F7},
    {SDL_SCANCODE_F8, DIK_F8},
    {SDL_SCANCODE_F9, DIK_F9},
    {SDL_SCANCODE_F10, DIK_F10},
    {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
    {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
    {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
    {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
    {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
    {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
    {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
    {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
    {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
    {SDL_SCANCODE_KP_PLUS, DIK_ADD},
    {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
    {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
    {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
    {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
    {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
    {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
    {SDL_SCANCODE_F11, DIK_F11},
    {SDL_SCANCODE_F12, DIK_F12},
    {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
    {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
    {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
    {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
    {SDL_SCANCODE_RALT, DIK_RMENU},
    {SDL_SCANCODE_PAUSE, DIK_PAUSE},
    {SDL_SCANCODE_HOME, DIK_HOME},
    {SDL_SCANCODE_UP, DIK_UP},
    {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
    {SDL_SCANCODE_LEFT, DIK_LEFT},
    {SDL_SCANCODE_RIGHT, DIK_RIGHT},
    {SDL_SCANCODE_END, DIK_END},
    {SDL_SCANCODE_DOWN, DIK_DOWN},
    {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
    {SDL_SCANCODE_INSERT, DIK_INSERT},
    {SDL_SCANCODE_DELETE, DIK_DELETE},
    {SDL_SCANCODE_LGUI, DIK_LWIN},
    {SDL_SCANCODE_RGUI, DIK_RWIN},
    {SDL_SCANCODE_APPLICATION, DIK_APPS},
};

int keyboard_open;

// The table by scancode, so that a read is one pass over SDL's key state
// through the same mapping that sdl_scancode_dik reports. Made when the
// keyboard is opened.
uint8_t dik_by_scancode[SDL_NUM_SCANCODES];

// F11 and Alt+Enter switch between window and full screen; the game never
// sees them.
void hide_switch_keys(const Uint8 *keys, uint8_t state[256]) {
  state[DIK_F11] = 0;
  if ((keys[SDL_SCANCODE_LALT] || keys[SDL_SCANCODE_RALT]) &&
      (keys[SDL_SCANCODE_RETURN] || keys[SDL_SCANCODE_KP_ENTER])) {
    state[DIK_LMENU] = state[DIK_RMENU] = 0;
    state[DIK_RETURN] = state[DIK_NUMPADENTER] = 0;
  }
}

// Presses since the last keyboard read, and since the last Escape query.
KeyLatch read_latch, escape_latch;
// A key or pad event since the last keyboard read (sdl_input_arrived).
bool input_arrived;

// What the player did: a key going down or up (a repeat brings nothing
// new), a pad's stick, button or coming and going (not its motion sensors).
bool is_input_event(const SDL_Event *event) {
  const Uint32 type = event->type;
  if (type == SDL_KEYDOWN) return !event->key.repeat;
  return type == SDL_KEYUP ||
         (type >= SDL_JOYAXISMOTION && type < SDL_FINGERDOWN &&
          type != SDL_CONTROLLERSENSORUPDATE);
}

// Runs on the game's thread, inside SDL's event pumping. A key held down
// sends repeated key-down events (the repeat flag set): they are not
// presses, or a held Escape would be remembered past the screen it left.
int input_watch(void *, SDL_Event *event) {
  if (is_input_event(event)) input_arrived = true;
  if (event->type == SDL_KEYDOWN) {
    const SDL_Scancode sc = event->key.keysym.scancode;
    if (sc >= 0 && sc < SDL_NUM_SCANCODES && dik_by_scancode[sc] &&
        !sdl_switch_key(&event->key)) {
      key_latch_key_down(&read_latch, dik_by_scancode[sc], event->key.repeat);
      key_latch_key_down(&escape_latch, dik_by_scancode[sc], event->key.repeat);
    }
    if (sc == SDL_SCANCODE_M && !event->key.repeat) sdl_audio_toggle_mute();
    return 1;
  }
  uint8_t pressed[256] = {0};
  sdl_gamepad_event(event, pressed);
  key_latch_press_all(&read_latch, pressed);
  key_latch_press_all(&escape_latch, pressed);
  return 1;
}

// The keys down now, pads included.
void keys_now(uint8_t state[256]) {
  int count = 0;
  const Uint8 *keys = SDL_GetKeyboardState(&count);
  memset(state, 0, 256);
  for (int sc = 0; sc < count && sc < SDL_NUM_SCANCODES; sc++) {
    if (keys[sc] && dik_by_scancode[sc]) state[dik_by_scancode[sc]] = 0x80;
  }
  hide_switch_keys(keys, state);
  sdl_gamepad_keys(state);
}

}  // namespace

uint8_t sdl_scancode_dik(SDL_Scancode scancode) {
  for (const KeyCode &key : KEYS) {
    if (key.scancode == scancode) return key.dik;
  }
  return 0;
}

int sdl_keyboard_open(void) {
  for (int sc = 0; sc < SDL_NUM_SCANCODES; sc++) {
    dik_by_scancode[sc] = sdl_scancode_dik((SDL_Scancode)sc);
  }
  keyboard_open = sdl_window() != nullptr;
  if (!keyboard_open) return 0;
  key_latch_clear(&read_latch);
  key_latch_clear(&escape_latch);
  sdl_gamepad_open();
  SDL_DelEventWatch(input_watch, nullptr);
  SDL_AddEventWatch(input_watch, nullptr);
  return 1;
}

int sdl_keyboard_read(uint8_t state[256]) {
  if (!keyboard_open) return 0;
  sdl_pump_events();
  keys_now(state);
  input_arrived = key_latch_take(&read_latch, state) != 0;
  sdl_after_pump();
  return 1;
}

int sdl_take_input_arrived(void) {
  const bool arrived = input_arrived;
  input_arrived = false;
  return arrived ? 1 : 0;
}

int sdl_escape_down(void) {
  if (!sdl_window()) return 0;
  sdl_pump_events();
  sdl_after_pump();
  uint8_t state[256];
  keys_now(state);
  key_latch_take(&escape_latch, state);
  return state[DIK_ESCAPE] ? 1 : 0;
}

void sdl_keyboard_close(void) {
  if (!keyboard_open) return;
  SDL_DelEventWatch(input_watch, nullptr);
  sdl_gamepad_close();
  keyboard_open = 0;
}
