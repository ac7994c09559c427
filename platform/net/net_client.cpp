#include "platform/net/net_client.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/net/net_socket.h"

// At most this many reads of what came unread before a close.
static const int CLOSE_DRAIN_READS = 64;

static int end_with(NetClient *client, const char *format, ...) {
  if (!client->ended) {
    va_list args;
    va_start(args, format);
    vsnprintf(client->error, sizeof client->error, format, args);
    va_end(args);
    client->ended = 1;
  }
  return 0;
}

static int is_again(void) {
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

// Sends what is queued and, after a quiet spell, what we have taken (which
// keeps the connection alive). Returns 0 once the connection has ended.
static int pump(NetClient *client, uint64_t now) {
  if (client->ended) return 0;
  // What we have taken, every so often: how the host sees that we keep up,
  // and what keeps the connection alive.
  if ((now - client->last_taken_ms >= client->limits.alive_ms ||
       client->received - client->taken_reported >= NET_TAKEN_EVERY) &&
      client->out_have + NET_HEADER_SIZE + NET_TAKEN_PAYLOAD <=
          sizeof client->out) {
    if (client->out_sent == client->out_have)
      client->out_sent = client->out_have = 0;
    client->out_have +=
        net_write_taken(client->out + client->out_have, client->received);
    client->last_taken_ms = now;
    client->taken_reported = client->received;
  }
  while (client->out_sent < client->out_have) {
    ssize_t n = send(client->fd, client->out + client->out_sent,
                     client->out_have - client->out_sent, MSG_NOSIGNAL);
    if (n < 0 && is_again()) break;
    if (n < 0) return end_with(client, "Connection lost: %s", strerror(errno));
    client->out_sent += (size_t)n;
    client->last_sent_ms = now;
  }
  return 1;
}

// Once a read found nothing more from the host: has it gone quiet for too
// long? Judged only then, so that a client busy with what it has (a long
// stretch of the stream to replay) never takes its own delay for the host's.
// Returns 0 once the connection has ended.
static int judge(NetClient *client, uint64_t now) {
  const NetLimits *limits = &client->limits;
  if (now - client->last_heard_ms > limits->silence_ms)
    return end_with(client, "Connection lost: the host went silent");
  if (client->reader.mid_message &&
      now - client->message_begun_ms > limits->stall_ms)
    return end_with(client, "Connection lost: the host stalled mid-message");
  if (client->chunk_left == 0 &&
      now - client->last_stream_ms > limits->starved_ms)
    return end_with(client,
                    "Connection lost: the host sent nothing to play for %u s",
                    (unsigned)(limits->starved_ms / 1000));
  return 1;
}

// Reads what the system has into the input buffer once it is used up.
// Returns 1 when bytes came, 0 when none are there now, -1 when it ended.
static int fill(NetClient *client, uint64_t now) {
  if (client->in_pos < client->in_have) return 1;
  ssize_t n = recv(client->fd, client->in, sizeof client->in, 0);
  if (n == 0) {
    end_with(client, client->reader.mid_message
                         ? "Connection lost in the middle of a message"
                         : "Connection lost: the host has gone");
    return -1;
  }
  if (n < 0) {
    if (is_again()) return 0;
    end_with(client, "Connection lost: %s", strerror(errno));
    return -1;
  }
  client->in_pos = 0;
  client->in_have = (size_t)n;
  client->last_heard_ms = now;
  return 1;
}

// Feeds buffered input to the reader until a greeting or a message is whole
// or the input is used up. Returns the reader's result.
static int take(NetClient *client, NetMessage *message, uint64_t now) {
  const uint8_t *data = client->in + client->in_pos;
  size_t size = client->in_have - client->in_pos;
  int was_mid = client->reader.mid_message;
  int result = net_reader_take(&client->reader, &data, &size, message);
  client->in_pos = client->in_have - size;
  if (result != NET_READ_MORE) was_mid = 0;
  if (client->reader.mid_message && !was_mid) client->message_begun_ms = now;
  if (result == NET_READ_FAILED)
    end_with(client, "Connection ended: %s", client->reader.error);
  if (result == NET_READ_MESSAGE && message->type == NET_MSG_STREAM)
    client->last_stream_ms = now;
  if (result == NET_READ_MESSAGE && message->type == NET_MSG_MATCH) {
    // Only the joiner plays a match: a watcher told of one is misled.
    if (client->role != NET_ROLE_JOIN) {
      end_with(client, "Connection ended: a match message to a watcher");
      return NET_READ_FAILED;
    }
    client->session = message->session;
    client->has_session = 1;
  }
  return result;
}

static const char *refusal(int code) {
  switch (code) {
    case NET_REFUSED_VERSION:
      return "the host runs another game version";
    case NET_REFUSED_TAKEN:
      return "the host already has a player 2";
    case NET_REFUSED_FULL:
      return "the host has no room for more";
    default:
      return "the host refused";
  }
}

int net_client_open(NetClient *client, const char *where, int role,
                    const char *version, uint32_t timeout_ms) {
  memset(client, 0, sizeof *client);
  client->fd = -1;
  client->role = role;
  client->keys_sent = -1;
  client->limits = NET_LIMITS_DEFAULT;
  net_reader_init(&client->reader, NET_FROM_HOST);
  NetEndpoint endpoint;
  if (!net_parse_connect(where, &endpoint, client->error, sizeof client->error))
    return 0;
  uint64_t start = net_now_ms();
  client->fd =
      net_connect(&endpoint, timeout_ms, client->error, sizeof client->error);
  if (client->fd < 0) return 0;
  client->last_heard_ms = client->last_sent_ms = net_now_ms();
  client->last_stream_ms = client->last_heard_ms;
  client->out_have = net_write_greeting(client->out, (uint8_t)role, version);
  for (;;) {
    uint64_t now = net_now_ms();
    if (net_close_check())
      return end_with(client, "gave up joining: asked to close");
    if (now - start > timeout_ms)
      return end_with(client, "the host did not answer in time");
    if (!pump(client, now)) return 0;
    int got = fill(client, now);
    if (got < 0) return 0;
    if (got == 0) {
      net_wait(client->fd, 0, 50);
      continue;
    }
    NetMessage unused;
    int result = take(client, &unused, now);
    if (result == NET_READ_FAILED) return 0;
    if (result != NET_READ_GREETING) continue;
    int code = client->reader.greeting.code;
    int expected = role == NET_ROLE_JOIN ? NET_WELCOME_JOIN : NET_WELCOME_WATCH;
    if (code != expected) return end_with(client, "%s", refusal(code));
    client->last_stream_ms = now;
    return 1;
  }
}

// Moves the current chunk's bytes to the held ones, so the reader can go on
// to the messages after it. Returns 0 once the connection has ended.
static int hold(NetClient *client) {
  size_t need = client->held_size + client->chunk_left;
  if (need > NET_CLIENT_HELD_MAX)
    return end_with(client,
                    "Connection ended: the host sent over %d MiB before "
                    "starting the match",
                    NET_CLIENT_HELD_MAX / (1024 * 1024));
  if (need > client->held_room) {
    size_t room = client->held_room ? client->held_room : 16384;
    while (room < need) room *= 2;
    uint8_t *bigger = (uint8_t *)realloc(client->held, room);
    if (!bigger)
      return end_with(client, "Connection ended: out of memory for the stream");
    client->held = bigger;
    client->held_room = room;
  }
  memcpy(client->held + client->held_size, client->chunk, client->chunk_left);
  client->held_size = need;
  client->received += client->chunk_left;
  client->chunk_left = 0;
  return 1;
}

int net_client_wait_match(NetClient *client, uint32_t timeout_ms) {
  uint64_t deadline = net_now_ms() + timeout_ms;
  for (;;) {
    uint64_t now = net_now_ms();
    if (client->has_session) return 1;
    if (client->ended) return 0;
    if (client->chunk_left > 0) {
      if (!hold(client)) return 0;
      pump(client, now);
      continue;
    }
    if (client->in_pos < client->in_have) {
      NetMessage message;
      if (take(client, &message, now) == NET_READ_MESSAGE &&
          message.type == NET_MSG_STREAM) {
        client->chunk = message.data;
        client->chunk_left = message.length;
      }
      continue;
    }
    if (!net_client_serve(client)) return 0;
    if (client->in_pos < client->in_have) continue;
    if (net_close_check()) {
      snprintf(client->error, sizeof client->error,
               "gave up waiting for the match: asked to close");
      return 0;
    }
    if (now >= deadline) {
      snprintf(client->error, sizeof client->error,
               "the host did not start the match");
      return 0;
    }
    uint64_t left = deadline - now;
    net_wait(client->fd, 0, (uint32_t)(left < 50 ? left : 50));
  }
}

long net_client_read(NetClient *client, uint8_t *out, size_t size,
                     uint32_t wait_ms) {
  uint64_t deadline = net_now_ms() + wait_ms;
  for (;;) {
    uint64_t now = net_now_ms();
    if (client->ended) return -1;
    if (client->held_at < client->held_size) {  // in order: these came first
      size_t left = client->held_size - client->held_at;
      size_t n = size < left ? size : left;
      memcpy(out, client->held + client->held_at, n);
      client->held_at += n;
      if (client->held_at == client->held_size)
        client->held_at = client->held_size = 0;
      return (long)n;
    }
    if (client->chunk_left > 0) {
      size_t n = size < client->chunk_left ? size : client->chunk_left;
      memcpy(out, client->chunk, n);
      client->chunk += n;
      client->chunk_left -= n;
      client->received += n;
      pump(client, now);
      return (long)n;
    }
    if (client->in_pos < client->in_have) {
      NetMessage message;
      int result = take(client, &message, now);
      if (result == NET_READ_FAILED) return -1;
      if (result == NET_READ_MESSAGE && message.type == NET_MSG_STREAM) {
        client->chunk = message.data;
        client->chunk_left = message.length;
      }
      continue;
    }
    if (!net_client_serve(client)) return -1;
    if (client->in_pos < client->in_have) continue;
    if (now >= deadline || net_close_check()) return 0;
    uint64_t left = deadline - now;
    net_wait(client->fd, 0, (uint32_t)(left < 50 ? left : 50));
  }
}

int net_client_serve(NetClient *client) {
  uint64_t now = net_now_ms();
  if (client->ended) return 0;
  int got = fill(client, now);
  if (got < 0 || !pump(client, now)) return 0;
  return got > 0 || judge(client, now);
}

int net_client_send_keys(NetClient *client, uint8_t keys) {
  uint64_t now = net_now_ms();
  if (client->ended) return 0;
  if (client->role == NET_ROLE_JOIN && keys != client->keys_sent) {
    // Queued behind anything still going out; the queue holds several.
    if (client->out_sent == client->out_have)
      client->out_sent = client->out_have = 0;
    if (client->out_have + NET_HEADER_SIZE + NET_KEYS_PAYLOAD >
        sizeof client->out)
      return pump(client, now);  // sent once the queue has drained
    client->out_have += net_write_keys(client->out + client->out_have,
                                       client->keys_sequence++, keys);
    client->keys_sent = keys;
  }
  return pump(client, now);
}

void net_client_leave(NetClient *client, uint32_t wait_ms) {
  if (client->fd >= 0 && !client->ended) {
    if (client->out_sent == client->out_have)
      client->out_sent = client->out_have = 0;
    if (client->out_have + NET_HEADER_SIZE <= sizeof client->out)
      client->out_have += net_write_leave(client->out + client->out_have);
    uint64_t deadline = net_now_ms() + wait_ms;
    while (client->out_sent < client->out_have && pump(client, net_now_ms()) &&
           net_now_ms() < deadline)
      net_wait(client->fd, 1, 10);
  }
  net_client_close(client);
}

void net_client_close(NetClient *client) {
  if (client->fd >= 0) {
    // Closed with bytes unread, a socket sends a reset, which the host takes
    // for a lost connection: the end is said first, and what already came
    // is read away (a bounded amount: the host may still be sending).
    shutdown(client->fd, SHUT_WR);
    uint8_t unread[4096];
    for (int i = 0; i < CLOSE_DRAIN_READS &&
                    recv(client->fd, unread, sizeof unread, MSG_DONTWAIT) > 0;
         i++) {
    }
    close(client->fd);
  }
  free(client->held);
  client->held = NULL;
  client->held_at = client->held_size = client->held_room = 0;
  client->fd = -1;
  client->ended = 1;
}
