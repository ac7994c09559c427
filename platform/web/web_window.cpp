// The page as the game's window: the canvas is the one window, the page's
// visibility its keyboard focus (a hidden tab pauses a running rally), and
// the messages go through the queue every backend shares.
#include <emscripten.h>

#include "platform/messages.h"
#include "platform/web/web_internal.h"

namespace {

PlatWindow window;
int token;
const char *error_text = "";

// Key events taken from the page's queue (web_glue.js) at a time.
const int MAX_KEY_EVENTS = 256;

}  // namespace

EM_JS(int, web_js_has_canvas, (void), { return qfWeb.canvas() ? 1 : 0; });
EM_JS(int, web_js_take_key_events, (uint8_t * out, int max), {
  var events = qfWeb.keyEvents;
  var count = Math.min(max, Math.floor(events.length / 3));
  for (var i = 0; i < count * 3; i++) HEAPU8[out + i] = events[i];
  events.splice(0, count * 3);
  return count;
});
EM_JS(int, web_js_take_focus_event, (void),
      { return qfWeb.focusEvents.length ? qfWeb.focusEvents.shift() : -1; });
EM_JS(void, web_js_listen, (void), { qfWeb.listen(); });
EM_JS(int, web_js_viewport, (int32_t * size), {
  HEAP32[size >> 2] = window.innerWidth;
  HEAP32[(size >> 2) + 1] = window.innerHeight;
  return 1;
});
EM_JS(void, web_js_show_cursor, (int show), {
  var canvas = qfWeb.canvas();
  if (canvas) canvas.style.cursor = show ? "" : "none";
});

void web_take_events(void) {
  uint8_t events[MAX_KEY_EVENTS * 3];
  int count;
  while ((count = web_js_take_key_events(events, MAX_KEY_EVENTS)) > 0) {
    for (int i = 0; i < count; i++) {
      web_key_event(events[3 * i], events[3 * i + 1], events[3 * i + 2]);
    }
  }
  int shown;
  while ((shown = web_js_take_focus_event()) >= 0) {
    if (window.alive) {
      messages_push(PlatMessage{
          &window, shown ? (uint32_t)WM_SETFOCUS : (uint32_t)WM_KILLFOCUS, 0,
          0});
    }
  }
}

PlatWindow *web_window(void) { return window.alive ? &window : nullptr; }

int web_init(void) {
  if (!web_js_has_canvas()) {
    error_text = "the page has no canvas with the id \"screen\"";
    return 0;
  }
  web_js_listen();
  web_now_ms();
  return 1;
}

const char *web_error(void) { return error_text; }
void *web_instance(void) { return &token; }

// The page's inside stands for the desktop.
int web_desktop_size(int32_t *width, int32_t *height) {
  int32_t size[2];
  if (!web_js_viewport(size)) return 0;
  *width = size[0];
  *height = size[1];
  return 1;
}

// The page decides how it is shown: always the largest 4:3 area, full
// screen only when the player asks the browser for it.
void web_window_options(int, int) {}
void web_window_place_restore(const PlatWindowPlace *) {}
int web_window_place(PlatWindowPlace *) { return 0; }
void web_window_icon(const uint32_t *, int32_t, int32_t) {}

PlatWindow *web_window_create(const char *, int32_t, int32_t, int32_t, int32_t,
                              PlatWindowProc proc) {
  window = PlatWindow{nullptr, proc, 1};
  messages_clear();
  proc(&window, WM_CREATE, 0, 0);
  return &window;
}

void web_show_cursor(int show) { web_js_show_cursor(show); }

void web_shutdown(void) {
  window.alive = 0;
  messages_clear();
}

int web_peek_message(PlatMessage *msg) {
  web_take_events();
  return messages_take(msg);
}

// A page is never closed from inside: the browser ends it with its tab.
int web_close_requested(void) { return 0; }

// The message queue the backends share (platform/messages.h).
MESSAGES_BACKEND_CALLS(web)
