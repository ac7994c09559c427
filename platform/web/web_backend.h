// The browser backend: the game in a web page, built with Emscripten. The
// picture goes on the page's canvas, keys and gamepads come from the page's
// events, the sounds play through Web Audio, and every wait gives the
// browser its turn (the program is built with Asyncify, so the game's own
// loops run as they are).
#ifndef QUILLFIRE_WEB_BACKEND_H
#define QUILLFIRE_WEB_BACKEND_H

#include "platform/plat_backend.h"

// Its table, for plat_use (the web program's entry picks it at start-up).
const PlatBackend *web_backend(void);

// Called by the web program as the game ends: how a run of `mode` ("play",
// "replay" or "timedemo") ended, for the page to show and its tests to read
// (Module.qfWeb.result): the exit status, the frames presented, whether the
// replay played to the recording's end and the real seconds it took.
void web_report(const char *mode, int status, double frames, int complete,
                double seconds);

// Called by the web program when the game can't start: the page shows the
// line instead of the canvas.
void web_fail(const char *line);

#endif
