// The network reader over bytes alone: what it accepts and what ends a
// connection, fed whole and a byte at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/net/net_wire.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes operator+(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }

// The greeting a 1.0.0 client sends to join, written out by hand.
const Bytes JOIN_GREETING =
    Bytes{'Q', 'F', 'N', 'T', 1, 0, NET_ROLE_JOIN, 5} + text("1.0.0");
const Bytes HOST_GREETING =
    Bytes{'Q', 'F', 'N', 'T', 1, 0, NET_WELCOME_WATCH, 5} + text("1.0.0");

Bytes keys(uint32_t sequence, uint8_t bits) {
  return Bytes{'K',
               5,
               0,
               0,
               0,
               (uint8_t)sequence,
               (uint8_t)(sequence >> 8),
               (uint8_t)(sequence >> 16),
               (uint8_t)(sequence >> 24),
               bits};
}

Bytes taken(uint64_t count) {
  Bytes b{'T', 8, 0, 0, 0};
  for (int i = 0; i < 8; ++i) b.push_back((uint8_t)(count >> (8 * i)));
  return b;
}

Bytes chunk(uint64_t offset, const std::string &data) {
  uint32_t length = (uint32_t)(8 + data.size());
  Bytes b{'S', (uint8_t)length, (uint8_t)(length >> 8), 0, 0};
  for (int i = 0; i < 8; ++i) b.push_back((uint8_t)(offset >> (8 * i)));
  return b + text(data);
}

struct Outcome {
  std::string stream;  // stream bytes, in order
  std::string keys;    // each keys message's bits as a digit
  int greetings = 0, alive = 0, failed = 0;
  std::string error, version, taken;
};

Outcome read_all(int from, const Bytes &bytes, size_t step) {
  NetReader *reader = new NetReader;
  net_reader_init(reader, from);
  Outcome out;
  for (size_t at = 0; at < bytes.size() && !out.failed; at += step) {
    const uint8_t *data = bytes.data() + at;
    size_t size = std::min(step, bytes.size() - at);
    while (size > 0 && !out.failed) {
      NetMessage m;
      int r = net_reader_take(reader, &data, &size, &m);
      if (r == NET_READ_FAILED) {
        out.failed = 1;
        out.error = reader->error;
      } else if (r == NET_READ_GREETING) {
        out.greetings++;
        out.version = reader->greeting.version;
      } else if (r == NET_READ_MESSAGE && m.type == NET_MSG_STREAM) {
        out.stream.append((const char *)m.data, m.length);
      } else if (r == NET_READ_MESSAGE && m.type == NET_MSG_KEYS) {
        out.keys += (char)('0' + m.keys);
      } else if (r == NET_READ_MESSAGE && m.type == NET_MSG_TAKEN) {
        out.taken += std::to_string(m.taken) + " ";
      } else if (r == NET_READ_MESSAGE) {
        out.alive++;
      }
    }
  }
  delete reader;
  return out;
}

TEST(NetWire, WellFormedStreamsReadTheSameWholeOrByteByByte) {
  struct Case {
    const char *name;
    int from;
    Bytes bytes;
    std::string stream, keys;
    int alive;
    std::string taken;
  } cases[] = {
      {"client: keys and alive", NET_FROM_CLIENT,
       JOIN_GREETING + keys(0, 1) + Bytes{'A', 0, 0, 0, 0} + taken(0) +
           keys(1, 3) + taken(70000) + taken(70000) + keys(2, 0),
       "", "130", 1, "0 70000 70000 "},
      {"host: chunks follow on", NET_FROM_HOST,
       HOST_GREETING + chunk(0, "abc") + Bytes{'A', 0, 0, 0, 0} +
           chunk(3, "defg") + chunk(7, std::string(NET_CHUNK_MAX, 'z')),
       "abcdefg" + std::string(NET_CHUNK_MAX, 'z'), "", 1, ""},
      {"empty version", NET_FROM_HOST,
       Bytes{'Q', 'F', 'N', 'T', 1, 0, 1, 0} + chunk(0, "x"), "x", "", 0, ""},
  };
  for (const Case &c : cases) {
    for (size_t step : {c.bytes.size(), (size_t)1, (size_t)7}) {
      Outcome out = read_all(c.from, c.bytes, step);
      SCOPED_TRACE(std::string(c.name) + " step " + std::to_string(step));
      EXPECT_EQ(out.failed, 0) << out.error;
      EXPECT_EQ(out.greetings, 1);
      EXPECT_EQ(out.stream, c.stream);
      EXPECT_EQ(out.keys, c.keys);
      EXPECT_EQ(out.alive, c.alive);
      EXPECT_EQ(out.taken, c.taken);
    }
  }
  EXPECT_EQ(read_all(NET_FROM_CLIENT, JOIN_GREETING, 1).version, "1.0.0");
}

TEST(NetWire, MalformedInputEndsTheConnectionWithOneLine) {
  const Bytes huge_length{'S', 0xff, 0xff, 0xff, 0xff};
  struct Case {
    const char *name;
    int from;
    Bytes bytes;
    const char *error;
  } cases[] = {
      {"wrong magic", NET_FROM_CLIENT, text("GET / HTTP/1.1\r\n"),
       "wrong magic"},
      {"other protocol", NET_FROM_CLIENT,
       Bytes{'Q', 'F', 'N', 'T', 2, 0, 1, 5} + text("1.0.0"),
       "protocol 2, this game speaks 1"},
      {"version too long", NET_FROM_CLIENT,
       Bytes{'Q', 'F', 'N', 'T', 1, 0, 1, 33} + text(std::string(33, '1')),
       "too long"},
      {"version not text", NET_FROM_CLIENT,
       Bytes{'Q', 'F', 'N', 'T', 1, 0, 1, 3, '1', 0, '0'}, "not text"},
      {"stream length past the limit", NET_FROM_HOST,
       HOST_GREETING + huge_length, "out of bounds"},
      {"stream one byte past the limit", NET_FROM_HOST,
       HOST_GREETING + Bytes{'S', 9, 0x40, 0, 0}, "out of bounds"},
      {"stream chunk with no data", NET_FROM_HOST,
       HOST_GREETING + Bytes{'S', 8, 0, 0, 0}, "out of bounds"},
      {"keys of the wrong length", NET_FROM_CLIENT,
       JOIN_GREETING + Bytes{'K', 6, 0, 0, 0}, "out of bounds"},
      {"alive with a payload", NET_FROM_CLIENT,
       JOIN_GREETING + Bytes{'A', 1, 0, 0, 0, 0}, "out of bounds"},
      {"keys from the host", NET_FROM_HOST, HOST_GREETING + keys(0, 1),
       "unexpected message type 75"},
      {"stream from a client", NET_FROM_CLIENT, JOIN_GREETING + chunk(0, "abc"),
       "unexpected message type 83"},
      {"unknown type", NET_FROM_CLIENT, JOIN_GREETING + Bytes{0, 0, 0, 0, 0},
       "unexpected message type 0"},
      {"chunk skips ahead", NET_FROM_HOST,
       HOST_GREETING + chunk(0, "abc") + chunk(4, "e"), "out of order"},
      {"chunk repeats", NET_FROM_HOST,
       HOST_GREETING + chunk(0, "abc") + chunk(0, "abc"), "out of order"},
      {"keys skip a number", NET_FROM_CLIENT,
       JOIN_GREETING + keys(0, 1) + keys(2, 0), "out of order"},
      {"keys that do not exist", NET_FROM_CLIENT, JOIN_GREETING + keys(0, 4),
       "unknown keys"},
      {"taken count goes back", NET_FROM_CLIENT,
       JOIN_GREETING + taken(300) + taken(299), "out of order"},
      {"taken count from the host", NET_FROM_HOST, HOST_GREETING + taken(0),
       "unexpected message type 84"},
  };
  for (const Case &c : cases) {
    for (size_t step : {c.bytes.size(), (size_t)1}) {
      SCOPED_TRACE(std::string(c.name) + " step " + std::to_string(step));
      Outcome out = read_all(c.from, c.bytes, step);
      EXPECT_EQ(out.failed, 1);
      EXPECT_NE(out.error.find(c.error), std::string::npos) << out.error;
    }
  }
}

}  // namespace
