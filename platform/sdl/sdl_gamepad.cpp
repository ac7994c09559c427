// Gamepads: SDL game controllers in two places, read as keys through the
// shared mapping. Pads are opened and closed on the game's thread in
// sdl_gamepad_keys, never from inside SDL's event handling.
#include "platform/sdl/sdl_gamepad.h"

#include "platform/pad_keys.h"
#include "platform/sdl/sdl_internal.h"

namespace {

struct Pad {
  SDL_GameController *controller;
  SDL_JoystickID id;
};

Pad pads[PAD_SLOTS];
int controllers_up;
int devices_changed;

// Which of SDL's buttons is which of ours.
const SDL_GameControllerButton SDL_BUTTONS[PAD_BUTTON_COUNT] = {
    SDL_CONTROLLER_BUTTON_A,         SDL_CONTROLLER_BUTTON_B,
    SDL_CONTROLLER_BUTTON_BACK,      SDL_CONTROLLER_BUTTON_START,
    SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
};

int slot_of(SDL_JoystickID id) {
  for (int slot = 0; slot < PAD_SLOTS; slot++) {
    if (pads[slot].controller && pads[slot].id == id) return slot;
  }
  return -1;
}

void close_slot(int slot) {
  SDL_GameControllerClose(pads[slot].controller);
  pads[slot] = Pad{nullptr, -1};
}

// Lets go of pads that are gone and opens new ones into free places.
void rescan() {
  devices_changed = 0;
  for (int slot = 0; slot < PAD_SLOTS; slot++) {
    if (pads[slot].controller &&
        !SDL_GameControllerGetAttached(pads[slot].controller)) {
      close_slot(slot);
    }
  }
  for (int index = 0; index < SDL_NumJoysticks(); index++) {
    if (!SDL_IsGameController(index)) continue;
    if (slot_of(SDL_JoystickGetDeviceInstanceID(index)) >= 0) continue;
    int free_slot = 0;
    while (free_slot < PAD_SLOTS && pads[free_slot].controller) free_slot++;
    if (free_slot == PAD_SLOTS) return;
    SDL_GameController *controller = SDL_GameControllerOpen(index);
    if (!controller) continue;
    pads[free_slot] =
        Pad{controller,
            SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller))};
  }
}

PadState read_pad(SDL_GameController *controller) {
  PadState pad = {};
  for (int b = 0; b < PAD_BUTTON_COUNT; b++) {
    pad.buttons[b] = SDL_GameControllerGetButton(controller, SDL_BUTTONS[b]);
  }
  pad.left_x = SDL_GameControllerGetAxis(controller, SDL_CONTROLLER_AXIS_LEFTX);
  return pad;
}

}  // namespace

int sdl_gamepad_open(void) {
  for (Pad &pad : pads) pad = Pad{nullptr, -1};
  // Like the keyboard, the pads are read whichever window has the focus.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  const int saved = sdl_hush_stderr();
  controllers_up = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
  sdl_restore_stderr(saved);
  devices_changed = 1;
  return controllers_up;
}

void sdl_gamepad_close(void) {
  if (!controllers_up) return;
  for (int slot = 0; slot < PAD_SLOTS; slot++) {
    if (pads[slot].controller) close_slot(slot);
  }
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  controllers_up = 0;
}

void sdl_gamepad_keys(uint8_t state[256]) {
  if (!controllers_up) return;
  if (devices_changed) rescan();
  for (int slot = 0; slot < PAD_SLOTS; slot++) {
    if (!pads[slot].controller) continue;
    const PadState pad = read_pad(pads[slot].controller);
    pad_keys(&pad, slot, state);
  }
}

void sdl_gamepad_event(const SDL_Event *event, uint8_t pressed[256]) {
  switch (event->type) {
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_JOYDEVICEADDED:
    case SDL_JOYDEVICEREMOVED:
      devices_changed = 1;
      return;
    case SDL_CONTROLLERBUTTONDOWN: {
      const int slot = slot_of(event->cbutton.which);
      if (slot < 0) return;
      PadState pad = {};
      for (int b = 0; b < PAD_BUTTON_COUNT; b++) {
        if (SDL_BUTTONS[b] == event->cbutton.button) pad.buttons[b] = 1;
      }
      pad_keys(&pad, slot, pressed);
      return;
    }
    case SDL_CONTROLLERAXISMOTION: {
      const int slot = slot_of(event->caxis.which);
      if (slot < 0 || event->caxis.axis != SDL_CONTROLLER_AXIS_LEFTX) return;
      PadState pad = {};
      pad.left_x = event->caxis.value;
      pad_keys(&pad, slot, pressed);
      return;
    }
    default:
      return;
  }
}

int sdl_gamepad_count(void) {
  int count = 0;
  for (const Pad &pad : pads) count += pad.controller != nullptr;
  return count;
}
