#include "platform/net/net_link.h"

#include <errno.h>
#include <netinet/in.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "platform/net/net_socket.h"

static int fail(NetLink *link, const char *format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(link->error, sizeof link->error, format, args);
  va_end(args);
  if (link->fd >= 0) close(link->fd);
  link->fd = -1;
  return 0;
}

static void link_reset(NetLink *link, uint32_t session, int is_host) {
  memset(link, 0, sizeof *link);
  link->fd = -1;
  link->session = session;
  link->is_host = is_host;
}

static int udp_socket(int family) {
  return socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

int net_link_open_host(NetLink *link, int tcp_listen_fd, uint32_t session) {
  link_reset(link, session, 1);
  struct sockaddr_storage address;
  socklen_t size = sizeof address;
  if (getsockname(tcp_listen_fd, (struct sockaddr *)&address, &size) != 0)
    return fail(link, "cannot find where the host listens: %s",
                strerror(errno));
  link->fd = udp_socket(address.ss_family);
  if (link->fd < 0)
    return fail(link, "cannot open a UDP socket: %s", strerror(errno));
  int one = 1;
  if (address.ss_family == AF_INET6) {
    // As the listening socket: every interface takes IPv4 too.
    int v6only = 1;
    socklen_t length = sizeof v6only;
    getsockopt(tcp_listen_fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, &length);
    setsockopt(link->fd, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only);
    // Each datagram's own destination, IPv4 ones too (as mapped addresses).
    setsockopt(link->fd, IPPROTO_IPV6, IPV6_RECVPKTINFO, &one, sizeof one);
  } else {
    setsockopt(link->fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
  }
  if (bind(link->fd, (struct sockaddr *)&address, size) != 0)
    return fail(link, "cannot open UDP port %u: %s",
                (unsigned)net_bound_port(tcp_listen_fd), strerror(errno));
  return 1;
}

int net_link_open_join(NetLink *link, int tcp_fd, uint32_t session) {
  link_reset(link, session, 0);
  link->peer_size = sizeof link->peer;
  if (getpeername(tcp_fd, (struct sockaddr *)&link->peer, &link->peer_size) !=
      0)
    return fail(link, "cannot find the host's address: %s", strerror(errno));
  link->fd = udp_socket(link->peer.ss_family);
  if (link->fd < 0)
    return fail(link, "cannot open a UDP socket: %s", strerror(errno));
  // Bound now (any address, a port the system picks), so the socket has its
  // port before the first datagram goes.
  struct sockaddr_storage any;
  memset(&any, 0, sizeof any);
  any.ss_family = link->peer.ss_family;
  socklen_t any_size = link->peer.ss_family == AF_INET6
                           ? sizeof(struct sockaddr_in6)
                           : sizeof(struct sockaddr_in);
  if (bind(link->fd, (struct sockaddr *)&any, any_size) != 0)
    return fail(link, "cannot open a UDP port: %s", strerror(errno));
  link->has_peer = 1;
  return 1;
}

int net_link_send(NetLink *link, const NetDatagram *d) {
  if (link->fd < 0 || link->dropped || !link->has_peer) return 0;
  uint8_t bytes[NET_DATAGRAM_SIZE_MAX];
  size_t size = net_datagram_write(d, bytes, sizeof bytes);
  if (size == 0) return 0;
  struct iovec piece = {bytes, size};
  struct msghdr message;
  memset(&message, 0, sizeof message);
  message.msg_name = &link->peer;
  message.msg_namelen = link->peer_size;
  message.msg_iov = &piece;
  message.msg_iovlen = 1;
  // The host answers from the address the joiner sent to.
  union {
    struct cmsghdr align;
    uint8_t room[CMSG_SPACE(sizeof(struct in6_pktinfo))];
  } control;
  memset(&control, 0, sizeof control);
  if (link->has_local) {
    int v6 = link->peer.ss_family == AF_INET6;
    size_t info = v6 ? sizeof link->local6 : sizeof link->local4;
    message.msg_control = control.room;
    message.msg_controllen = CMSG_SPACE(info);
    struct cmsghdr *c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = v6 ? IPPROTO_IPV6 : IPPROTO_IP;
    c->cmsg_type = v6 ? IPV6_PKTINFO : IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(info);
    memcpy(CMSG_DATA(c), v6 ? (const void *)&link->local6 : &link->local4,
           info);
  }
  ssize_t n;
  do {
    n = sendmsg(link->fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  if (n != (ssize_t)size) return 0;
  link->counts.datagrams_out++;
  link->counts.bytes_out += size;
  return 1;
}

// The same address and port (the fields that say where, not the padding).
static int same_address(const struct sockaddr_storage *a,
                        const struct sockaddr_storage *b) {
  if (a->ss_family != b->ss_family) return 0;
  if (a->ss_family == AF_INET) {
    const struct sockaddr_in *x = (const struct sockaddr_in *)a;
    const struct sockaddr_in *y = (const struct sockaddr_in *)b;
    return x->sin_port == y->sin_port &&
           x->sin_addr.s_addr == y->sin_addr.s_addr;
  }
  if (a->ss_family == AF_INET6) {
    const struct sockaddr_in6 *x = (const struct sockaddr_in6 *)a;
    const struct sockaddr_in6 *y = (const struct sockaddr_in6 *)b;
    return x->sin6_port == y->sin6_port &&
           memcmp(&x->sin6_addr, &y->sin6_addr, sizeof x->sin6_addr) == 0;
  }
  return 0;
}

// The peer goes silent for good: one line says why.
static int drop(NetLink *link, int garbage) {
  const char *who = link->is_host ? "player 2" : "the host";
  link->dropped = 1;
  if (garbage)
    snprintf(link->error, sizeof link->error,
             "%s sent too much garbage (over %d bad datagrams a second)", who,
             NET_LINK_GARBAGE_MAX);
  else
    snprintf(link->error, sizeof link->error,
             "%s sent too many datagrams (over %d a second)", who,
             NET_LINK_DATAGRAMS_PER_SECOND_MAX);
  return 0;
}

// Counts a datagram from the peer's address against what a player sends in
// a second. Returns 0 when the peer was dropped.
static int within_rate(NetLink *link, uint64_t now, int bad) {
  if (now - link->rate_begun_ms >= 1000) {
    link->rate_begun_ms = now;
    link->rate_datagrams = link->rate_garbage = 0;
  }
  link->rate_datagrams++;
  link->rate_garbage += bad;
  if (link->rate_datagrams > NET_LINK_DATAGRAMS_PER_SECOND_MAX)
    return drop(link, 0);
  if (link->rate_garbage > NET_LINK_GARBAGE_MAX) return drop(link, 1);
  return 1;
}

// Keeps where the peer's good datagram was sent to, for the answers.
// (Emscripten's C library, which the web build compiles this with, writes
// CMSG_NXTHDR with a comparison of mixed signs.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
static void keep_local(NetLink *link, struct msghdr *message) {
  for (struct cmsghdr *c = CMSG_FIRSTHDR(message); c;
       c = CMSG_NXTHDR(message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      struct in_pktinfo info;
      memcpy(&info, CMSG_DATA(c), sizeof info);
      memset(&link->local4, 0, sizeof link->local4);
      link->local4.ipi_spec_dst = info.ipi_addr;
      link->has_local = 1;
    } else if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_PKTINFO) {
      memcpy(&link->local6, CMSG_DATA(c), sizeof link->local6);
      link->has_local = 1;
    }
  }
}
#pragma GCC diagnostic pop

int net_link_receive(NetLink *link, NetDatagram *d) {
  for (int i = 0; i < NET_LINK_READS_PER_CALL; ++i) {
    if (link->fd < 0 || link->dropped) return 0;
    // One byte more than the largest datagram, so a longer one shows.
    uint8_t bytes[NET_DATAGRAM_SIZE_MAX + 1];
    struct sockaddr_storage from;
    struct iovec piece = {bytes, sizeof bytes};
    union {
      struct cmsghdr align;
      uint8_t room[CMSG_SPACE(sizeof(struct in6_pktinfo)) +
                   CMSG_SPACE(sizeof(struct in_pktinfo))];
    } control;
    struct msghdr message;
    memset(&message, 0, sizeof message);
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &piece;
    message.msg_iovlen = 1;
    message.msg_control = control.room;
    message.msg_controllen = sizeof control.room;
    ssize_t n = recvmsg(link->fd, &message, MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return 0;  // nothing waiting (or an error the next call sees)
    socklen_t from_size = message.msg_namelen;
    uint64_t now = net_now_ms();
    const char *why = NULL;
    int good = net_datagram_read(bytes, (size_t)n, d, &why) &&
               d->session == link->session;
    int from_peer = link->has_peer && same_address(&from, &link->peer);
    // Only what comes from the peer's address counts against it: strangers
    // can't get a player dropped.
    if (from_peer && !within_rate(link, now, !good)) return 0;
    if (!good || (!from_peer && !link->is_host)) {
      link->counts.refused++;
      continue;
    }
    if (!from_peer) {
      // The host's first word from the joiner, or the joiner behind a
      // translated address now: its rate starts afresh.
      memcpy(&link->peer, &from, from_size);
      link->peer_size = from_size;
      link->has_peer = 1;
      link->rate_begun_ms = now;
      link->rate_datagrams = 1;
      link->rate_garbage = 0;
    }
    if (link->is_host) keep_local(link, &message);
    link->counts.datagrams_in++;
    link->counts.bytes_in += (uint64_t)n;
    link->last_heard_ms = now;
    return 1;
  }
  return 0;
}

void net_link_close(NetLink *link) {
  if (link->fd >= 0) close(link->fd);
  link->fd = -1;
}
