// The real game's backend: an SDL2 window, audio, keyboard and pads.
#ifndef QUILLFIRE_SDL_BACKEND_H
#define QUILLFIRE_SDL_BACKEND_H

#include "platform/plat_backend.h"

// Its table, for main's plat_use (and the SDL backend's own tests).
const PlatBackend *sdl_backend(void);

#endif
