// Shared by the backends, not by the game: the descriptors whose input ends
// plat_wait_input (plat_wait_watch, plat_wait_unwatch), as a poll() list.
#ifndef QUILLFIRE_WAIT_FDS_H
#define QUILLFIRE_WAIT_FDS_H

#include <poll.h>

// Room for a host's listening sockets and every connection it keeps.
const int WAIT_FDS_MAX = 128;

// Adds `fd` (once, however often it is added). Returns 0 when full.
int wait_fds_add(int fd);
void wait_fds_remove(int fd);

// Fills `out` (room for WAIT_FDS_MAX) with every watched descriptor asking
// for input and returns how many.
int wait_fds_fill(struct pollfd *out);

// How many descriptors are watched.
int wait_fds_count(void);

// 1 when one of the `count` entries of a poll() list has input (or an end
// or error, which the reader of that descriptor must see at once).
int wait_fds_ready(const struct pollfd *fds, int count);

// Forgets every descriptor (a backend's reset).
void wait_fds_clear(void);

#endif
