// The proxy's UDP half: one upstream socket per client address (as a home
// router's address translation gives), and a queue of datagrams by the time
// each is due. Called by the proxy's loop only.
#pragma once

#include <poll.h>
#include <stdint.h>
#include <sys/socket.h>

#include <vector>

// Once, before the loop: the listening socket and the target's address.
void udp_start(int listen_fd, const sockaddr_storage &target,
               socklen_t target_length, double loss_percent,
               double reorder_percent);

// Before each wait: adds the sockets to watch to *fds and brings *wake
// forward to the next datagram due.
void udp_watch(std::vector<pollfd> *fds, int64_t *wake);

// After each wait, with the part of the watched sockets udp_watch added:
// sends what is due, then reads what came.
void udp_serve(const pollfd *fds, size_t count, int64_t now);
