#include "platform/net/net_datagram.h"

#include <string.h>

static void put_u16(uint8_t *p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

static void put_u32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = (uint8_t)(v >> (8 * i));
}

static uint16_t get_u16(const uint8_t *p) {
  return (uint16_t)(p[0] | p[1] << 8);
}

static uint32_t get_u32(const uint8_t *p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 |
         (uint32_t)p[3] << 24;
}

size_t net_datagram_write(const NetDatagram *d, uint8_t *out, size_t size) {
  if (d->count > NET_DATAGRAM_INPUTS_MAX) return 0;
  size_t total = NET_DATAGRAM_HEADER + 2 * (size_t)d->count;
  if (total > size) return 0;
  memcpy(out, NET_DATAGRAM_MAGIC, 3);
  out[3] = NET_DATAGRAM_VERSION;
  put_u32(out + 4, d->session);
  put_u32(out + 8, d->stamp_ms);
  put_u32(out + 12, d->echo_ms);
  put_u32(out + 16, d->echo_held_ms);
  put_u32(out + 20, d->ack);
  put_u32(out + 24, d->first_tick);
  put_u32(out + 28, d->has_check ? d->check_tick : 0);
  put_u32(out + 32, d->has_check ? d->check_hash : 0);
  out[36] = (uint8_t)((d->has_check ? NET_DATAGRAM_HAS_CHECK : 0) |
                      (d->leaving ? NET_DATAGRAM_LEAVING : 0) |
                      (d->lost_you ? NET_DATAGRAM_LOST_YOU : 0));
  out[37] = d->count;
  for (int i = 0; i < d->count; ++i)
    put_u16(out + NET_DATAGRAM_HEADER + 2 * i, d->inputs[i]);
  return total;
}

static int refuse(const char **why, const char *reason) {
  *why = reason;
  return 0;
}

int net_datagram_read(const uint8_t *bytes, size_t size, NetDatagram *d,
                      const char **why) {
  if (size < NET_DATAGRAM_HEADER) return refuse(why, "too short");
  if (memcmp(bytes, NET_DATAGRAM_MAGIC, 3) != 0) return refuse(why, "not ours");
  if (bytes[3] != NET_DATAGRAM_VERSION) return refuse(why, "bad version");
  uint8_t flags = bytes[36];
  if (flags &
      ~(NET_DATAGRAM_HAS_CHECK | NET_DATAGRAM_LEAVING | NET_DATAGRAM_LOST_YOU))
    return refuse(why, "unknown flags");
  uint8_t count = bytes[37];
  if (count > NET_DATAGRAM_INPUTS_MAX) return refuse(why, "too many inputs");
  if (size != NET_DATAGRAM_HEADER + 2 * (size_t)count)
    return refuse(why, "wrong length");
  uint32_t first_tick = get_u32(bytes + 24);
  // The inputs' ticks, up to first_tick + count, must be numbers.
  if (first_tick > UINT32_MAX - count) return refuse(why, "tick overflow");
  memset(d, 0, sizeof *d);
  d->session = get_u32(bytes + 4);
  d->stamp_ms = get_u32(bytes + 8);
  d->echo_ms = get_u32(bytes + 12);
  d->echo_held_ms = get_u32(bytes + 16);
  d->ack = get_u32(bytes + 20);
  d->first_tick = first_tick;
  d->has_check = (flags & NET_DATAGRAM_HAS_CHECK) != 0;
  d->leaving = (flags & NET_DATAGRAM_LEAVING) != 0;
  d->lost_you = (flags & NET_DATAGRAM_LOST_YOU) != 0;
  if (d->has_check) {
    d->check_tick = get_u32(bytes + 28);
    d->check_hash = get_u32(bytes + 32);
  }
  d->count = count;
  for (int i = 0; i < count; ++i)
    d->inputs[i] = get_u16(bytes + NET_DATAGRAM_HEADER + 2 * i);
  return 1;
}
