// The SDL backend's table: its functions live in the files beside this one,
// one per part of the interface (window, time, present, keyboard, audio).
#include "platform/sdl/sdl_backend.h"

PLAT_BACKEND_DECLARATIONS(sdl)

const PlatBackend *sdl_backend(void) {
  static const PlatBackend table = PLAT_BACKEND_TABLE(sdl);
  return &table;
}
