// The network reader on any bytes, both ways round: the first byte chooses
// which side's messages it reads and how the rest is cut into the pieces
// that arrive, so greetings and messages split anywhere are tried.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "platform/net/net_wire.h"

static NetReader reader;  // 16 KiB: kept off the stack

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  uint8_t control = data[0];
  net_reader_init(&reader, (control & 1) ? NET_FROM_HOST : NET_FROM_CLIENT);
  size_t piece = (size_t)(control >> 1) + 1;  // 1 to 128 bytes at a time
  data++;
  size--;
  uint64_t stream = 0;
  while (size > 0) {
    size_t n = size < piece ? size : piece;
    const uint8_t *at = data;
    size_t left = n;
    while (left > 0) {
      NetMessage m;
      int r = net_reader_take(&reader, &at, &left, &m);
      if (r == NET_READ_FAILED) {
        if (!memchr(reader.error, 0, sizeof reader.error)) __builtin_trap();
        return 0;
      }
      // Nothing is taken after a leave, and no key beyond the known ones.
      if (r == NET_READ_MESSAGE && reader.left && m.type != NET_MSG_LEAVE)
        __builtin_trap();
      if (r == NET_READ_MESSAGE && m.type == NET_MSG_KEYS &&
          (m.keys & ~NET_KEYS_ALL))
        __builtin_trap();
      // Only a host says a match starts.
      if (r == NET_READ_MESSAGE && m.type == NET_MSG_MATCH &&
          reader.from != NET_FROM_HOST)
        __builtin_trap();
      if (r == NET_READ_GREETING &&
          strlen(reader.greeting.version) > NET_VERSION_MAX)
        __builtin_trap();
      if (r == NET_READ_MESSAGE && m.type == NET_MSG_STREAM) {
        // Chunks are within bounds and follow on from each other.
        if (m.length == 0 || m.length > NET_CHUNK_MAX || m.offset != stream)
          __builtin_trap();
        if (m.data < reader.buf ||
            m.data + m.length > reader.buf + sizeof reader.buf)
          __builtin_trap();
        stream += m.length;
      }
    }
    data += n;
    size -= n;
  }
  return 0;
}
