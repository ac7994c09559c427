// The network reader over bytes alone: what it accepts and what ends a
// connection, fed whole and a byte at a time.
#include <gtest/gtest.h>
#include <stdio.h>

#include "net_bytes.h"
#include "platform/net/net_wire.h"

namespace {

const Bytes JOIN_GREETING = greeting(NET_ROLE_JOIN);
const Bytes HOST_GREETING = greeting(NET_WELCOME_WATCH);

struct Outcome {
  std::string stream;  // stream bytes, in order
  std::string keys;    // each keys message's bits as a digit
  int greetings = 0, alive = 0, leaves = 0, failed = 0;
  std::string error, version, taken;
  std::string sessions;  // each match message's session, in hex
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
      } else if (r == NET_READ_MESSAGE && m.type == NET_MSG_LEAVE) {
        out.leaves++;
      } else if (r == NET_READ_MESSAGE && m.type == NET_MSG_MATCH) {
        char hex[16];
        snprintf(hex, sizeof hex, "%08x ", (unsigned)m.session);
        out.sessions += hex;
      } else if (r == NET_READ_MESSAGE) {
        out.alive++;
      }
    }
  }
  delete reader;
  return out;
}

TEST(NetWire, WellFormedStreamsReadTheSameWholeOrByteByByte) {
  const Bytes alive{'A', 0, 0, 0, 0};
  const std::string big(NET_CHUNK_MAX, 'z');
  struct Case {
    const char *name;
    int from;
    Bytes bytes;
    std::string stream, keys;
    int alive;
    std::string taken;
    int leaves = 0;
    std::string sessions = "";
  } cases[] = {
      {"client: keys and alive", NET_FROM_CLIENT,
       JOIN_GREETING + keys(0, 1) + alive + taken(0) + keys(1, 3) +
           taken(70000) + taken(70000) + keys(2, 0),
       "", "130", 1, "0 70000 70000 "},
      {"client: serve, pause and away, then leaves", NET_FROM_CLIENT,
       JOIN_GREETING + keys(0, NET_KEY_SERVE) + keys(1, NET_KEY_PAUSE | 1) +
           keys(2, NET_KEY_AWAY) + taken(5) + message('L', {}),
       "", std::string{'4', (char)('0' + 9), (char)('0' + 16)}, 0, "5 ", 1},
      {"host: chunks follow on", NET_FROM_HOST,
       HOST_GREETING + chunk(0, "abc") + alive + chunk(3, "defg") +
           chunk(7, big),
       "abcdefg" + big, "", 1, ""},
      {"empty version", NET_FROM_HOST, greeting(1, "") + chunk(0, "x"), "x", "",
       0, ""},
      {"host: the match starts between chunks", NET_FROM_HOST,
       greeting(NET_WELCOME_JOIN) + chunk(0, "ab") + match(0x89abcdef) +
           chunk(2, "c") + match(7),
       "abc", "", 0, "", 0, "89abcdef 00000007 "},
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
      EXPECT_EQ(out.leaves, c.leaves);
      EXPECT_EQ(out.sessions, c.sessions);
    }
  }
  EXPECT_EQ(read_all(NET_FROM_CLIENT, JOIN_GREETING, 1).version, "1.0.0");
}

TEST(NetWire, MalformedInputEndsTheConnectionWithOneLine) {
  struct Case {
    const char *name;
    int from;
    Bytes bytes;
    const char *error;
  } cases[] = {
      {"wrong magic", NET_FROM_CLIENT, text("GET / HTTP/1.1\r\n"),
       "wrong magic"},
      {"other protocol", NET_FROM_CLIENT, greeting(1, "1.0.0", 2),
       "protocol 2, this game speaks 1"},
      {"version too long", NET_FROM_CLIENT, greeting(1, std::string(33, '1')),
       "too long"},
      {"version not text", NET_FROM_CLIENT,
       greeting(1, std::string("1\0000", 3)), "not text"},
      {"stream length past the limit", NET_FROM_HOST,
       HOST_GREETING + Bytes{'S', 0xff, 0xff, 0xff, 0xff}, "out of bounds"},
      {"stream one byte past the limit", NET_FROM_HOST,
       HOST_GREETING + Bytes{'S', 9, 0x40, 0, 0}, "out of bounds"},
      {"stream chunk with no data", NET_FROM_HOST, HOST_GREETING + chunk(0, ""),
       "out of bounds"},
      {"keys of the wrong length", NET_FROM_CLIENT,
       JOIN_GREETING + message('K', Bytes(6, 0)), "out of bounds"},
      {"alive with a payload", NET_FROM_CLIENT,
       JOIN_GREETING + message('A', {0}), "out of bounds"},
      {"keys from the host", NET_FROM_HOST, HOST_GREETING + keys(0, 1),
       "unexpected message type 75"},
      {"stream from a client", NET_FROM_CLIENT, JOIN_GREETING + chunk(0, "abc"),
       "unexpected message type 83"},
      {"unknown type", NET_FROM_CLIENT, JOIN_GREETING + message(0, {}),
       "unexpected message type 0"},
      {"chunk skips ahead", NET_FROM_HOST,
       HOST_GREETING + chunk(0, "abc") + chunk(4, "e"), "out of order"},
      {"chunk repeats", NET_FROM_HOST,
       HOST_GREETING + chunk(0, "abc") + chunk(0, "abc"), "out of order"},
      {"keys skip a number", NET_FROM_CLIENT,
       JOIN_GREETING + keys(0, 1) + keys(2, 0), "out of order"},
      {"keys that do not exist", NET_FROM_CLIENT, JOIN_GREETING + keys(0, 32),
       "unknown keys"},
      {"leave from the host", NET_FROM_HOST, HOST_GREETING + message('L', {}),
       "unexpected message type 76"},
      {"leave with a payload", NET_FROM_CLIENT,
       JOIN_GREETING + message('L', {0}), "out of bounds"},
      {"keys after leaving", NET_FROM_CLIENT,
       JOIN_GREETING + message('L', {}) + keys(0, 1), "after leaving"},
      {"taken count goes back", NET_FROM_CLIENT,
       JOIN_GREETING + taken(300) + taken(299), "out of order"},
      {"taken count from the host", NET_FROM_HOST, HOST_GREETING + taken(0),
       "unexpected message type 84"},
      {"match from a client", NET_FROM_CLIENT, JOIN_GREETING + match(1),
       "unexpected message type 77"},
      {"match with a short session", NET_FROM_HOST,
       HOST_GREETING + message('M', Bytes(3, 0)), "out of bounds"},
      {"match with a byte too many", NET_FROM_HOST,
       HOST_GREETING + message('M', Bytes(5, 0)), "out of bounds"},
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
