// The joining and watching side of network play: connects to a host, reads
// its stream as it comes, and (a joiner) sends its keys back. Every wait is
// bounded and also ends once the user asks the program to close.
#ifndef QUILLFIRE_NET_CLIENT_H
#define QUILLFIRE_NET_CLIENT_H

#include <stddef.h>
#include <stdint.h>

#include "platform/net/net_host.h"
#include "platform/net/net_wire.h"

typedef struct NetClient {
  int fd;     // -1 when not connected
  int ended;  // the connection is over; error says why
  int role;
  NetLimits limits;
  NetReader reader;
  const uint8_t *chunk;  // stream bytes of the last chunk not yet given out
  size_t chunk_left;
  uint64_t received;        // stream bytes given out or held so far
  uint64_t taken_reported;  // the count last told to the host
  uint64_t last_heard_ms, last_sent_ms, last_taken_ms, message_begun_ms;
  uint64_t last_stream_ms;  // when stream bytes last came (or the welcome)
  uint32_t session;  // the match's token, once has_session (NET_MSG_MATCH)
  int has_session;
  // Stream bytes that came while waiting for the match, kept for
  // net_client_read (malloc'd; already counted in `received`).
  uint8_t *held;
  size_t held_at, held_size, held_room;
  uint32_t keys_sequence;
  int keys_sent;  // the last keys sent, -1 before any
  uint8_t out[64];
  size_t out_have, out_sent;
  uint8_t in[8192];
  size_t in_pos, in_have;
  char error[160];
} NetClient;

// Connects to `where` ("HOST[:PORT]") as `role` (NET_ROLE_JOIN or
// NET_ROLE_WATCH) with game version `version`, and waits for the host's
// answer, at most `timeout_ms` in all. Returns 1 when the host took us, or
// 0 with client->error saying why in one line.
int net_client_open(NetClient *client, const char *where, int role,
                    const char *version, uint32_t timeout_ms);

// Gives out up to `size` bytes of the stream, waiting at most `wait_ms` for
// some to come. Returns the count (0 when none came in time or a close was
// asked for), or -1 once the connection has ended (client->error says why:
// the host went, or it sent something malformed, or went quiet as
// net_client_serve judges).
long net_client_read(NetClient *client, uint8_t *out, size_t size,
                     uint32_t wait_ms);

// A joiner waits for the host to start the match (NET_MSG_MATCH), at most
// `timeout_ms`, keeping the connection served and the stream bytes that
// come meanwhile for net_client_read (at most NET_CLIENT_HELD_MAX). Returns
// 1 once client->has_session, or 0 with client->error saying why: the host
// did not start the match in time, a close was asked for (the connection
// goes on in both cases), or the connection ended.
#define NET_CLIENT_HELD_MAX (4 * 1024 * 1024)
int net_client_wait_match(NetClient *client, uint32_t timeout_ms);

// Keeps the connection served while the game is busy elsewhere: sends what
// is due (the count taken, which keeps the connection alive), takes what the
// system holds when the input is used up, and ends the connection when the
// host has gone quiet: nothing at all (silence_ms), or only keep-alives with
// nothing to play (starved_ms). Never waits. Returns 0 once it has ended.
int net_client_serve(NetClient *client);

// A joiner's keys (NET_KEY_*): sent when they change.
// Returns 0 once the connection has ended.
int net_client_send_keys(NetClient *client, uint8_t keys);

// The player leaves: says so to the host (waiting at most `wait_ms` for it
// to go out), then closes. Called instead of net_client_close.
void net_client_leave(NetClient *client, uint32_t wait_ms);

void net_client_close(NetClient *client);

#endif
