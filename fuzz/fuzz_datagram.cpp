// The players' datagram reader on any bytes. What it takes must be within
// its bounds and be written back to exactly the bytes it came from; what it
// refuses must say why.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "platform/net/net_datagram.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  NetDatagram d;
  const char *why = NULL;
  if (!net_datagram_read(data, size, &d, &why)) {
    if (!why || !*why) __builtin_trap();
    return 0;
  }
  if (d.count > NET_DATAGRAM_INPUTS_MAX || size > NET_DATAGRAM_SIZE_MAX)
    __builtin_trap();
  if ((uint64_t)d.first_tick + d.count > UINT32_MAX) __builtin_trap();
  if (d.has_check > 1 || d.leaving > 1) __builtin_trap();
  uint8_t out[NET_DATAGRAM_SIZE_MAX];
  size_t n = net_datagram_write(&d, out, sizeof out);
  // Check fields without their flag are not read, so the bytes match
  // wherever the writer does not write zeros for them.
  if (n != size) __builtin_trap();
  if (memcmp(out, data, 28) != 0 || memcmp(out + 36, data + 36, n - 36) != 0)
    __builtin_trap();
  if (d.has_check && memcmp(out + 28, data + 28, 8) != 0) __builtin_trap();
  return 0;
}
