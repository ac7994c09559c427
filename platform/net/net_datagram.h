// The players' datagram in network play: both sides run the game and send
// each other their own inputs, over UDP, every frame. No sockets here, only
// bytes, so the reader can be fed anything (tests, the fuzzer); net_link
// sends and receives them.
//
// Layout (every number little-endian, as net_wire's):
//   0  magic "QFd" and the format version NET_DATAGRAM_VERSION (1 byte)
//   4  session      8  stamp_ms    12  echo_ms     16  echo_held_ms
//  20  ack         24  first_tick  28  check_tick  32  check_hash (32 bits)
//  36  flags: NET_DATAGRAM_HAS_CHECK | NET_DATAGRAM_LEAVING |
//      NET_DATAGRAM_LOST_YOU, no other bit
//  37  count (0 to NET_DATAGRAM_INPUTS_MAX)
//  38  count inputs of 16 bits each, for first_tick, first_tick + 1, ...
// and nothing after them. Without the HAS_CHECK flag check_tick and
// check_hash are written as 0 and read as 0, whatever the bytes hold.
#ifndef QUILLFIRE_NET_DATAGRAM_H
#define QUILLFIRE_NET_DATAGRAM_H

#include <stddef.h>
#include <stdint.h>

#define NET_DATAGRAM_MAGIC "QFd"  // then the version byte
#define NET_DATAGRAM_VERSION 1
const int NET_DATAGRAM_INPUTS_MAX = 64;
const size_t NET_DATAGRAM_HEADER = 38;  // everything before the inputs
const size_t NET_DATAGRAM_SIZE_MAX =
    NET_DATAGRAM_HEADER + 2 * NET_DATAGRAM_INPUTS_MAX;
enum {
  NET_DATAGRAM_HAS_CHECK = 1,
  NET_DATAGRAM_LEAVING = 2,
  NET_DATAGRAM_LOST_YOU = 4
};

typedef struct NetDatagram {
  uint32_t session;       // the match's token (from the TCP 'M' message)
  uint32_t stamp_ms;      // the sender's clock when sent (round trip)
  uint32_t echo_ms;       // the last stamp_ms the sender received
  uint32_t echo_held_ms;  // how long ago it received that stamp: the round
                          // trip is now - echo_ms - echo_held_ms
  uint32_t ack;           // the sender has every input of the other side for
                          // ticks < ack
  uint32_t first_tick;    // tick of inputs[0]
  uint8_t count;          // inputs carried, 0..NET_DATAGRAM_INPUTS_MAX
  uint16_t inputs[NET_DATAGRAM_INPUTS_MAX];  // the sender's own inputs for
                                             // first_tick, first_tick + 1, ...
  uint8_t has_check;  // a checkpoint of the sender's confirmed game state:
  uint32_t check_tick, check_hash;
  uint8_t leaving;   // the sender ends the match; its inputs end at
                     // first_tick + count (exclusive)
  uint8_t lost_you;  // with leaving: it ends the match because nothing
                     // came from the receiver for too long
} NetDatagram;

// Writes `d` into out (at most `size` bytes; NET_DATAGRAM_SIZE_MAX is always
// enough). Returns the byte count, or 0 when it doesn't fit or count is over
// NET_DATAGRAM_INPUTS_MAX. has_check and leaving are taken as yes or no.
size_t net_datagram_write(const NetDatagram *d, uint8_t *out, size_t size);

// Reads one datagram of exactly `size` bytes. Returns 1 with *d filled, or 0
// with *why set to a short static reason ("too short", "not ours", "bad
// version", "unknown flags", "too many inputs", "wrong length", "tick
// overflow"), *d then undefined. Never reads past `size`.
int net_datagram_read(const uint8_t *bytes, size_t size, NetDatagram *d,
                      const char **why);

#endif
