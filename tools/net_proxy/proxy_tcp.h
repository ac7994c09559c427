// The proxy's TCP half: each accepted connection passed through to the
// target, each way delayed, in order and never lost; ended after either
// side's close has crossed the link. Called by the proxy's loop only.
#pragma once

#include <poll.h>
#include <stdint.h>
#include <sys/socket.h>

#include <vector>

// Once, before the loop: the listening socket and the target's address.
void tcp_start(int listen_fd, const sockaddr_storage &target,
               socklen_t target_length);

// Before each wait: adds the sockets to watch to *fds and brings *wake
// forward to the next bytes or close due.
void tcp_watch(std::vector<pollfd> *fds, int64_t now, int64_t *wake);

// After each wait, with the part of the watched sockets tcp_watch added:
// accepts, reads, writes what is due and closes what has ended.
void tcp_serve(const pollfd *fds, size_t count, int64_t now);
