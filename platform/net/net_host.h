// The hosting side of network play. The host's stream (its recording, as it
// is made) goes to every connected client from its very first byte, so a
// client that comes late catches up; the one joiner's keys come back. The
// host never waits on a client: net_host_poll does what can be done at once
// and returns, and a client that cannot keep up, stalls, or sends anything
// malformed is dropped with a one-line notice.
#ifndef QUILLFIRE_NET_HOST_H
#define QUILLFIRE_NET_HOST_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "platform/net/net_wire.h"

// Room for one joiner, NET_WATCHERS_MAX watchers and NET_GREETING_SLOTS
// connections that have not finished their greeting; a connection beyond
// those takes the place of the one that has waited longest for its greeting,
// so silent connections can't keep anyone out.
#define NET_WATCHERS_MAX 64
#define NET_GREETING_SLOTS 32
#define NET_PEERS_MAX (1 + NET_WATCHERS_MAX + NET_GREETING_SLOTS)
// More than a player's machine ever sends: a client past either in a second
// is dropped. Each poll reads at most NET_READ_PER_POLL bytes of a client, so
// no client can hold the host's frame.
#define NET_MESSAGES_PER_SECOND_MAX 1000
#define NET_BYTES_PER_SECOND_MAX (64 * 1024)
#define NET_READ_PER_POLL 4096
#define NET_NOTICES_MAX 8
#define NET_NOTICE_SIZE 160

// How long and how far behind a connection may be before it is ended. The
// defaults are NET_LIMITS_DEFAULT; tests shorten them.
typedef struct NetLimits {
  uint32_t greeting_ms;  // from the connection to the end of its greeting
  uint32_t stall_ms;     // to finish a message once begun
  uint32_t silence_ms;   // with nothing at all from the other side
  uint32_t alive_ms;     // with nothing sent, before an alive message
  uint32_t lag_bytes;    // a caught-up client this far behind is too slow
  uint32_t catch_up_ms;  // a newcomer that takes nothing this long is stalled
  uint32_t starved_ms;   // a client with nothing of the stream to play this
                         // long (a host sending only keep-alives) gives up
} NetLimits;

extern const NetLimits NET_LIMITS_DEFAULT;

typedef struct NetPeer {
  int fd;         // -1 when the slot is free
  int role;       // 0 until greeted, then NET_ROLE_JOIN or NET_ROLE_WATCH
  int caught_up;  // has been within lag_bytes of the live edge
  int closing;    // refused: the answer is sent, then the slot is freed
  NetReader reader;
  uint64_t sent;       // stream bytes handed to the system
  uint64_t taken;      // stream bytes the client says it has taken
  uint64_t chunk_end;  // end of the chunk whose header has been sent
  uint64_t opened_ms, last_heard_ms, last_sent_ms, last_progress_ms;
  uint64_t message_begun_ms;  // when the reader's partial message began
  uint64_t rate_begun_ms;     // the second the counts below are of
  uint32_t rate_messages, rate_bytes;
  uint8_t keys;
  int match_due;  // the joiner is yet to be sent match_session
  uint32_t match_session;
  uint8_t out[NET_GREETING_MAX + NET_HEADER_SIZE + 8];  // header or answer
  size_t out_have, out_sent;
  uint8_t in[256];
  size_t in_have;
} NetPeer;

typedef struct NetHost {
  int listen_fd;  // -1 when not hosting
  uint16_t port;
  char address[300];  // where players connect, as text: "ADDR:PORT"
  char also[300];     // this machine's other addresses, ", " between them
  char version[NET_VERSION_MAX + 1];
  NetLimits limits;
  std::vector<uint8_t> stream;  // everything since the start
  NetPeer peers[NET_PEERS_MAX];
  char notices[NET_NOTICES_MAX][NET_NOTICE_SIZE];
  int notice_count;
  char error[NET_NOTICE_SIZE];
} NetHost;

// Listens at `where` ("[ADDR:]PORT") for clients of game version `version`.
// Returns 1, or 0 with host->error saying why.
int net_host_open(NetHost *host, const char *where, const char *version);

// Adds bytes to the stream and sends what the clients will take now. Returns
// 0 when the stream could not grow (memory): the bytes are not sent to
// anyone, and every client is dropped, as it could not follow.
int net_host_send(NetHost *host, const void *data, size_t size);

// Takes new clients, reads what they sent, sends what they will take, and
// ends connections that broke a rule. Never waits.
void net_host_poll(NetHost *host);

// The joiner's keys as last sent (NET_KEY_LEFT | NET_KEY_RIGHT); 0 when no
// joiner is connected.
uint8_t net_host_keys(const NetHost *host);

// 1 while a joiner (player 2) is connected.
int net_host_has_joiner(const NetHost *host);

// The match starts: tells the joiner its session token (NET_MSG_MATCH),
// after what it has already been sent. Returns 0 when there is no joiner.
int net_host_start_match(NetHost *host, uint32_t session);

// The joiner's TCP socket, or -1 when there is no joiner.
int net_host_joiner_fd(const NetHost *host);

// Connected clients that finished the greeting (joiner and watchers).
int net_host_clients(const NetHost *host);

// Watchers connected.
int net_host_watchers(const NetHost *host);

// Takes the oldest notice (a client came, left or was dropped) into `line`.
// Returns 1, or 0 when there is none.
int net_host_take_notice(NetHost *host, char *line, size_t size);

// Sends what is left to clients that are keeping up, for at most `ms`, then
// closes every connection and the listening socket.
void net_host_close(NetHost *host, uint32_t ms);

#endif
