#include "platform/net/net_host.h"

#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <new>

#include "platform/net/net_socket.h"
#include "platform/platform.h"

// The stream runs at some hundreds of bytes a second of play: 16 KiB behind
// is half a minute or more.
const NetLimits NET_LIMITS_DEFAULT = {2000,      5000,  10000, 1000,
                                      16 * 1024, 10000, 10000};

// Connections taken from the system in one poll, at most: a burst of them
// is taken over a few frames rather than in one long one.
static const int ACCEPTS_PER_POLL = 16;

// The system's send buffer for each client is kept small, so that a client
// that does not read shows up as a growing backlog here within seconds
// rather than after the system has swallowed minutes of stream.
static const int PEER_SEND_BUFFER = 32 * 1024;

static void notice(NetHost *host, const char *format, ...) {
  if (host->notice_count == NET_NOTICES_MAX) {  // oldest goes
    memmove(host->notices[0], host->notices[1],
            sizeof host->notices[0] * (NET_NOTICES_MAX - 1));
    host->notice_count--;
  }
  va_list args;
  va_start(args, format);
  vsnprintf(host->notices[host->notice_count++], NET_NOTICE_SIZE, format, args);
  va_end(args);
}

static const char *role_name(const NetPeer *peer) {
  return peer->role == NET_ROLE_JOIN    ? "player 2"
         : peer->role == NET_ROLE_WATCH ? "a watcher"
                                        : "a connection";
}

// Ends a connection; `why`, when given, is the notice's reason, a format.
static void drop(NetHost *host, NetPeer *peer, const char *why, ...) {
  if (why) {
    char reason[NET_NOTICE_SIZE];
    va_list args;
    va_start(args, why);
    vsnprintf(reason, sizeof reason, why, args);
    va_end(args);
    notice(host, "%s dropped: %s", role_name(peer), reason);
  }
  plat_wait_unwatch(peer->fd);
  close(peer->fd);
  peer->fd = -1;
  peer->role = 0;
  peer->keys = 0;
}

int net_host_open(NetHost *host, const char *where, const char *version) {
  host->listen_fd = -1;
  host->stream.clear();
  host->notice_count = 0;
  host->error[0] = 0;
  host->limits = NET_LIMITS_DEFAULT;
  snprintf(host->version, sizeof host->version, "%s", version);
  for (NetPeer &peer : host->peers) peer.fd = -1;
  NetEndpoint endpoint;
  if (!net_parse_listen(where, &endpoint, host->error, sizeof host->error))
    return 0;
  host->listen_fd = net_listen(&endpoint, host->error, sizeof host->error);
  if (host->listen_fd < 0) return 0;
  // The game's waits for a key end when a client comes or sends.
  plat_wait_watch(host->listen_fd);
  host->port = net_bound_port(host->listen_fd);
  // Where to join, as players can write it: the address asked for, or for
  // every interface this machine's own (IPv4 alone for 0.0.0.0), loopback
  // when it has none.
  char found[4][NET_ADDRESS_SIZE];
  int count = 0;
  const int ipv4_only = strcmp(endpoint.host, "0.0.0.0") == 0;
  if (endpoint.host[0] && !ipv4_only) {
    snprintf(found[count++], NET_ADDRESS_SIZE, "%s", endpoint.host);
  } else {
    int n = net_local_addresses(found, 4);
    for (int i = 0; i < n; ++i)
      if (!ipv4_only || !strchr(found[i], ':'))
        memmove(found[count++], found[i], NET_ADDRESS_SIZE);
    if (count == 0) snprintf(found[count++], NET_ADDRESS_SIZE, "127.0.0.1");
  }
  host->also[0] = 0;
  for (int i = 0; i < count; ++i) {
    char *out = i == 0 ? host->address : host->also + strlen(host->also);
    size_t room =
        i == 0 ? sizeof host->address : sizeof host->also - strlen(host->also);
    snprintf(out, room, strchr(found[i], ':') ? "%s[%s]:%u" : "%s%s:%u",
             i > 1 ? ", " : "", found[i], (unsigned)host->port);
  }
  return 1;
}

// A free slot, or the place of the connection that has waited longest for
// its greeting when NET_GREETING_SLOTS are waiting; null when there is none.
static NetPeer *slot_for_newcomer(NetHost *host) {
  NetPeer *free_slot = NULL, *oldest = NULL;
  int waiting = 0;
  for (NetPeer &p : host->peers) {
    if (p.fd < 0) {
      if (!free_slot) free_slot = &p;
    } else if (!p.role) {
      waiting++;
      if (!oldest || p.opened_ms < oldest->opened_ms) oldest = &p;
    }
  }
  if (waiting < NET_GREETING_SLOTS && free_slot) return free_slot;
  if (!oldest) return NULL;
  drop(host, oldest, "no greeting yet, and its place was needed");
  return oldest;
}

static void accept_new(NetHost *host) {
  for (int i = 0; i < ACCEPTS_PER_POLL; ++i) {
    int fd = accept4(host->listen_fd, NULL, NULL, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    NetPeer *peer = slot_for_newcomer(host);
    if (!peer) {
      // No room even to answer properly: say so in one greeting and close.
      uint8_t answer[NET_GREETING_MAX];
      size_t n = net_write_greeting(answer, NET_REFUSED_FULL, host->version);
      (void)!send(fd, answer, n, MSG_NOSIGNAL);
      close(fd);
      notice(host, "a connection refused: %d already connected", NET_PEERS_MAX);
      continue;
    }
    int size = PEER_SEND_BUFFER;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    uint64_t now = net_now_ms();
    peer->fd = fd;
    plat_wait_watch(fd);
    peer->role = 0;
    peer->caught_up = 0;
    peer->closing = 0;
    net_reader_init(&peer->reader, NET_FROM_CLIENT);
    peer->sent = peer->chunk_end = peer->taken = 0;
    peer->opened_ms = peer->last_heard_ms = peer->last_sent_ms = now;
    peer->last_progress_ms = now;
    peer->message_begun_ms = now;
    peer->rate_begun_ms = now;
    peer->rate_messages = peer->rate_bytes = 0;
    peer->keys = 0;
    peer->match_due = 0;
    peer->out_have = peer->out_sent = 0;
    peer->in_have = 0;
  }
}

static void answer(NetHost *host, NetPeer *peer, uint8_t code) {
  peer->out_have = net_write_greeting(peer->out, code, host->version);
  peer->out_sent = 0;
  if (code != NET_WELCOME_JOIN && code != NET_WELCOME_WATCH) peer->closing = 1;
}

static void greeted(NetHost *host, NetPeer *peer) {
  const NetGreeting *g = &peer->reader.greeting;
  if (strcmp(g->version, host->version) != 0) {
    notice(host, "a connection refused: game version %s, this is %s",
           g->version, host->version);
    answer(host, peer, NET_REFUSED_VERSION);
  } else if (g->code == NET_ROLE_JOIN && net_host_has_joiner(host)) {
    notice(host, "a second player 2 refused");
    answer(host, peer, NET_REFUSED_TAKEN);
  } else if (g->code == NET_ROLE_WATCH &&
             net_host_watchers(host) >= NET_WATCHERS_MAX) {
    notice(host, "a watcher refused: %d already watch", NET_WATCHERS_MAX);
    answer(host, peer, NET_REFUSED_FULL);
  } else if (g->code == NET_ROLE_JOIN || g->code == NET_ROLE_WATCH) {
    peer->role = g->code;
    notice(host, "%s connected", role_name(peer));
    answer(host, peer,
           g->code == NET_ROLE_JOIN ? NET_WELCOME_JOIN : NET_WELCOME_WATCH);
  } else {
    notice(host, "a connection refused: it asked for role %u",
           (unsigned)g->code);
    answer(host, peer, NET_REFUSED_REQUEST);
  }
}

// Counts what came against what a player can send in a second. Returns 0
// when the peer was dropped.
static int within_rate(NetHost *host, NetPeer *peer, uint64_t now, size_t bytes,
                       int messages) {
  if (now - peer->rate_begun_ms >= 1000) {
    peer->rate_begun_ms = now;
    peer->rate_messages = peer->rate_bytes = 0;
  }
  peer->rate_bytes += (uint32_t)bytes;
  peer->rate_messages += (uint32_t)messages;
  if (peer->rate_messages > NET_MESSAGES_PER_SECOND_MAX) {
    drop(host, peer, "sent more than a player can (over %d messages a second)",
         NET_MESSAGES_PER_SECOND_MAX);
    return 0;
  }
  if (peer->rate_bytes > NET_BYTES_PER_SECOND_MAX) {
    drop(host, peer, "sent more than a player can (over %d KiB a second)",
         NET_BYTES_PER_SECOND_MAX / 1024);
    return 0;
  }
  return 1;
}

// Reads what the client sent, at most NET_READ_PER_POLL bytes: the rest
// waits for the next poll. Returns 0 when the peer was dropped.
static int receive(NetHost *host, NetPeer *peer, uint64_t now) {
  for (size_t taken = 0; taken < NET_READ_PER_POLL;) {
    ssize_t n = recv(peer->fd, peer->in, sizeof peer->in, 0);
    if (n == 0) {
      if (peer->reader.mid_message)
        drop(host, peer, "connection closed in the middle of a message");
      else if (peer->role)
        drop(host, peer, "left");
      else
        drop(host, peer, "closed before its greeting");
      return 0;
    }
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) break;
      drop(host, peer, "%s", strerror(errno));
      return 0;
    }
    taken += (size_t)n;
    peer->last_heard_ms = now;
    if (!within_rate(host, peer, now, (size_t)n, 0)) return 0;
    if (peer->closing) continue;  // refused: what it says no longer matters
    int was_mid = peer->reader.mid_message;
    const uint8_t *data = peer->in;
    size_t size = (size_t)n;
    while (size > 0) {
      NetMessage message;
      int result = net_reader_take(&peer->reader, &data, &size, &message);
      if (result == NET_READ_FAILED) {
        if (!peer->reader.greeted && peer->reader.greeting.protocol &&
            peer->reader.greeting.protocol != NET_PROTOCOL) {
          notice(host, "a connection refused: %s", peer->reader.error);
          answer(host, peer, NET_REFUSED_VERSION);
          break;
        }
        drop(host, peer, "%s", peer->reader.error);
        return 0;
      }
      if (result != NET_READ_MORE && !within_rate(host, peer, now, 0, 1))
        return 0;
      if (result == NET_READ_GREETING) {
        greeted(host, peer);
        if (peer->closing) break;
      } else if (result == NET_READ_MESSAGE && message.type == NET_MSG_KEYS) {
        if (peer->role != NET_ROLE_JOIN) {
          drop(host, peer, "a watcher sent keys");
          return 0;
        }
        peer->keys = message.keys;
      } else if (result == NET_READ_MESSAGE && message.type == NET_MSG_TAKEN) {
        if (message.taken > peer->sent) {
          drop(host, peer, "it says it took more than it was sent");
          return 0;
        }
        if (message.taken > peer->taken) peer->last_progress_ms = now;
        peer->taken = message.taken;
      } else if (result == NET_READ_MESSAGE && message.type == NET_MSG_LEAVE) {
        notice(host, "%s left", role_name(peer));
        drop(host, peer, NULL);
        return 0;
      }
      was_mid = 0;
      if (result == NET_READ_MORE) break;
    }
    // A message's stall clock starts with its first byte.
    if (peer->reader.mid_message && !was_mid) peer->message_begun_ms = now;
  }
  return 1;
}

static ssize_t send_some(NetPeer *peer, const uint8_t *data, size_t size) {
  ssize_t n = send(peer->fd, data, size, MSG_NOSIGNAL);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
    return 0;
  return n;
}

// Sends what the system takes now. Returns 0 when the peer was dropped.
static int transmit(NetHost *host, NetPeer *peer, uint64_t now) {
  for (;;) {
    if (peer->out_sent < peer->out_have) {
      ssize_t n = send_some(peer, peer->out + peer->out_sent,
                            peer->out_have - peer->out_sent);
      if (n < 0) {
        drop(host, peer, "%s", strerror(errno));
        return 0;
      }
      if (n == 0) break;
      peer->out_sent += (size_t)n;
      peer->last_sent_ms = now;
      continue;
    }
    if (peer->closing) {  // the refusal is out
      drop(host, peer, NULL);
      return 0;
    }
    if (!peer->role) break;
    if (peer->sent < peer->chunk_end) {
      ssize_t n = send_some(peer, host->stream.data() + peer->sent,
                            (size_t)(peer->chunk_end - peer->sent));
      if (n < 0) {
        drop(host, peer, "%s", strerror(errno));
        return 0;
      }
      if (n == 0) break;
      peer->sent += (uint64_t)n;
      peer->last_sent_ms = peer->last_progress_ms = now;
      continue;
    }
    // Between two chunks: the match's start goes out before more stream.
    if (peer->match_due) {
      peer->out_have = net_write_match(peer->out, peer->match_session);
      peer->out_sent = 0;
      peer->match_due = 0;
      continue;
    }
    if (peer->sent < host->stream.size()) {
      uint64_t end = host->stream.size();
      if (end - peer->sent > NET_CHUNK_MAX) end = peer->sent + NET_CHUNK_MAX;
      peer->out_have = net_write_stream_header(peer->out, peer->sent,
                                               (uint32_t)(end - peer->sent));
      peer->out_sent = 0;
      peer->chunk_end = end;
      continue;
    }
    if (now - peer->last_sent_ms >= host->limits.alive_ms) {
      peer->out_have = net_write_alive(peer->out);
      peer->out_sent = 0;
      continue;
    }
    break;
  }
  return 1;
}

// Rules on time and pace. Returns 0 when the peer was dropped.
static int judge(NetHost *host, NetPeer *peer, uint64_t now) {
  const NetLimits *limits = &host->limits;
  // How far behind: by what the client says it took, which counts what the
  // systems between hold too.
  uint64_t backlog = host->stream.size() - peer->taken;
  if (!peer->reader.greeted && now - peer->opened_ms > limits->greeting_ms) {
    drop(host, peer, "no greeting in time");
    return 0;
  }
  if (peer->reader.mid_message &&
      now - peer->message_begun_ms > limits->stall_ms) {
    drop(host, peer, "stalled in the middle of a message");
    return 0;
  }
  if (now - peer->last_heard_ms > limits->silence_ms) {
    drop(host, peer, "silent for too long");
    return 0;
  }
  if (!peer->role) return 1;
  if (backlog <= limits->lag_bytes) peer->caught_up = 1;
  if (peer->caught_up && backlog > limits->lag_bytes) {
    drop(host, peer, "too slow to keep up");
    return 0;
  }
  if (!peer->caught_up && now - peer->last_progress_ms > limits->catch_up_ms) {
    drop(host, peer, "stopped taking the stream while catching up");
    return 0;
  }
  return 1;
}

void net_host_poll(NetHost *host) {
  if (host->listen_fd < 0) return;
  accept_new(host);
  uint64_t now = net_now_ms();
  for (NetPeer &peer : host->peers) {
    if (peer.fd < 0) continue;
    if (!receive(host, &peer, now)) continue;
    if (!transmit(host, &peer, now)) continue;
    judge(host, &peer, now);
  }
}

int net_host_send(NetHost *host, const void *data, size_t size) {
  if (host->listen_fd < 0) return 0;
  try {
    const uint8_t *bytes = (const uint8_t *)data;
    host->stream.insert(host->stream.end(), bytes, bytes + size);
  } catch (const std::bad_alloc &) {
    for (NetPeer &peer : host->peers)
      if (peer.fd >= 0) drop(host, &peer, "the host ran out of memory");
    return 0;
  }
  uint64_t now = net_now_ms();
  for (NetPeer &peer : host->peers)
    if (peer.fd >= 0 && peer.role && transmit(host, &peer, now))
      judge(host, &peer, now);
  return 1;
}

uint8_t net_host_keys(const NetHost *host) {
  for (const NetPeer &peer : host->peers)
    if (peer.fd >= 0 && peer.role == NET_ROLE_JOIN) return peer.keys;
  return 0;
}

int net_host_has_joiner(const NetHost *host) {
  for (const NetPeer &peer : host->peers)
    if (peer.fd >= 0 && peer.role == NET_ROLE_JOIN && !peer.closing) return 1;
  return 0;
}

int net_host_start_match(NetHost *host, uint32_t session) {
  for (NetPeer &peer : host->peers) {
    if (peer.fd < 0 || peer.role != NET_ROLE_JOIN || peer.closing) continue;
    peer.match_due = 1;
    peer.match_session = session;
    uint64_t now = net_now_ms();
    return transmit(host, &peer, now) && judge(host, &peer, now);
  }
  return 0;
}

int net_host_joiner_fd(const NetHost *host) {
  for (const NetPeer &peer : host->peers)
    if (peer.fd >= 0 && peer.role == NET_ROLE_JOIN && !peer.closing)
      return peer.fd;
  return -1;
}

int net_host_watchers(const NetHost *host) {
  int count = 0;
  for (const NetPeer &peer : host->peers)
    count += peer.fd >= 0 && peer.role == NET_ROLE_WATCH && !peer.closing;
  return count;
}

int net_host_clients(const NetHost *host) {
  int count = 0;
  for (const NetPeer &peer : host->peers)
    count += peer.fd >= 0 && peer.role != 0;
  return count;
}

int net_host_take_notice(NetHost *host, char *line, size_t size) {
  if (host->notice_count == 0) return 0;
  snprintf(line, size, "%s", host->notices[0]);
  memmove(host->notices[0], host->notices[1],
          sizeof host->notices[0] * (NET_NOTICES_MAX - 1));
  host->notice_count--;
  return 1;
}

// A socket closed with bytes it has not read sends a reset, and a reset
// makes the other side throw away what it has not read yet: a watcher
// behind a slow link would lose the end of the stream. So each connection's
// writing is shut first, and what the clients still send (counts taken) is
// read away until each has closed, or until `deadline`.
static void hang_up(NetHost *host, uint64_t deadline) {
  bool open[NET_PEERS_MAX] = {};
  for (int i = 0; i < NET_PEERS_MAX; i++) {
    if (host->peers[i].fd < 0) continue;
    shutdown(host->peers[i].fd, SHUT_WR);
    open[i] = true;
  }
  for (;;) {
    int waiting = -1;
    for (int i = 0; i < NET_PEERS_MAX; i++) {
      if (!open[i]) continue;
      uint8_t unread[4096];
      ssize_t got;
      while ((got = recv(host->peers[i].fd, unread, sizeof unread,
                         MSG_DONTWAIT)) > 0) {
      }
      if (got < 0 &&
          (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        waiting = i;
      else
        open[i] = false;  // closed by the client, or broken
    }
    if (waiting < 0 || net_now_ms() >= deadline) return;
    net_wait(host->peers[waiting].fd, 0, 10);
  }
}

void net_host_close(NetHost *host, uint32_t ms) {
  if (host->listen_fd < 0) return;
  uint64_t deadline = net_now_ms() + ms;
  for (;;) {
    int pending = 0;
    uint64_t now = net_now_ms();
    for (NetPeer &peer : host->peers) {
      if (peer.fd < 0 || !peer.caught_up) continue;
      if (!transmit(host, &peer, now)) continue;
      if (peer.sent < host->stream.size() || peer.out_sent < peer.out_have) {
        pending = 1;
        net_wait(peer.fd, 1, 10);
      }
    }
    if (!pending || net_now_ms() >= deadline) break;
  }
  hang_up(host, net_now_ms() + ms);
  for (NetPeer &peer : host->peers)
    if (peer.fd >= 0) drop(host, &peer, NULL);
  plat_wait_unwatch(host->listen_fd);
  close(host->listen_fd);
  host->listen_fd = -1;
}
