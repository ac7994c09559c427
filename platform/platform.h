// The platform layer: everything the game and its library need from the
// operating system, behind one narrow C-style interface.
//
// Two implementations are linked at build time:
//   platform/sdl/       the real game: an SDL2 window, audio and keyboard;
//   platform/headless/  tests and tools: a virtual clock, scripted keys,
//                       captured frames and a software audio mix.
// Nothing above this header knows which one it runs on.
//
// Everything here is called from the game's one thread. Results follow the
// library's convention: 1 for success, 0 for failure, unless said otherwise.
//
// The interface is split by subsystem, one header each; a backend supplies
// every call of all five (platform/null/ is the template to start from).
#ifndef QUILLFIRE_PLATFORM_H
#define QUILLFIRE_PLATFORM_H

#include "platform/plat_audio.h"
#include "platform/plat_display.h"
#include "platform/plat_keyboard.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"

#endif
