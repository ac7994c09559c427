// The platform layer: everything the game and its library need from the
// operating system, behind one narrow C-style interface.
//
// Each call goes to the backend a program picked at start-up, through that
// backend's table of calls (platform/plat_backend.h shows how, and where the
// recording layer sits):
//   platform/sdl/       the real game: an SDL2 window, audio and keyboard;
//   platform/headless/  tests and tools: a virtual clock, scripted keys,
//                       captured frames and a software audio mix;
//   platform/null/      answers "nothing here": the template of a backend.
// Nothing above this header knows which one it runs on. Files, folders and
// the environment are reached through platform/os.h, the same on every
// backend.
//
// Everything here is called from the game's one thread. Results follow the
// library's convention: 1 for success, 0 for failure, unless said otherwise.
//
// The interface is split by subsystem, one header each; a backend supplies
// every call of all five.
#ifndef QUILLFIRE_PLATFORM_H
#define QUILLFIRE_PLATFORM_H

#include "platform/plat_audio.h"
#include "platform/plat_display.h"
#include "platform/plat_keyboard.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"

#endif
