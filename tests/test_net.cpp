// Host and clients on 127.0.0.1: the stream reaches every client whole and
// in order, the joiner's keys reach the host, and every rule that ends a
// connection ends only that one, with one line.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "net_bytes.h"
#include "platform/net/net_client.h"
#include "platform/net/net_host.h"
#include "platform/net/net_socket.h"
#include "support.h"

namespace {

const char *VERSION = "1.0.0";
const NetLimits SHORT = {200, 200, 400, 50, 64 * 1024, 400, 600};

// The host of each test; every wait below polls it, as the game does.
NetHost host;

void open_host() {
  ASSERT_EQ(net_host_open(&host, "127.0.0.1:0", VERSION), 1) << host.error;
}

bool has(const std::string &text, const char *part) {
  return text.find(part) != std::string::npos;
}

// Stream bytes that are not all alike, so a lost or repeated chunk shows.
Bytes pattern(size_t size, uint32_t seed) {
  Bytes b(size);
  for (uint8_t &byte : b) {
    seed = seed * 1103515245u + 12345u;
    byte = (uint8_t)(seed >> 16);
  }
  return b;
}

// Polls the host (and does `also`) until `done` or `ms` of real time.
bool poll_until(
    std::function<bool()> done, uint32_t ms = 3000,
    std::function<void()> also = [] {}) {
  for (uint64_t end = net_now_ms() + ms; net_now_ms() < end; usleep(1000)) {
    net_host_poll(&host);
    also();
    if (done()) return true;
  }
  return false;
}

// Every line the host has to tell, one after the other.
std::string notices() {
  std::string lines;
  char line[NET_NOTICE_SIZE];
  while (net_host_take_notice(&host, line, sizeof line))
    lines += std::string(line) + "\n";
  return lines;
}

// Reads the client's stream on after `got` until there are `size` bytes or
// it ends.
Bytes client_read(NetClient *client, size_t size, Bytes got = {}) {
  poll_until([&] {
    uint8_t buf[5000];
    long n;
    while ((n = net_client_read(client, buf, sizeof buf, 0)) > 0)
      got.insert(got.end(), buf, buf + n);
    return got.size() >= size || n < 0;
  });
  return got;
}

// Opens `client` on another thread while the host is polled here, as the
// host's game would go on while a client joins.
int join(NetClient *client, int role, const char *version = VERSION) {
  std::atomic<int> result{-1};
  std::string at = "127.0.0.1:" + std::to_string(host.port);
  std::thread opener([&] {
    result = net_client_open(client, at.c_str(), role, version, 3000);
  });
  poll_until([&] { return result >= 0; }, 5000);
  opener.join();
  return result;
}

class Net : public Fresh {};

// (Every byte of the stream reaching a joiner and a watcher that comes
// late, and the joiner's keys moving the top paddle, are in
// netplay_match.cpp.)
TEST_F(Net, TheHostTakesOneJoinerAndHearsOnlyItsKeys) {
  open_host();
  NetClient joiner, watcher;
  ASSERT_EQ(join(&joiner, NET_ROLE_JOIN), 1) << joiner.error;
  ASSERT_EQ(join(&watcher, NET_ROLE_WATCH), 1) << watcher.error;
  EXPECT_EQ(notices(), "player 2 connected\na watcher connected\n");
  // Clients the host cannot take are told why.
  NetClient second, other_game;
  EXPECT_EQ(join(&second, NET_ROLE_JOIN), 0);
  EXPECT_STREQ(second.error, "the host already has a player 2");
  EXPECT_EQ(join(&other_game, NET_ROLE_WATCH, "2.0.0"), 0);
  EXPECT_STREQ(other_game.error, "the host runs another game version");
  EXPECT_EQ(net_host_has_joiner(&host), 1);
  EXPECT_EQ(net_host_clients(&host), 2);

  for (int keys : {1, 3, 0, 2}) {
    net_client_send_keys(&joiner, (uint8_t)keys);
    EXPECT_TRUE(poll_until([&] { return net_host_keys(&host) == keys; }))
        << "keys " << keys;
  }
  net_client_send_keys(&watcher, NET_KEY_LEFT);  // a watcher's keys go nowhere
  EXPECT_FALSE(
      poll_until([&] { return net_host_keys(&host) != NET_KEY_RIGHT; }, 100));

  // The joiner goes: its keys are up, the watcher goes on.
  net_client_close(&joiner);
  EXPECT_TRUE(poll_until([&] { return !net_host_has_joiner(&host); }));
  EXPECT_EQ(net_host_keys(&host), 0);
  EXPECT_TRUE(has(notices(), "player 2 dropped: left"));
  Bytes more = pattern(5000, 3);
  net_host_send(&host, more.data(), more.size());
  EXPECT_EQ(client_read(&watcher, 5000), more);
  net_host_close(&host, 100);
  EXPECT_EQ(client_read(&watcher, 1).size(), 0u);
  EXPECT_TRUE(has(watcher.error, "Connection lost")) << watcher.error;
  for (NetClient *c : {&watcher, &second, &other_game}) net_client_close(c);
}

TEST_F(Net, HostListensOnlyWhereAsked) {
  struct Case {
    const char *at;
    const char *bound;  // address the socket is bound to; null: refused
  } cases[] = {
      {"0", "::"},  // every interface, IPv6 and IPv4 on one socket
      {"[::]:0", "::"},
      {"0.0.0.0:0", "0.0.0.0"},
      {"127.0.0.1:0", "127.0.0.1"},
      {"[::1]:0", "::1"},
      {"seven", nullptr},
      {"70000", nullptr},
      {"1:2:3", nullptr},
      {"[::1", nullptr},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.at);
    int ok = net_host_open(&host, c.at, VERSION);
    EXPECT_EQ(ok, c.bound != nullptr) << host.error;
    if (!ok) {
      EXPECT_NE(host.error[0], 0);
      continue;
    }
    sockaddr_storage a{};
    socklen_t length = sizeof a;
    getsockname(host.listen_fd, (sockaddr *)&a, &length);
    char ip[64];
    const void *where = a.ss_family == AF_INET6
                            ? (const void *)&((sockaddr_in6 *)&a)->sin6_addr
                            : (const void *)&((sockaddr_in *)&a)->sin_addr;
    EXPECT_STREQ(inet_ntop(a.ss_family, where, ip, sizeof ip), c.bound);
    EXPECT_NE(host.port, 0);
    // What the host shows is an address to join, never an any-address.
    EXPECT_FALSE(has(host.address, "[::]") || has(host.address, "0.0.0.0"))
        << host.address;
    // A port that is taken is refused with a line, not taken twice.
    static NetHost second;
    std::string at = (strcmp(c.bound, "::1") == 0 ? "[::1]:" : "127.0.0.1:") +
                     std::to_string(host.port);
    EXPECT_EQ(net_host_open(&second, at.c_str(), VERSION), 0);
    EXPECT_TRUE(has(second.error, "cannot listen")) << second.error;
    net_host_close(&host, 0);
  }
}

// The host on every interface is joined over IPv6 and IPv4, by address or
// name, and at the address it shows.
TEST_F(Net, TheDefaultHostIsJoinedOverEitherFamilyAndWhereItSays) {
  ASSERT_EQ(net_host_open(&host, "0", VERSION), 1) << host.error;
  const std::string port = std::to_string(host.port);
  for (std::string at : {"[::1]:" + port, "127.0.0.1:" + port,
                         "localhost:" + port, std::string(host.address)}) {
    SCOPED_TRACE(at);
    NetClient client;
    std::atomic<int> result{-1};
    std::thread opener([&] {
      result =
          net_client_open(&client, at.c_str(), NET_ROLE_WATCH, VERSION, 3000);
    });
    poll_until([&] { return result >= 0; }, 5000);
    opener.join();
    EXPECT_EQ(result, 1) << client.error;
    net_client_close(&client);
  }
  net_host_close(&host, 0);
}

TEST_F(Net, AddressesAreReadAsPlayersWriteThemOrRefusedWithOneLine) {
  struct Case {
    bool listen;
    const char *text;
    const char *host;  // null: refused, with `error` in the line
    int port;
    const char *error;
  } cases[] = {
      {false, "example.org", "example.org", NET_DEFAULT_PORT, nullptr},
      {false, "[::1]:99", "::1", 99, nullptr},
      {false, "192.168.1.5:7000", "192.168.1.5", 7000, nullptr},
      {true, "127.0.0.1", "127.0.0.1", NET_DEFAULT_PORT, nullptr},
      {true, "7373", "", 7373, nullptr},
      {true, "[::]:7000", "", 7000, nullptr},
      {true, "99999", nullptr, 0, "port 99999 out of range (1 to 65535)"},
      {true, "[::1]:65536", nullptr, 0, "port 65536 out of range"},
      {false, "host:0", nullptr, 0, "port 0 out of range (1 to 65535)"},
      {false, "host:123456789012", nullptr, 0, "out of range"},
      {false, "host:x", nullptr, 0, "port 'x' is not a number"},
      {false, "host:", nullptr, 0, "no port"},
      {false, ":7373", nullptr, 0, "no address"},
      {false, "", nullptr, 0, "no address"},
      {false, "::1", nullptr, 0, "in brackets"},
      {false, "[::1]7373", nullptr, 0, "[IPV6]:PORT"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    NetEndpoint e;
    char error[160] = "";
    int ok = c.listen ? net_parse_listen(c.text, &e, error, sizeof error)
                      : net_parse_connect(c.text, &e, error, sizeof error);
    EXPECT_EQ(ok, c.host != nullptr) << error;
    if (ok && c.host) {
      EXPECT_STREQ(e.host, c.host);
      EXPECT_EQ(e.port, c.port);
    } else if (!ok) {
      EXPECT_TRUE(has(error, c.error)) << error;
      EXPECT_EQ(strchr(error, '\n'), nullptr);
    }
  }
}

// Every way the reader fails is in test_net_wire.cpp; here, a failed
// greeting, a refused one and a failed message, and what only the host
// judges: roles, what a client says it took, time.
TEST_F(Net, ConnectionsBreakingARuleAreEndedAloneWithOneLine) {
  const Bytes joins = greeting(NET_ROLE_JOIN), half_keys{'K', 5, 0};
  struct Case {
    const char *name;
    Bytes bytes;
    bool close_after;  // the client closes its side after sending
    int answer;  // the host's answer: a greeting code, 0 for none, -1 either
    const char *notice;
  } cases[] = {
      {"wrong magic", text("GET / HTTP/1.1\r\n\r\n"), false, 0, "wrong magic"},
      {"other protocol", greeting(1, "1.0.0", 9), false, NET_REFUSED_VERSION,
       "protocol 9"},
      {"other game", greeting(1, "0.9.0"), false, NET_REFUSED_VERSION,
       "game version 0.9.0, this is 1.0.0"},
      {"no such role", greeting(7), false, NET_REFUSED_REQUEST, "role 7"},
      {"length past the limit", joins + Bytes{'K', 0xff, 0xff, 0xff, 0x7f},
       false, -1, "out of bounds"},
      {"a watcher's keys", greeting(NET_ROLE_WATCH) + keys(0, 1), false, -1,
       "a watcher sent keys"},
      {"took more than it was sent", greeting(NET_ROLE_WATCH) + taken(1), false,
       -1, "it says it took more than it was sent"},
      {"closed mid-greeting", text("QFN"), true, 0, "middle of a message"},
      {"closed mid-message", joins + half_keys, true, -1,
       "middle of a message"},
      {"stalled greeting", text("QFN"), false, 0, "no greeting in time"},
      {"stalled message", joins + half_keys, false, NET_WELCOME_JOIN,
       "stalled in the middle of a message"},
      {"silent", joins, false, NET_WELCOME_JOIN, "silent for too long"},
  };
  open_host();
  host.limits = SHORT;
  NetClient watcher;
  ASSERT_EQ(join(&watcher, NET_ROLE_WATCH), 1);
  watcher.limits = SHORT;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    // A plain socket, to say what no client of ours would.
    NetEndpoint e{"127.0.0.1", host.port};
    char error[128];
    int fd = net_connect(&e, 1000, error, sizeof error);
    ASSERT_GE(fd, 0) << error;
    ASSERT_EQ(send(fd, c.bytes.data(), c.bytes.size(), MSG_NOSIGNAL),
              (ssize_t)c.bytes.size());
    if (c.close_after) shutdown(fd, SHUT_WR);
    // What the host answers until it closes.
    Bytes got;
    bool closed = false;
    poll_until([&] { return closed; }, 2000,
               [&] {
                 uint8_t buf[4096];
                 net_client_read(&watcher, buf, 64, 0);
                 while (!closed && net_wait(fd, 0, 0)) {
                   ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
                   if (n <= 0) closed = true;
                   if (n > 0) got.insert(got.end(), buf, buf + n);
                 }
               });
    EXPECT_TRUE(closed);
    close(fd);
    if (c.answer > 0) {
      ASSERT_GE(got.size(), 8u);
      EXPECT_EQ(Bytes(got.begin(), got.begin() + 4), text("QFNT"));
      EXPECT_EQ(got[6], c.answer);
    } else if (c.answer == 0) {
      EXPECT_EQ(got.size(), 0u);
    }
    std::string lines = notices();
    EXPECT_TRUE(has(lines, c.notice)) << lines;
    // The well-behaved watcher, kept alive by its reads, is still there.
    EXPECT_EQ(net_host_clients(&host), 1);
  }
  net_client_close(&watcher);
  net_host_close(&host, 0);
}

TEST_F(Net, AJoinerTooSlowToKeepUpIsDroppedAndTheWatcherGoesOn) {
  open_host();
  NetClient slow, watcher;
  ASSERT_EQ(join(&slow, NET_ROLE_JOIN), 1);
  ASSERT_EQ(join(&watcher, NET_ROLE_WATCH), 1);
  // Far less than the systems between could hold: the joiner's own count
  // of what it took shows it behind.
  Bytes stream = pattern(64 << 10, 4), got;
  for (size_t at = 0; at < stream.size(); at += 4096) {
    net_host_send(&host, stream.data() + at, 4096);
    net_host_poll(&host);
    got = client_read(&watcher, 0, got);
    net_client_send_keys(&slow, 0);  // alive, but never reading
  }
  EXPECT_EQ(net_host_has_joiner(&host), 0);
  EXPECT_TRUE(has(notices(), "player 2 dropped: too slow to keep up"));
  EXPECT_EQ(client_read(&watcher, stream.size(), got), stream);
  net_client_close(&slow);
  net_client_close(&watcher);
  net_host_close(&host, 0);
}

// A stand-in host on its own thread: it takes a client's greeting, answers
// with `bytes`, then closes at once or after a silence; or, as `echo`,
// sends back all it gets; or sends `every_100ms` again and again.
struct FakeHost {
  int listen_fd;
  std::string at;
  std::thread thread;

  FakeHost(Bytes bytes, bool close_after, bool echo = false,
           Bytes every_100ms = {}) {
    NetEndpoint e{"127.0.0.1", 0};
    char error[128];
    int fd = listen_fd = net_listen(&e, error, sizeof error);
    EXPECT_GE(fd, 0) << error;
    at = "127.0.0.1:" + std::to_string(net_bound_port(fd));
    thread = std::thread([=] {
      if (!net_wait(fd, 0, 3000)) return;
      int peer = accept(fd, nullptr, nullptr);
      uint8_t got[4096];
      if (echo) {
        for (ssize_t n; net_wait(peer, 0, 2000) &&
                        (n = recv(peer, got, sizeof got, 0)) > 0;)
          send(peer, got, (size_t)n, MSG_NOSIGNAL);
        close(peer);
        return;
      }
      // The greeting is taken, so closing is a clean end, not a reset.
      if (net_wait(peer, 0, 1000)) recv(peer, got, NET_GREETING_MAX, 0);
      send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      for (int i = 0; i < 20 && !every_100ms.empty(); ++i) {
        usleep(100 * 1000);
        if (send(peer, every_100ms.data(), every_100ms.size(), MSG_NOSIGNAL) <
            0)
          break;
      }
      if (!close_after) usleep(700 * 1000);
      close(peer);
    });
  }
  ~FakeHost() {
    thread.join();
    close(listen_fd);
  }
};

TEST_F(Net, AClientEndsWithOneLineWhenTheHostMisbehavesOrGoes) {
  const Bytes welcome = greeting(NET_WELCOME_JOIN);
  const Bytes half_chunk{'S', 12, 0, 0, 0, 0, 0, 0};
  struct Case {
    const char *name;
    Bytes bytes;
    bool close_after;
    int opens;
    const char *error;
    bool echo = false;
    Bytes every_100ms = {};
  } cases[] = {
      {"no answer", {}, false, 0, "did not answer in time"},
      {"not a host", text("HTTP/1.1 400 Bad\r\n"), true, 0, "wrong magic"},
      {"refused", greeting(NET_REFUSED_FULL, ""), true, 0, "no room"},
      {"another protocol", greeting(1, "", 3), true, 0, "protocol 3"},
      {"goes", welcome, true, 1, "Connection lost: the host has gone"},
      {"goes mid-message", welcome + half_chunk, true, 1,
       "Connection lost in the middle of a message"},
      {"stalls mid-message", welcome + half_chunk, false, 1,
       "stalled mid-message"},
      {"falls silent", welcome, false, 1, "went silent"},
      {"out of order", welcome + chunk(3, "x"), false, 1, "out of order"},
      // Our own greeting back is a welcome; what we send next is no host's.
      {"echoes", {}, false, 1, "unexpected message type", true},
      {"only keeps alive", welcome, false, 1, "sent nothing to play", false,
       message('A', {})},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost fake(c.bytes, c.close_after, c.echo, c.every_100ms);
    NetClient client;
    int opened =
        net_client_open(&client, fake.at.c_str(), NET_ROLE_JOIN, VERSION, 400);
    EXPECT_EQ(opened, c.opens) << client.error;
    client.limits = SHORT;
    uint8_t buf[64];
    long n = 0;
    for (uint64_t end = net_now_ms() + 2000;
         opened && n >= 0 && net_now_ms() < end;)
      n = net_client_read(&client, buf, sizeof buf, 50);
    EXPECT_EQ(n, opened ? -1 : 0);
    EXPECT_TRUE(has(client.error, c.error)) << client.error;
    EXPECT_EQ(strchr(client.error, '\n'), nullptr);
    net_client_close(&client);
  }
}

// A client busy with what it has (a long stretch of the stream to replay)
// reads nothing for longer than the host may be silent: neither side takes
// that for the other's silence, as long as the client is served meanwhile.
TEST_F(Net, ABusyClientServedMeanwhileIsNotTakenForSilent) {
  open_host();
  host.limits = SHORT;
  NetClient client;
  ASSERT_EQ(join(&client, NET_ROLE_JOIN), 1) << client.error;
  client.limits = SHORT;
  Bytes stream = pattern(3000, 5);
  net_host_send(&host, stream.data(), 1000);
  uint8_t first[1000];
  size_t got = 0;
  poll_until([&] {
    long n = net_client_read(&client, first + got, sizeof first - got, 0);
    got += n > 0 ? (size_t)n : 0;
    return got == sizeof first;
  });
  ASSERT_EQ(Bytes(first, first + got),
            Bytes(stream.begin(), stream.begin() + 1000));
  // Three times the silence allowed, the host streaming, the client only
  // served.
  for (uint64_t end = net_now_ms() + 3 * SHORT.silence_ms;
       net_now_ms() < end;) {
    net_host_send(&host, stream.data() + 1000, 1);
    stream.erase(stream.begin() + 1000);
    EXPECT_EQ(net_client_serve(&client), 1) << client.error;
    poll_until([] { return false; }, 20);
  }
  EXPECT_EQ(net_host_has_joiner(&host), 1) << notices();
  // Its next read finds the stream where it was.
  uint8_t buf[64];
  EXPECT_GT(net_client_read(&client, buf, sizeof buf, 0), 0) << client.error;
  net_client_close(&client);
  net_host_close(&host, 0);
}

TEST_F(Net, EveryWaitEndsOnACloseRequest) {
  NetClient client;
  {
    FakeHost fake({}, false);
    headless_request_close();
    uint64_t start = net_now_ms();
    EXPECT_EQ(net_client_open(&client, fake.at.c_str(), NET_ROLE_JOIN, VERSION,
                              60000),
              0);
    EXPECT_TRUE(has(client.error, "asked to close")) << client.error;
    EXPECT_LT(net_now_ms() - start, 1000u);
    net_client_close(&client);
  }
  open_host();
  headless_reset();
  ASSERT_EQ(join(&client, NET_ROLE_WATCH), 1);
  headless_request_close();
  uint8_t buf[16];
  uint64_t start = net_now_ms();
  EXPECT_EQ(net_client_read(&client, buf, sizeof buf, 60000), 0);
  EXPECT_LT(net_now_ms() - start, 1000u);
  net_client_close(&client);
  net_host_close(&host, 0);
}

}  // namespace
