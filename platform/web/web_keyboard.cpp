// The keyboard from the page's key events, by DirectInput key code, with
// the gamepads as keys. Each event is taken from the page's queue by the
// game's own reads and waits (web_take_events), so that a press is
// remembered until the next read even when the key is up again by then; M
// is the mute switch of the sound.
#include <emscripten.h>
#include <string.h>

#include "platform/dik.h"
#include "platform/key_latch.h"
#include "platform/pad_keys.h"
#include "platform/web/web_internal.h"
#include "platform/web/web_keymap.h"

namespace {

int keyboard_open;
uint8_t keys_down[256];
// Presses since the last keyboard read, and since the last Escape query.
KeyLatch read_latch, escape_latch;
bool input_arrived;
// The pads' keys at the last look, so that a button going down is a press.
uint8_t last_pad_keys[256];
int pads_plugged;

// What the page says of each pad: connected, A, B, Back, Start, d-pad left
// and right, the stick's x.
const int PAD_FIELDS = 8;

}  // namespace

EM_JS(void, web_js_map_key, (const char *code, int dik),
      { qfWeb.keyMap[UTF8ToString(code)] = dik; });
EM_JS(int, web_js_read_pads, (int32_t * out, int slots),
      { return qfWeb.readPads(out, slots); });
EM_JS(int, web_js_take_input_arrived, (void), {
  var arrived = qfWeb.inputArrived ? 1 : 0;
  qfWeb.inputArrived = false;
  return arrived;
});

void web_key_event(uint8_t dik, int down, int repeat) {
  if (!dik) return;
  input_arrived = true;
  if (!down) {
    keys_down[dik] = 0;
    return;
  }
  keys_down[dik] = 0x80;
  key_latch_key_down(&read_latch, dik, repeat);
  key_latch_key_down(&escape_latch, dik, repeat);
  if (dik == DIK_M && !repeat) web_audio_toggle_mute();
}

int web_gamepad_keys(uint8_t keys[256]) {
  int32_t fields[PAD_SLOTS * PAD_FIELDS];
  pads_plugged = web_js_read_pads(fields, PAD_SLOTS);
  uint8_t now[256] = {0};
  for (int32_t slot = 0; slot < PAD_SLOTS; slot++) {
    const int32_t *f = fields + slot * PAD_FIELDS;
    if (!f[0]) continue;
    PadState pad = {};
    for (int b = 0; b < PAD_BUTTON_COUNT; b++)
      pad.buttons[b] = (uint8_t)f[1 + b];
    pad.left_x = (int16_t)f[7];
    pad_keys(&pad, slot, now);
  }
  uint8_t pressed[256] = {0};
  int changed = 0;
  for (int k = 0; k < 256; k++) {
    if (now[k] != last_pad_keys[k]) changed = 1;
    if (now[k] && !last_pad_keys[k]) pressed[k] = 0x80;
    if (now[k]) keys[k] = 0x80;
  }
  memcpy(last_pad_keys, now, sizeof last_pad_keys);
  key_latch_press_all(&read_latch, pressed);
  key_latch_press_all(&escape_latch, pressed);
  return changed;
}

int web_gamepads_plugged(void) { return pads_plugged; }

int web_take_input_arrived(void) {
  const bool arrived = input_arrived || web_js_take_input_arrived();
  input_arrived = false;
  return arrived ? 1 : 0;
}

int web_keyboard_open(void) {
  int32_t count = 0;
  const WebKey *keys = web_keymap(&count);
  for (int32_t i = 0; i < count; i++) web_js_map_key(keys[i].code, keys[i].dik);
  keyboard_open = web_window() != nullptr;
  if (!keyboard_open) return 0;
  memset(keys_down, 0, sizeof keys_down);
  memset(last_pad_keys, 0, sizeof last_pad_keys);
  key_latch_clear(&read_latch);
  key_latch_clear(&escape_latch);
  return 1;
}

int web_keyboard_read(uint8_t state[256]) {
  if (!keyboard_open) return 0;
  web_take_events();
  memcpy(state, keys_down, 256);
  web_gamepad_keys(state);
  input_arrived = key_latch_take(&read_latch, state) != 0;
  web_js_take_input_arrived();
  return 1;
}

int web_escape_down(void) {
  if (!web_window()) return 0;
  web_take_events();
  uint8_t state[256];
  memcpy(state, keys_down, sizeof state);
  web_gamepad_keys(state);
  key_latch_take(&escape_latch, state);
  return state[DIK_ESCAPE] ? 1 : 0;
}

void web_keyboard_close(void) { keyboard_open = 0; }
