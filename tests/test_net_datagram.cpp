// The players' datagram over bytes alone: layouts written out by hand read
// back field by field and are written the same, and every datagram that
// can't be right is refused with its reason.
#include <gtest/gtest.h>
#include <string.h>

#include "net_bytes.h"
#include "platform/net/net_datagram.h"

namespace {

struct Read {
  int ok;
  NetDatagram d;
  std::string why;
};

Read read(const Bytes &bytes) {
  Read r;
  memset(&r.d, 0xee, sizeof r.d);
  const char *why = "";
  r.ok = net_datagram_read(bytes.data(), bytes.size(), &r.d, &why);
  r.why = r.ok ? "" : why;
  return r;
}

Bytes write(const NetDatagram &d, size_t room = NET_DATAGRAM_SIZE_MAX) {
  Bytes out(room + 8, 0xaa);
  size_t n = net_datagram_write(&d, out.data(), room);
  // Nothing is written past the room given.
  for (size_t i = room; i < out.size(); ++i) EXPECT_EQ(out[i], 0xaa);
  out.resize(n);
  return out;
}

TEST(NetDatagram, HandWrittenLayoutsReadBackAndWriteTheSame) {
  std::vector<uint16_t> full;
  for (int i = 0; i < NET_DATAGRAM_INPUTS_MAX; ++i)
    full.push_back((uint16_t)(0x8000 | i * 257));
  struct Case {
    const char *name;
    Bytes bytes;
    uint32_t session, first_tick;
    std::vector<uint16_t> inputs;
    int has_check, leaving;
    uint32_t check_tick, check_hash;
    int lost_you;
  } cases[] = {
      {"no inputs",
       datagram(0xdeadbeef, 0, {}),
       0xdeadbeef,
       0,
       {},
       0,
       0,
       0,
       0,
       0},
      {"three inputs",
       datagram(7, 1000, {1, 0x0203, 0xffff}),
       7,
       1000,
       {1, 0x0203, 0xffff},
       0,
       0,
       0,
       0,
       0},
      {"a checkpoint",
       datagram(7, 60, {5}, 1, 59, 0xcafef00d),
       7,
       60,
       {5},
       1,
       0,
       59,
       0xcafef00d,
       0},
      {"leaving, with a checkpoint",
       datagram(1, 300, {}, 3, 299, 1),
       1,
       300,
       {},
       1,
       1,
       299,
       1,
       0},
      {"leaving, having lost the receiver",
       datagram(1, 300, {}, 6),
       1,
       300,
       {},
       0,
       1,
       0,
       0,
       1},
      {"every input it can carry, up to the last tick",
       datagram(2, UINT32_MAX - NET_DATAGRAM_INPUTS_MAX, full), 2,
       UINT32_MAX - NET_DATAGRAM_INPUTS_MAX, full, 0, 0, 0, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.bytes.size(), 38 + 2 * c.inputs.size());
    Read r = read(c.bytes);
    ASSERT_EQ(r.ok, 1) << r.why;
    EXPECT_EQ(r.d.session, c.session);
    EXPECT_EQ(r.d.stamp_ms, 0x01020304u);
    EXPECT_EQ(r.d.echo_ms, 0x05060708u);
    EXPECT_EQ(r.d.echo_held_ms, 9u);
    EXPECT_EQ(r.d.ack, c.first_tick);
    EXPECT_EQ(r.d.first_tick, c.first_tick);
    ASSERT_EQ(r.d.count, c.inputs.size());
    for (size_t i = 0; i < c.inputs.size(); ++i)
      EXPECT_EQ(r.d.inputs[i], c.inputs[i]) << "input " << i;
    EXPECT_EQ(r.d.has_check, c.has_check);
    EXPECT_EQ(r.d.leaving, c.leaving);
    EXPECT_EQ(r.d.lost_you, c.lost_you);
    EXPECT_EQ(r.d.check_tick, c.check_tick);
    EXPECT_EQ(r.d.check_hash, c.check_hash);
    EXPECT_EQ(write(r.d), c.bytes);
    // One byte short of room, nothing is written.
    EXPECT_EQ(write(r.d, c.bytes.size() - 1), Bytes{});
  }
}

TEST(NetDatagram, TheWriterKeepsToItsBounds) {
  NetDatagram d;
  memset(&d, 0, sizeof d);
  d.session = 5;
  d.count = NET_DATAGRAM_INPUTS_MAX + 1;
  EXPECT_EQ(write(d), Bytes{});  // more inputs than it may carry
  // A checkpoint's fields go out only with its flag, and any nonzero yes or
  // no is one bit.
  d.count = 1;
  d.inputs[0] = 0x1234;
  d.check_tick = 77;
  d.check_hash = 88;
  d.leaving = 9;
  d.ack = d.first_tick = 40;
  d.stamp_ms = 0x01020304;
  d.echo_ms = 0x05060708;
  d.echo_held_ms = 9;
  EXPECT_EQ(write(d), datagram(5, 40, {0x1234}, 2));
  d.has_check = 2;
  EXPECT_EQ(write(d), datagram(5, 40, {0x1234}, 3, 77, 88));
}

TEST(NetDatagram, WhatCannotBeRightIsRefusedWithItsReason) {
  Bytes good = datagram(3, 10, {1, 2});
  Bytes bad_count = datagram(3, 10, {});
  bad_count[37] = NET_DATAGRAM_INPUTS_MAX + 1;
  bad_count.resize(38 + 2 * (NET_DATAGRAM_INPUTS_MAX + 1));
  Bytes too_many_for_length = good;
  too_many_for_length[37] = 3;
  struct Case {
    const char *name;
    Bytes bytes;
    const char *why;
  } cases[] = {
      {"empty", {}, "too short"},
      {"one byte short of a header", Bytes(good.begin(), good.begin() + 37),
       "too short"},
      {"another program's", Bytes{'Q', 'F', 'N', 'T'} + Bytes(40, 0),
       "not ours"},
      {"another format", datagram(3, 10, {1}, 0, 0, 0, 2), "bad version"},
      {"a flag that does not exist", datagram(3, 10, {1}, 8), "unknown flags"},
      {"more inputs than allowed", bad_count, "too many inputs"},
      {"an input cut short", Bytes(good.begin(), good.end() - 1),
       "wrong length"},
      {"a byte after the inputs", good + Bytes{0}, "wrong length"},
      {"a count past the bytes", too_many_for_length, "wrong length"},
      {"ticks past the last number", datagram(3, UINT32_MAX - 1, {1, 2}),
       "tick overflow"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Read r = read(c.bytes);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.why, c.why);
  }
  // The last tick there is, alone, is fine: inputs end at UINT32_MAX.
  EXPECT_EQ(read(datagram(3, UINT32_MAX - 1, {1})).ok, 1);
}

}  // namespace
