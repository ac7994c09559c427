// Shared by the backends, not by the game: the window record and the queue
// of posted messages, which work the same whatever shows the window.
#ifndef QUILLFIRE_MESSAGES_H
#define QUILLFIRE_MESSAGES_H

#include "platform/platform.h"

struct PlatWindow {
  void *native;  // the backend's own window, if it has one
  PlatWindowProc proc;
  int alive;
};

// Takes the oldest queued message: 1 and `msg` filled, or 0 when empty.
int messages_take(PlatMessage *msg);

// Queues a message at the end, as the backend finds it (a close request).
void messages_push(PlatMessage msg);

// Empties the queue.
void messages_clear(void);

// What plat_dispatch_message, plat_post_message, plat_post_quit_message and
// plat_default_window_proc do, the same on every backend: each backend's
// table names its own functions, which forward to these.
intptr_t messages_dispatch(const PlatMessage *msg);
int messages_post(PlatWindow *window, uint32_t message, uintptr_t wparam,
                  intptr_t lparam);
void messages_post_quit(int exit_code);
intptr_t messages_default_proc(PlatWindow *window, uint32_t message,
                               uintptr_t wparam, intptr_t lparam);

// Defines a backend's four calls of the queue, each forwarding to the one
// above: MESSAGES_BACKEND_CALLS(sdl) makes sdl_dispatch_message,
// sdl_post_message, sdl_post_quit_message and sdl_default_window_proc.
#define MESSAGES_BACKEND_CALLS(prefix)                                        \
  intptr_t prefix##_dispatch_message(const PlatMessage *msg) {                \
    return messages_dispatch(msg);                                            \
  }                                                                           \
  int prefix##_post_message(PlatWindow *window, uint32_t message,             \
                            uintptr_t wparam, intptr_t lparam) {              \
    return messages_post(window, message, wparam, lparam);                    \
  }                                                                           \
  void prefix##_post_quit_message(int exit_code) {                            \
    messages_post_quit(exit_code);                                            \
  }                                                                           \
  intptr_t prefix##_default_window_proc(PlatWindow *window, uint32_t message, \
                                        uintptr_t wparam, intptr_t lparam) {  \
    return messages_default_proc(window, message, wparam, lparam);            \
  }

#endif
