// The network play protocol on the wire: the greeting each side sends first
// and the framed messages that follow. No sockets here, only bytes, so the
// reader can be fed anything (tests, the fuzzer) and never reads or writes
// outside its own fixed buffer.
//
// Greeting (both ways, same layout): the magic "QFNT", the protocol version
// (16 bits, little-endian), a code (the role asked for, or the host's answer),
// the length of the game's version text (at most NET_VERSION_MAX) and that
// text. A side whose protocol version differs stops reading after it.
//
// Message: type (1 byte), payload length (32 bits, little-endian), payload.
// Each type has its own bound on the length, checked before anything is
// buffered:
//   NET_MSG_STREAM (host to client): the stream's offset of this chunk (64
//     bits) and 1 to NET_CHUNK_MAX bytes of the stream. Offsets follow on
//     from each other from 0: the client gets the whole stream in order.
//   NET_MSG_KEYS (joiner to host): a sequence number (32 bits, 0 first, one
//     more each time) and the key bits NET_KEY_LEFT | NET_KEY_RIGHT.
//   NET_MSG_TAKEN (client to host): how many stream bytes the client has
//     taken so far (64 bits), never fewer than last time. Sent every so
//     often: it is how the host knows how far behind a client is, whatever
//     the systems between them hold, and it keeps the connection alive.
//   NET_MSG_ALIVE (both ways, empty): sent when a side has had nothing else
//     to send for a while, so silence means a dead peer.
//   NET_MSG_LEAVE (joiner or watcher to host, empty): the player chose to
//     leave; the connection closes after it. Nothing may follow it.
//   NET_MSG_MATCH (host to joiner): the match starts; its session token (32
//     bits), which every datagram of the match carries (net_datagram). Sent
//     after the welcome; a watcher sent one ends its connection.
#ifndef QUILLFIRE_NET_WIRE_H
#define QUILLFIRE_NET_WIRE_H

#include <stddef.h>
#include <stdint.h>

#define NET_MAGIC "QFNT"
#define NET_PROTOCOL 1
#define NET_DEFAULT_PORT 7373
#define NET_VERSION_MAX 32
#define NET_GREETING_FIXED 8  // magic, protocol, code, version length
#define NET_GREETING_MAX (NET_GREETING_FIXED + NET_VERSION_MAX)
#define NET_HEADER_SIZE 5
#define NET_CHUNK_MAX 16384
#define NET_STREAM_PAYLOAD_MAX (8 + NET_CHUNK_MAX)
#define NET_KEYS_PAYLOAD 5
#define NET_TAKEN_PAYLOAD 8
#define NET_MATCH_PAYLOAD 4
#define NET_TAKEN_EVERY 4096  // a client reports at least this often
#define NET_FRAME_MAX (NET_HEADER_SIZE + NET_STREAM_PAYLOAD_MAX)

// Roles a client asks for, and the host's answers.
enum {
  NET_ROLE_JOIN = 1,   // plays the top paddle
  NET_ROLE_WATCH = 2,  // only watches
  NET_WELCOME_JOIN = 1,
  NET_WELCOME_WATCH = 2,
  NET_REFUSED_VERSION = 3,  // another game version or protocol
  NET_REFUSED_TAKEN = 4,    // a player 2 is already there
  NET_REFUSED_FULL = 5,     // no room for another connection
  NET_REFUSED_REQUEST = 6   // a role that does not exist
};

enum {
  NET_MSG_STREAM = 'S',
  NET_MSG_KEYS = 'K',
  NET_MSG_TAKEN = 'T',
  NET_MSG_ALIVE = 'A',
  NET_MSG_LEAVE = 'L',
  NET_MSG_MATCH = 'M'
};

// The joiner's keys: its arrows, played on the host as player 2's Z and X;
// Space, which serves the top paddle's serve; P, which pauses for everyone;
// and AWAY, held while its window has lost the keyboard focus (its start
// pauses a running rally, as the host's own focus loss does).
enum {
  NET_KEY_LEFT = 1,
  NET_KEY_RIGHT = 2,
  NET_KEY_SERVE = 4,
  NET_KEY_PAUSE = 8,
  NET_KEY_AWAY = 16
};
#define NET_KEYS_ALL \
  (NET_KEY_LEFT | NET_KEY_RIGHT | NET_KEY_SERVE | NET_KEY_PAUSE | NET_KEY_AWAY)

// Which side's messages a reader takes.
enum { NET_FROM_CLIENT = 0, NET_FROM_HOST = 1 };

typedef struct NetGreeting {
  uint16_t protocol;
  uint8_t code;
  char version[NET_VERSION_MAX + 1];  // null-terminated
} NetGreeting;

typedef struct NetMessage {
  uint8_t type;
  uint64_t offset;      // NET_MSG_STREAM: where the data starts
  const uint8_t *data;  // NET_MSG_STREAM: into the reader's buffer
  uint32_t length;      // NET_MSG_STREAM: bytes at data
  uint8_t keys;         // NET_MSG_KEYS
  uint64_t taken;       // NET_MSG_TAKEN
  uint32_t session;     // NET_MSG_MATCH
} NetMessage;

// An incremental reader of one connection's incoming bytes: the greeting,
// then messages. Once it has failed it stays failed.
typedef struct NetReader {
  int from;     // NET_FROM_CLIENT or NET_FROM_HOST
  int greeted;  // the greeting has been read whole
  int failed;
  int mid_message;  // part of a greeting or message is buffered
  int left;         // a leave message was read: nothing may follow
  NetGreeting greeting;
  uint64_t stream_next;  // offset the next stream chunk must have
  uint32_t keys_next;    // sequence number the next keys message must have
  uint64_t taken;        // the last taken count a client gave
  size_t have;           // bytes buffered of the current greeting or message
  size_t need;           // bytes the current greeting or message has in all
  char error[96];        // why it failed, one line
  uint8_t buf[NET_FRAME_MAX];
} NetReader;

// Results of net_reader_take.
enum {
  NET_READ_MORE = 0,
  NET_READ_GREETING = 1,
  NET_READ_MESSAGE = 2,
  NET_READ_FAILED = -1
};

void net_reader_init(NetReader *reader, int from);

// Takes bytes from *data (advancing *data and *size) until a greeting or a
// message is whole (NET_READ_GREETING, with reader->greeting filled;
// NET_READ_MESSAGE, with *message filled and valid until the next call),
// the bytes run out (NET_READ_MORE) or they cannot be right (NET_READ_FAILED,
// reader->error says why). A greeting with another protocol version fails
// as soon as the version is read, after filling reader->greeting.protocol.
int net_reader_take(NetReader *reader, const uint8_t **data, size_t *size,
                    NetMessage *message);

// Writers. Each fills `out` and returns the number of bytes written; `out`
// has room for NET_GREETING_MAX, NET_HEADER_SIZE + NET_KEYS_PAYLOAD or
// NET_HEADER_SIZE + 8 bytes respectively. A version longer than
// NET_VERSION_MAX is cut short.
size_t net_write_greeting(uint8_t *out, uint8_t code, const char *version);
size_t net_write_keys(uint8_t *out, uint32_t sequence, uint8_t keys);
size_t net_write_alive(uint8_t *out);
size_t net_write_leave(uint8_t *out);                  // NET_HEADER_SIZE bytes
size_t net_write_taken(uint8_t *out, uint64_t taken);  // 13 bytes
size_t net_write_match(uint8_t *out, uint32_t session);  // 9 bytes
// The header and offset of a stream chunk of `length` bytes; the chunk's
// bytes follow it on the wire.
size_t net_write_stream_header(uint8_t *out, uint64_t offset, uint32_t length);

#endif
