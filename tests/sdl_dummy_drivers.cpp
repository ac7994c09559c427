// Linked into the SDL backend's tests: SDL's dummy video and audio drivers
// need no screen or sound card, so the tests run the same everywhere. Set
// before main, unless the person running them chose a driver; and the SDL
// backend is the one in use.
#include <stdlib.h>

#include "platform/sdl/sdl_backend.h"

namespace {

struct DummyDrivers {
  DummyDrivers() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    plat_use(sdl_backend());
  }
} dummy_drivers;

}  // namespace
