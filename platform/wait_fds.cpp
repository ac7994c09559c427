#include "platform/wait_fds.h"

namespace {
int watched[WAIT_FDS_MAX];
int watched_count;
}  // namespace

int wait_fds_add(int fd) {
  if (fd < 0) return 0;
  for (int i = 0; i < watched_count; i++) {
    if (watched[i] == fd) return 1;
  }
  if (watched_count == WAIT_FDS_MAX) return 0;
  watched[watched_count++] = fd;
  return 1;
}

void wait_fds_remove(int fd) {
  for (int i = 0; i < watched_count; i++) {
    if (watched[i] == fd) {
      watched[i] = watched[--watched_count];
      return;
    }
  }
}

int wait_fds_fill(struct pollfd *out) {
  for (int i = 0; i < watched_count; i++) {
    out[i].fd = watched[i];
    out[i].events = POLLIN;
    out[i].revents = 0;
  }
  return watched_count;
}

int wait_fds_count(void) { return watched_count; }

int wait_fds_ready(const struct pollfd *fds, int count) {
  for (int i = 0; i < count; i++) {
    if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) return 1;
  }
  return 0;
}

void wait_fds_clear(void) { watched_count = 0; }
