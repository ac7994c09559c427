#include "platform/messages.h"

#include <deque>

namespace {

std::deque<PlatMessage> queue;

}  // namespace

int messages_take(PlatMessage *msg) {
  if (queue.empty()) return 0;
  *msg = queue.front();
  queue.pop_front();
  return 1;
}

void messages_push(PlatMessage msg) { queue.push_back(msg); }

void messages_clear(void) { queue.clear(); }

intptr_t messages_dispatch(const PlatMessage *msg) {
  if (!msg->window || !msg->window->alive || !msg->window->proc) return 0;
  return msg->window->proc(msg->window, msg->message, msg->wparam, msg->lparam);
}

int messages_post(PlatWindow *window, uint32_t message, uintptr_t wparam,
                  intptr_t lparam) {
  if (!window) return 0;
  messages_push(PlatMessage{window, message, wparam, lparam});
  return 1;
}

void messages_post_quit(int exit_code) {
  messages_push(PlatMessage{nullptr, WM_QUIT, (uintptr_t)exit_code, 0});
}

intptr_t messages_default_proc(PlatWindow *window, uint32_t message,
                               uintptr_t wparam, intptr_t lparam) {
  (void)wparam;
  (void)lparam;
  if (message == WM_CLOSE && window && window->alive) {
    // The window itself stays up until the program ends; only the game is
    // told that it is going.
    window->proc(window, WM_DESTROY, 0, 0);
  }
  return 0;
}
